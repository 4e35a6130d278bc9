#pragma once
// Small stand-ins for the application-framework pieces the program uses: the
// application base class and its entry point, strings, file lookup and
// message boxes captioned with the application's name.

#include <string>

#include "platform/platform.h"

using CString = std::string;

// The application object. Exactly one exists, as a static object; the entry
// point finds it, names it and calls its InitInstance.
class CWinApp {
 public:
  // With a null name the application is named after the executable's file
  // name without its extension.
  explicit CWinApp(const char* app_name = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Start-up hook. No main window is ever created, so the process ends after
  // it whatever it returns: no message loop runs.
  virtual BOOL InitInstance();

  const CString& AppName() const { return app_name_; }

 protected:
  Platform& GetPlatform() const { return *platform_; }

 private:
  friend int AfxWinMain(Platform& platform);

  const char* name_given_;
  CString app_name_;
  Platform* platform_ = nullptr;
};

// The application object, or null before it is constructed.
CWinApp* AfxGetApp();

// The framework's entry: names the application, runs InitInstance and returns
// the process exit status, always 0.
int AfxWinMain(Platform& platform);

// "C:\dir\Name.exe" -> "Name".
CString AppNameFromModulePath(const CString& module_path);

// A modal message box captioned with the application's name; returns the
// button pressed.
int AfxMessageBox(Platform& platform, const CString& text, UINT style);

// File lookup by full path.
class CFileFind {
 public:
  explicit CFileFind(Platform& platform) : platform_(platform) {}
  BOOL FindFile(const CString& path) { return platform_.FileExists(path) ? TRUE : FALSE; }

 private:
  Platform& platform_;
};
