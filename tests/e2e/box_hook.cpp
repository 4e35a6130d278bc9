// Test helper, loaded into the program under test by box_answerer.exe: a
// hook on the program's thread that tells the answerer which icon each
// message box shows. Another process can see that a box has an icon, not
// which; inside the program the icon handle is the one the box was given, and
// is compared with the system icons there. The result goes on the box as the
// window property kIconProperty, set before the box is shown.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>

namespace {

// The icon codes, as the answerer reads them from the property.
enum IconCode : INT_PTR { kQuestion = 1, kWarning, kError, kInformation, kOther, kNone };

constexpr int kIconIds[] = {20, 1088};  // Windows' and Wine's icon control

INT_PTR IconOf(HWND box) {
  HICON shown = nullptr;
  for (const int id : kIconIds) {
    if (GetDlgItem(box, id) == nullptr) continue;
    shown = reinterpret_cast<HICON>(SendDlgItemMessageA(box, id, STM_GETICON, 0, 0));
    if (shown != nullptr) break;
  }
  if (shown == nullptr) return kNone;
  const struct {
    LPCSTR name;
    IconCode code;
  } system_icons[] = {{IDI_QUESTION, kQuestion},
                      {IDI_WARNING, kWarning},
                      {IDI_ERROR, kError},
                      {IDI_INFORMATION, kInformation}};
  for (const auto& icon : system_icons) {
    if (LoadIconA(nullptr, icon.name) == shown) return icon.code;
  }
  return kOther;
}

}  // namespace

// Called after each message the program's thread handles; a box has its
// icon once WM_INITDIALOG has been handled, and is shown only afterwards.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    BoxHookProc(int code, WPARAM wparam, LPARAM lparam) {
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION && message->message == WM_INITDIALOG) {
    char class_name[16] = {};
    GetClassNameA(message->hwnd, class_name, sizeof class_name);
    if (std::strcmp(class_name, "#32770") == 0) {
      SetPropA(message->hwnd, "DriverRemovalTest.Icon",
               reinterpret_cast<HANDLE>(IconOf(message->hwnd)));
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
