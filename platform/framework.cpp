#include "platform/framework.h"

namespace {
CWinApp* the_app = nullptr;
}  // namespace

CWinApp::CWinApp(const char* app_name) : name_given_(app_name) {
  if (app_name != nullptr) app_name_ = app_name;
  the_app = this;
}

CWinApp::~CWinApp() {
  if (the_app == this) the_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

CWinApp* AfxGetApp() { return the_app; }

CString AppNameFromModulePath(const CString& module_path) {
  const auto slash = module_path.find_last_of("\\/:");
  CString name = slash == CString::npos ? module_path : module_path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != CString::npos) name.erase(dot);
  return name;
}

int AfxWinMain(Platform& platform) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 0;
  app->platform_ = &platform;
  app->app_name_ = app->name_given_ != nullptr ? CString(app->name_given_)
                                               : AppNameFromModulePath(platform.ModuleFileName());
  // No main window is ever created, so there is no message loop to run
  // whichever way InitInstance answers.
  app->InitInstance();
  app->platform_ = nullptr;
  return 0;
}

int AfxMessageBox(Platform& platform, const CString& text, UINT style) {
  const CWinApp* app = AfxGetApp();
  return platform.ShowMessageBox(text, app != nullptr ? app->AppName() : CString(), style);
}
