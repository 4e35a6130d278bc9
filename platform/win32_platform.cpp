#include "platform/win32_platform.h"

namespace {
HKEY ToHkey(RegKeyHandle key) { return reinterpret_cast<HKEY>(key); }
}  // namespace

DWORD Win32Platform::PlatformId() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return 0;
#pragma GCC diagnostic pop
  return info.dwPlatformId;
}

std::string Win32Platform::ModuleFileName() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

Status Win32Platform::OpenKey(const std::string& subkey, REGSAM access, RegKeyHandle* key) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) *key = reinterpret_cast<RegKeyHandle>(opened);
  return static_cast<Status>(status);
}

Status Win32Platform::QueryValue(RegKeyHandle key, const std::string& name, DWORD* type, BYTE* data,
                                 DWORD* size) {
  return static_cast<Status>(
      RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, type, data, size));
}

Status Win32Platform::SetValue(RegKeyHandle key, const std::string& name, DWORD type,
                               const BYTE* data, DWORD size) {
  return static_cast<Status>(RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size));
}

void Win32Platform::CloseKey(RegKeyHandle key) { RegCloseKey(ToHkey(key)); }

DWORD Win32Platform::ReadProfileSection(const std::string& section, char* buffer, DWORD capacity,
                                        const std::string& file) {
  return GetPrivateProfileSectionA(section.c_str(), buffer, capacity, file.c_str());
}

Status Win32Platform::WriteProfileSection(const std::string& section, const std::string& entries,
                                          const std::string& file) {
  // c_str() supplies the NUL that closes the list.
  if (WritePrivateProfileSectionA(section.c_str(), entries.c_str(), file.c_str())) {
    return ERROR_SUCCESS;
  }
  const DWORD status = GetLastError();
  return status != ERROR_SUCCESS ? status : ERROR_GEN_FAILURE;
}

std::string Win32Platform::WindowsDirectory() {
  char path[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

bool Win32Platform::FileExists(const std::string& path) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

Status Win32Platform::CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  if (CopyFileA(from.c_str(), to.c_str(), TRUE)) return ERROR_SUCCESS;
  const DWORD status = GetLastError();
  return status != ERROR_SUCCESS ? status : ERROR_GEN_FAILURE;
}

int Win32Platform::ShowMessageBox(const std::string& text, const std::string& caption, UINT style) {
  // USER32 is loaded only when a box is shown: a run with nothing to do
  // then starts and ends without initialising the windowing system. Once
  // loaded it stays until the process ends: a process that has shown a
  // window keeps USER32's per-process state, and not every Windows supports
  // unloading it.
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  static const MessageBoxFunction message_box = [] {
    const HMODULE user32 = LoadLibraryA("user32.dll");
    // Through void (*)(), the type that stands for any function.
    return user32 == nullptr ? nullptr
                             : reinterpret_cast<MessageBoxFunction>(reinterpret_cast<void (*)()>(
                                   GetProcAddress(user32, "MessageBoxA")));
  }();
  return message_box != nullptr ? message_box(nullptr, text.c_str(), caption.c_str(), style) : 0;
}
