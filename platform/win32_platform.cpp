#include "platform/win32_platform.h"

namespace {

HKEY ToHkey(RegKeyHandle key) { return reinterpret_cast<HKEY>(key); }

// The status of the call that just failed.
Status LastErrorStatus() { return FailureStatus(GetLastError()); }

// An open file handle that closes itself.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A function of a loaded DLL, looked up at run time; null when either is
// missing.
template <typename Function>
Function ModuleFunction(HMODULE module, const char* name) {
  // Through void (*)(), the type that stands for any function.
  return module == nullptr ? nullptr
                           : reinterpret_cast<Function>(
                                 reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A KERNEL32 function that older Windows lack.
template <typename Function>
Function Kernel32Function(const char* name) {
  return ModuleFunction<Function>(GetModuleHandleA("kernel32.dll"), name);
}

// The system folder's DLL of that name, by its full path.
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH] = {};
  std::string full = ReturnedPath(path, GetSystemDirectoryA(path, MAX_PATH), MAX_PATH);
  if (full.empty()) return nullptr;
  if (full.back() != '\\') full += '\\';
  return LoadLibraryA((full + name).c_str());
}

// More than any profile file holds; a larger file is refused rather than
// read into memory.
constexpr DWORD kMaxFileBytes = 64 * 1024 * 1024;

}  // namespace

std::string ReturnedPath(const char* buffer, DWORD length, DWORD capacity) {
  return length != 0 && length < capacity ? std::string(buffer, length) : std::string();
}

Status FailureStatus(DWORD last_error) {
  return last_error != ERROR_SUCCESS ? last_error : ERROR_GEN_FAILURE;
}

void LimitDllSearch(SetDefaultDllDirectoriesFunction set_default,
                    SetDllDirectoryFunction set_directory) {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (set_default != nullptr && set_default(kSearchSystem32)) return;
  if (set_directory != nullptr) set_directory("");
}

void LimitDllSearchToSystemFolder() {
  LimitDllSearch(Kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories"),
                 Kernel32Function<SetDllDirectoryFunction>("SetDllDirectoryA"));
}

Status FileSizeStatus(DWORD low_part, DWORD last_error) {
  return low_part == INVALID_FILE_SIZE && last_error != NO_ERROR ? last_error : ERROR_SUCCESS;
}

WindowsVersion Win32Platform::Version() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  WindowsVersion version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return version;
#pragma GCC diagnostic pop
  version.platform_id = info.dwPlatformId;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  return version;
}

std::string Win32Platform::ModuleFileName() {
  char path[MAX_PATH] = {};
  return ReturnedPath(path, GetModuleFileNameA(nullptr, path, MAX_PATH), MAX_PATH);
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
  return LastErrorStatus();
}

std::string Win32Platform::WindowsDirectory() {
  char path[MAX_PATH] = {};
  return ReturnedPath(path, GetWindowsDirectoryA(path, MAX_PATH), MAX_PATH);
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
  return LastErrorStatus();
}

Status Win32Platform::CopyFileReplacing(const std::string& from, const std::string& to) {
  if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return ERROR_SUCCESS;
  return LastErrorStatus();
}

Status Win32Platform::RemoveFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return ERROR_SUCCESS;
  return LastErrorStatus();
}

Status Win32Platform::FileAttributes(const std::string& path, DWORD* attributes) {
  const DWORD found = GetFileAttributesA(path.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return LastErrorStatus();
  *attributes = found;
  return ERROR_SUCCESS;
}

Status Win32Platform::ChangeFileAttributes(const std::string& path, DWORD attributes) {
  if (SetFileAttributesA(path.c_str(), attributes)) return ERROR_SUCCESS;
  return LastErrorStatus();
}

Status Win32Platform::ReadFileBytes(const std::string& path, std::string* bytes) {
  // Sharing writes too, so a file the platform or another program holds
  // open can still be read.
  const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastErrorStatus();
  DWORD size_high = 0;
  const DWORD size = GetFileSize(file.get(), &size_high);
  if (const Status status = FileSizeStatus(size, GetLastError())) return status;
  if (size_high != 0 || size > kMaxFileBytes) return ERROR_FILE_TOO_LARGE;
  return ReadToEnd(ReadFile, file.get(), size, bytes);
}

Status ReadToEnd(ReadFileFunction read_file, HANDLE file, DWORD size, std::string* bytes) {
  bytes->assign(size, '\0');
  DWORD total = 0;
  // Reads until the end, which a file that shrinks meanwhile reaches early.
  while (total < size) {
    DWORD read = 0;
    if (!read_file(file, &(*bytes)[total], size - total, &read, nullptr)) {
      return LastErrorStatus();
    }
    if (read == 0) break;
    total += read;
  }
  bytes->resize(total);
  return ERROR_SUCCESS;
}

void Win32Platform::FlushProfileCache(const std::string& file) {
  // Returns FALSE when it flushes: there is no result to examine.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

int Win32Platform::ShowMessageBox(const std::string& text, const std::string& caption, UINT style) {
  // USER32 is loaded only when a box is shown: a run with nothing to do
  // then starts and ends without initialising the windowing system. Once
  // loaded it stays until the process ends: a process that has shown a
  // window keeps USER32's per-process state, and not every Windows supports
  // unloading it.
  static const MessageBoxFunction message_box =
      ModuleFunction<MessageBoxFunction>(LoadSystemLibrary("user32.dll"), "MessageBoxA");
  return MessageBoxAnswer(message_box, text, caption, style);
}

int MessageBoxAnswer(MessageBoxFunction message_box, const std::string& text,
                     const std::string& caption, UINT style) {
  return message_box != nullptr ? message_box(nullptr, text.c_str(), caption.c_str(), style) : 0;
}
