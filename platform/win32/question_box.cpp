#include "platform/win32/question_box.h"

#include <string>

#include "platform/win32/text.h"

namespace corvane::win32 {

namespace {

// The box being made, and its buttons' words, while AskAboutPage runs (one
// thread: the window thread). The box's buttons are named once it exists.
struct Asking {
  HHOOK hook = nullptr;
  HWND box = nullptr;
  std::wstring goOn;
  std::wstring stop;
};
Asking* asking = nullptr;

LRESULT CALLBACK OnBoxMade(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && asking != nullptr && asking->box == nullptr) {
    asking->box = reinterpret_cast<HWND>(wParam);
    ::SetDlgItemTextW(asking->box, IDYES, asking->goOn.c_str());
    ::SetDlgItemTextW(asking->box, IDNO, asking->stop.c_str());
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook goes on every path.
class Hooked {
 public:
  explicit Hooked(Asking& state) : state_(state) {
    state_.hook = ::SetWindowsHookExW(WH_CBT, &OnBoxMade, nullptr, ::GetCurrentThreadId());
    asking = &state_;
  }
  ~Hooked() {
    asking = nullptr;
    if (state_.hook != nullptr) {
      ::UnhookWindowsHookEx(state_.hook);
    }
  }
  Hooked(const Hooked&) = delete;
  Hooked& operator=(const Hooked&) = delete;

 private:
  Asking& state_;
};

}  // namespace

bool AskAboutPage(HWND owner, const PageQuestion& question) {
  if (asking != nullptr) {
    return true;  // one question at a time: the page goes on
  }
  Asking state{nullptr, nullptr, ToWide(question.goOn), ToWide(question.stop)};
  const Hooked hooked(state);
  const std::wstring text = ToWide(question.text + "\n\n" + question.detail);
  const int answer = ::MessageBoxW(owner, text.c_str(), ToWide(question.title).c_str(),
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1);
  return answer != IDNO;
}

void CloseQuestionAboutPage() {
  if (asking != nullptr && asking->box != nullptr) {
    ::PostMessageW(asking->box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  }
}

}  // namespace corvane::win32
