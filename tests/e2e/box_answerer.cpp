// Test helper, run under Wine: starts a program, waits for each message box
// it shows, records the box and answers it from a script, until the program
// ends.
//
//   box_answerer.exe [--shots DIR] [--hold FILE] [--hold-exclusive FILE]
//                    [--deny-write SUBKEY] [--copy-at-first-box FROM|TO] [--by-hand]
//                    LOG PROGRAM [ANSWER...]
//   ANSWER: yes, no or ok
//
// With --by-hand, a person answers the boxes on the display: each is still
// recorded, but none is answered here, and there is no time limit.
// With --shots, each box is also saved as DIR\box-N.bmp before it is
// answered (this needs a real display, such as Xvfb). With --hold, FILE is
// kept open for reading, shared for reading only, while the program runs,
// as another program holding it open would; with --hold-exclusive, shared
// with no one. With --deny-write, the key
// SUBKEY below HKEY_LOCAL_MACHINE may only be read while the program runs,
// as for a user without the rights to change it; its access rules are put
// back afterwards. With --copy-at-first-box, FROM is copied over TO while
// the first box stands, as another program changing a file meanwhile would.
//
// LOG gets one line a box: "box<TAB>caption<TAB>buttons<TAB>icon<TAB>text",
// with buttons such as "yes,no", the icon as "question", "warning", "error",
// "information", "other" or "none", and line breaks in the text written as
// "\n"; then "exit<TAB>status", or "timeout". Another process can tell only
// whether a box has an icon, so box_hook.dll, beside the answerer and built
// for the program's architecture, is hooked onto the program's thread and
// names the icon from inside; without it the icon is "icon" or "none".

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 60000;
// How long a box may take to fill in its text and create its buttons.
constexpr DWORD kCompleteMs = 10000;
constexpr int kTextId = 0xFFFF;
constexpr int kIconIds[] = {20, 1088};  // Windows' and Wine's icon control

struct FindContext {
  DWORD process_id;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (owner == context->process_id && std::string(class_name) == "#32770" &&
      IsWindowVisible(window)) {
    context->box = window;
    return FALSE;
  }
  return TRUE;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

// Whether box_hook.dll watches the program's boxes.
bool hooked = false;

// Hooks box_hook.dll, from the answerer's own folder, onto the program's
// thread, which has not started yet.
void HookBoxes(DWORD thread_id) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll(path, length);
  dll = dll.substr(0, dll.find_last_of('\\') + 1) + "box_hook.dll";
  const HMODULE module = LoadLibraryA(dll.c_str());
  if (module == nullptr) return;
  const auto proc = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "BoxHookProc")));
  hooked = proc != nullptr && SetWindowsHookExA(WH_CALLWNDPROCRET, proc, module, thread_id);
}

std::string Describe(HWND box) {
  char caption[256] = {};
  GetWindowTextA(box, caption, sizeof caption);
  char text[4096] = {};
  GetDlgItemTextA(box, kTextId, text, sizeof text);
  std::string buttons;
  const std::pair<int, const char*> known[] = {
      {IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};
  for (const auto& button : known) {
    const HWND control = GetDlgItem(box, button.first);
    if (control != nullptr && IsWindowVisible(control)) {
      buttons += buttons.empty() ? "" : ",";
      buttons += button.second;
    }
  }
  bool has_icon = false;
  for (int id : kIconIds) {
    if (GetDlgItem(box, id) != nullptr && SendDlgItemMessageA(box, id, STM_GETICON, 0, 0) != 0) {
      has_icon = true;
    }
  }
  std::string icon = has_icon ? "icon" : "none";
  if (hooked) {
    // Set by box_hook.dll: 1 question, 2 warning, 3 error, 4 information,
    // 5 another icon, 6 none; missing, the hook did not see the box.
    const char* names[] = {"unknown",     "question", "warning", "error",
                           "information", "other",    "none"};
    const auto code = reinterpret_cast<INT_PTR>(GetPropA(box, "DriverRemovalTest.Icon"));
    icon = names[code >= 1 && code <= 6 ? code : 0];
  }
  return std::string("box\t") + Escaped(caption) + "\t" + buttons + "\t" + icon + "\t" +
         Escaped(text);
}

// Saves what the screen shows of the window as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD row = (width * 3 + 3) & ~3u;
  std::vector<char> pixels(row * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fwrite(&header, sizeof header, 1, file);
  std::fwrite(&info, sizeof info, 1, file);
  std::fwrite(pixels.data(), 1, pixels.size(), file);
  return std::fclose(file) == 0;
}

// True when the box has its text and at least one button: a box is created
// empty and filled in while it starts, and another process may look at it
// before that.
bool IsComplete(HWND box) {
  const HWND text = GetDlgItem(box, kTextId);
  if (text == nullptr || GetWindowTextLengthA(text) == 0) return false;
  for (int id : {IDOK, IDYES, IDNO}) {
    if (GetDlgItem(box, id) != nullptr) return true;
  }
  return false;
}

// Polls `done` every 20 ms until it holds, the process ends or `limit_ms`
// pass; returns whether it held.
template <typename Condition>
bool WaitFor(HANDLE process, DWORD limit_ms, Condition done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (WaitForSingleObject(process, 20) == WAIT_OBJECT_0) return false;
    if (GetTickCount() - start > limit_ms) return false;
  }
  return true;
}

// Replaces the key's access rules by "everyone may read"; returns the rules
// it had, to be put back by RestoreKeyRules, or an empty string on failure.
std::string DenyKeyWrites(const std::string& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  DWORD size = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  std::string previous(size, '\0');
  // A protected access list with one rule: everyone may read.
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  char acl_bytes[256] = {};
  auto* acl = reinterpret_cast<PACL>(acl_bytes);
  SECURITY_DESCRIPTOR read_only;
  if (size == 0 ||
      RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, &previous[0], &size) != ERROR_SUCCESS ||
      !AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) ||
      !InitializeAcl(acl, sizeof acl_bytes, ACL_REVISION) ||
      !AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone) ||
      !InitializeSecurityDescriptor(&read_only, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&read_only, TRUE, acl, FALSE) ||
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        &read_only) != ERROR_SUCCESS) {
    previous.clear();
  }
  if (everyone != nullptr) FreeSid(everyone);
  RegCloseKey(key);
  return previous;
}

void RestoreKeyRules(const std::string& subkey, std::string rules) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
    return;
  }
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &rules[0]);
  RegCloseKey(key);
}

// Puts a key's access rules back however the answerer ends.
struct KeyRulesRestorer {
  std::string subkey;
  std::string rules;
  ~KeyRulesRestorer() {
    if (!rules.empty()) RestoreKeyRules(subkey, rules);
  }
};

int AnswerId(const std::string& answer) {
  if (answer == "yes") return IDYES;
  if (answer == "no") return IDNO;
  return IDOK;
}

}  // namespace

int main(int argc, char** argv) {
  std::string shots;
  std::string hold;
  DWORD hold_sharing = FILE_SHARE_READ;
  std::string copy_at_first_box;  // "FROM|TO"
  std::string deny_write;
  bool by_hand = false;
  for (; argc > 2; argv += 2, argc -= 2) {
    const std::string option = argv[1];
    if (option == "--by-hand") {
      by_hand = true;
      --argv;  // an option without a value
      ++argc;
    } else if (option == "--shots") {
      shots = argv[2];
    } else if (option == "--hold" || option == "--hold-exclusive") {
      hold = argv[2];
      hold_sharing = option == "--hold" ? FILE_SHARE_READ : 0;
    } else if (option == "--deny-write") {
      deny_write = argv[2];
    } else if (option == "--copy-at-first-box") {
      copy_at_first_box = argv[2];
    } else {
      break;
    }
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: box_answerer [--shots DIR] [--hold FILE] [--hold-exclusive FILE] "
                 "[--deny-write SUBKEY] [--copy-at-first-box FROM|TO] [--by-hand] LOG PROGRAM "
                 "[yes|no|ok ...]\n");
    return 2;
  }
  KeyRulesRestorer restorer{deny_write, std::string()};
  if (!deny_write.empty()) {
    restorer.rules = DenyKeyWrites(deny_write);
    if (restorer.rules.empty()) {
      std::fprintf(stderr, "cannot make %s read-only\n", deny_write.c_str());
      return 2;
    }
  }
  HANDLE held = INVALID_HANDLE_VALUE;
  if (!hold.empty()) {
    held = CreateFileA(hold.c_str(), GENERIC_READ, hold_sharing, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "cannot hold %s open: %lu\n", hold.c_str(), GetLastError());
      return 2;
    }
  }
  FILE* log = std::fopen(argv[1], "wb");
  if (log == nullptr) return 2;
  std::vector<std::string> answers(argv + 3, argv + argc);
  int shown = 0;
  size_t next_answer = 0;

  std::string command = std::string("\"") + argv[2] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    std::fprintf(log, "error\tCreateProcess %lu\n", GetLastError());
    std::fclose(log);
    return 1;
  }
  HookBoxes(process.dwThreadId);
  ResumeThread(process.hThread);

  const DWORD started = GetTickCount();
  for (;;) {
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    if (!by_hand && GetTickCount() - started > kTimeoutMs) {
      std::fprintf(log, "timeout\n");
      TerminateProcess(process.hProcess, 1);
      std::fclose(log);
      return 1;
    }
    FindContext context = {process.dwProcessId, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&context));
    if (context.box == nullptr) continue;
    const HWND box = context.box;
    if (!WaitFor(process.hProcess, kCompleteMs, [box] { return IsComplete(box); })) {
      if (!IsWindow(box)) continue;
      std::fprintf(log, "incomplete\t%s\n", Describe(box).c_str());
    }
    std::fprintf(log, "%s\n", Describe(box).c_str());
    std::fflush(log);
    ++shown;
    if (!shots.empty()) {
      Sleep(400);  // let the box paint itself
      SaveWindowPicture(box, shots + "\\box-" + std::to_string(shown) + ".bmp");
    }
    const size_t bar = copy_at_first_box.find('|');
    if (shown == 1 && bar != std::string::npos &&
        !CopyFileA(copy_at_first_box.substr(0, bar).c_str(),
                   copy_at_first_box.substr(bar + 1).c_str(), FALSE)) {
      std::fprintf(log, "error\tCopyFile %lu\n", GetLastError());
    }
    if (!by_hand) {
      const std::string answer = next_answer < answers.size() ? answers[next_answer++] : "ok";
      const int id = AnswerId(answer);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    }
    // The next box may get the same handle, so a box counts as answered
    // only once it is gone.
    WaitFor(process.hProcess, by_hand ? INFINITE : kTimeoutMs,
            [box] { return !IsWindow(box) || !IsWindowVisible(box); });
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  std::fprintf(log, "exit\t%lu\n", exit_code);
  std::fclose(log);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  return 0;
}
