// The Windows program takes its own https handler only where the system's
// TLS is too old: with Wine reporting Windows XP it opens the local test
// server's page (whose certificate Wine's own TLS does not trust); with Wine
// reporting Windows 10 it leaves https to the system and shows our page of a
// failed load. The server's port comes in CORVANE_HTTPS_PORT (run through
// tests/win32/https_test.sh).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <urlmon.h>

#include "tests/win32_gui/program_driver.h"

namespace corvane::test {
namespace {

// The Windows version Wine reports to the program alone (its AppDefaults
// key), taken away again at the end.
class ProgramVersion {
 public:
  explicit ProgramVersion(const wchar_t* version) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) == ERROR_SUCCESS) {
      set_ = ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                              static_cast<DWORD>((::wcslen(version) + 1) * sizeof(wchar_t))) ==
             ERROR_SUCCESS;
      ::RegCloseKey(key);
    }
  }
  ProgramVersion(const ProgramVersion&) = delete;
  ProgramVersion& operator=(const ProgramVersion&) = delete;
  ~ProgramVersion() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  [[nodiscard]] bool Set() const { return set_; }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\Corvane Ombrel.exe";
  bool set_ = false;
};

bool StartsWith(const std::wstring& text, const std::wstring& start) {
  return text.compare(0, start.size(), start) == 0;
}

// Whether the caption is one of our pages of a failed load.
bool OurFailurePage(const std::wstring& caption) {
  for (const wchar_t* title : {L"Certificate Not Trusted - ", L"Secure Connection Failed - ",
                               L"Page Not Loaded - "}) {
    if (StartsWith(caption, title)) {
      return true;
    }
  }
  return false;
}

// Asks the test server, over plain http, whether it answered `path`.
bool ServerAnswered(const std::string& path, int attempt) {
  const char* port = std::getenv("CORVANE_HTTP_PORT");
  if (port == nullptr) {
    return false;
  }
  const std::string address = std::string("http://127.0.0.1:") + port +
                              "/seen?attempt=" + std::to_string(attempt) + "&path=%2F%3F" +
                              path.substr(2);
  IStream* stream = nullptr;
  if (FAILED(::URLOpenBlockingStreamA(nullptr, address.c_str(), &stream, 0, nullptr)) ||
      stream == nullptr) {
    return false;
  }
  char answer[8] = {};
  ULONG got = 0;
  stream->Read(answer, sizeof answer - 1, &got);
  stream->Release();
  return std::string(answer, got) == "yes";
}

struct Case {
  const char* name;
  const wchar_t* version;
  bool ours;  // our handler fetches: the server answers the program
};

class HttpsProgram : public ::testing::TestWithParam<Case> {};

TEST_P(HttpsProgram, FetchesThroughItsOwnHandlerOnlyOnOldWindows) {
  const Case& c = GetParam();
  const char* port = std::getenv("CORVANE_HTTPS_PORT");
  ASSERT_NE(port, nullptr) << "run through https_test.sh";
  const ProgramVersion version(c.version);
  ASSERT_TRUE(version.Set());
  RunningProgram program;
  ASSERT_TRUE(program.Started());
  HWND browser = OpenBrowser(program);
  ASSERT_NE(browser, nullptr);
  HWND edit = ChildOfClass(ChildOfClass(browser, WC_COMBOBOXW), L"Edit");
  ASSERT_NE(edit, nullptr);
  // The start page (not reachable here) first ends in our page.
  ASSERT_TRUE(WaitUntil([&] { return OurFailurePage(TextOf(browser)); }, 40s));
  const std::wstring marked = L"marked";
  ::SendMessageW(browser, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(marked.c_str()));

  PostKey(FocusOf(browser), VK_F6);  // into the address box
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(browser) == edit; }));
  const std::string path = std::string("/?program-") + c.name;
  const std::string address = std::string("https://localhost:") + port + path;
  ::SendMessageW(edit, WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(std::wstring(address.begin(), address.end()).c_str()));
  PostKey(edit, VK_RETURN);

  // The load ends: the page (without a page engine, as under this Wine,
  // the control still reports the load's end), or our page of a failure.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::wstring caption = TextOf(browser);
        return caption != marked && !StartsWith(caption, L"Working...");
      },
      40s));
  int attempt = 0;
  const bool answered = WaitUntil([&] { return ServerAnswered(path, ++attempt); }, 5s);
  EXPECT_EQ(answered, c.ours);
  // Without our handler: the system's TLS refuses the test root, and our
  // page of the failure shows. With it: the page (under a Wine without its
  // page engine the control cannot make the document, and our page of a
  // failed load shows then), never a certificate or secure channel failure.
  const std::wstring caption = TextOf(browser);
  const std::string words(caption.begin(), caption.end());
  if (!c.ours) {
    EXPECT_TRUE(OurFailurePage(caption)) << words;
  } else {
    EXPECT_FALSE(StartsWith(caption, L"Certificate Not Trusted - ") ||
                 StartsWith(caption, L"Secure Connection Failed - "))
        << words;
    EXPECT_TRUE(StartsWith(caption, L"Corvane https test page - ") ||
                StartsWith(caption, L"Page Not Loaded - "))
        << words;
  }
}

// Wine names XP by the program's width: "winxp" for 32-bit programs,
// "winxp64" (XP x64, 5.2) for 64-bit ones.
const Case kCases[] = {
    {"WindowsXp", sizeof(void*) == 8 ? L"winxp64" : L"winxp", true},
    {"Windows10", L"win10", false},
};

INSTANTIATE_TEST_SUITE_P(Versions, HttpsProgram, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::test
