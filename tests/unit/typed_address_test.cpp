// What the address box's text is taken for, on both web views: words go to
// the search address; an address is completed here (Linux) or goes to the
// control as typed (Windows).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "browsing/new_window.h"
#include "browsing/typed_address.h"

namespace corvane {
namespace {

constexpr const char* kQuery = "https://search.test/html/?q=%s";

TEST(TypedAddress, WordsAreSearchedAndAddressesAreCompletedHereOrByTheControl) {
  struct Case {
    const char* typed;
    const char* linux;    // what the engine loads (completed here); null: refused
    const char* windows;  // what the control is given (it completes addresses)
  };
  for (const Case& c : {
           // Words: blanks inside, or one word that names no host.
           Case{"weather in paris", "https://search.test/html/?q=weather%20in%20paris",
                "https://search.test/html/?q=weather%20in%20paris"},
           Case{"  weather  ", "https://search.test/html/?q=weather",
                "https://search.test/html/?q=weather"},
           Case{"why?", "https://search.test/html/?q=why%3F", "https://search.test/html/?q=why%3F"},
           Case{"c++ & c#", "https://search.test/html/?q=c%2B%2B%20%26%20c%23",
                "https://search.test/html/?q=c%2B%2B%20%26%20c%23"},
           Case{"a/b c", "https://search.test/html/?q=a%2Fb%20c",
                "https://search.test/html/?q=a%2Fb%20c"},
           Case{"100%", "https://search.test/html/?q=100%25", "https://search.test/html/?q=100%25"},
           Case{"caf\xC3\xA9 cr\xC3\xA8me", "https://search.test/html/?q=caf%C3%A9%20cr%C3%A8me",
                "https://search.test/html/?q=caf%C3%A9%20cr%C3%A8me"},
           Case{"<b>x</b> y", "https://search.test/html/?q=%3Cb%3Ex%3C%2Fb%3E%20y",
                "https://search.test/html/?q=%3Cb%3Ex%3C%2Fb%3E%20y"},
           Case{"example.com is down", "https://search.test/html/?q=example.com%20is%20down",
                "https://search.test/html/?q=example.com%20is%20down"},
           Case{"note: milk", "https://search.test/html/?q=note%3A%20milk",
                "https://search.test/html/?q=note%3A%20milk"},
           Case{"127.0.0.1:8765/a b", "https://search.test/html/?q=127.0.0.1%3A8765%2Fa%20b",
                "https://search.test/html/?q=127.0.0.1%3A8765%2Fa%20b"},
           // Addresses: a scheme is added here for the engine; the control
           // gets them as typed.
           Case{"duckduckgo.com", "https://duckduckgo.com", "duckduckgo.com"},
           Case{"example.com/a?b=c#d", "https://example.com/a?b=c#d", "example.com/a?b=c#d"},
           Case{"example.com:8443/x", "https://example.com:8443/x", "example.com:8443/x"},
           Case{"localhost:8765", "http://localhost:8765", "localhost:8765"},
           Case{"localhost:8765/path/page.html", "http://localhost:8765/path/page.html",
                "localhost:8765/path/page.html"},
           Case{"LocalHost:80", "http://LocalHost:80", "LocalHost:80"},
           Case{"localhost", "http://localhost", "localhost"},
           Case{"intranet/", "https://intranet/", "intranet/"},
           Case{"intranet:8080", "https://intranet:8080", "intranet:8080"},
           Case{"127.0.0.1", "http://127.0.0.1", "127.0.0.1"},
           Case{"127.0.0.1:8765/x", "http://127.0.0.1:8765/x", "127.0.0.1:8765/x"},
           Case{"10.1.2.3", "http://10.1.2.3", "10.1.2.3"},
           Case{"[::1]", "http://[::1]", "[::1]"},
           Case{"[::1]:8080/", "http://[::1]:8080/", "[::1]:8080/"},
           Case{"1.2.3", "https://1.2.3", "1.2.3"},  // not an IPv4 literal
           Case{"  example.com  ", "https://example.com", "  example.com  "},
           // Complete addresses go as they are, blanks and all.
           Case{"http://example.com", "http://example.com", "http://example.com"},
           Case{"HTTPS://Example.com", "HTTPS://Example.com", "HTTPS://Example.com"},
           Case{"http://example.com/a b", "http://example.com/a b", "http://example.com/a b"},
           Case{"file:///tmp/My Pages/a.html", "file:///tmp/My Pages/a.html",
                "file:///tmp/My Pages/a.html"},
           Case{"about:blank", "about:blank", "about:blank"},
           Case{"data:text/html,hi", "data:text/html,hi", "data:text/html,hi"},
           Case{"mailto:someone", "mailto:someone", "mailto:someone"},
           Case{"", "about:blank", ""},
           Case{"   ", "about:blank", "   "},
           // Windows paths: the control opens them, blanks and all; the
           // engine of Linux cannot, so there they are words.
           Case{"C:\\My Pages\\a.html", "https://search.test/html/?q=C%3A%5CMy%20Pages%5Ca.html",
                "C:\\My Pages\\a.html"},
           Case{"c:/My Pages/a.html", "https://search.test/html/?q=c%3A%2FMy%20Pages%2Fa.html",
                "c:/My Pages/a.html"},
           Case{"\\\\server\\share\\My File.html",
                "https://search.test/html/?q=%5C%5Cserver%5Cshare%5CMy%20File.html",
                "\\\\server\\share\\My File.html"},
           Case{"C:\\pages\\a.html", "C:\\pages\\a.html", "C:\\pages\\a.html"},
           Case{"C: drive full", "https://search.test/html/?q=C%3A%20drive%20full",
                "https://search.test/html/?q=C%3A%20drive%20full"},
           Case{"\\\\ two", "https://search.test/html/?q=%5C%5C%20two",
                "https://search.test/html/?q=%5C%5C%20two"},
           // Script addresses would run in the page shown: refused, not even
           // searched for.
           Case{"javascript:alert(1)", nullptr, nullptr},
           Case{"  JavaScript:location='http://a.test/'  ", nullptr, nullptr},
           Case{"javascript:alert('a b')", nullptr, nullptr},
           Case{"VBScript:MsgBox(1)", nullptr, nullptr},
           Case{"javascript tutorial", "https://search.test/html/?q=javascript%20tutorial",
                "https://search.test/html/?q=javascript%20tutorial"},
           Case{"javascript.info", "https://javascript.info", "javascript.info"},
       }) {
    SCOPED_TRACE(c.typed);
    const auto want = [](const char* load) {
      return load != nullptr ? std::optional<std::string>(load) : std::nullopt;
    };
    EXPECT_EQ(AddressToLoad(c.typed, kQuery, AddressCompletion::kHere), want(c.linux));
    EXPECT_EQ(AddressToLoad(c.typed, kQuery, AddressCompletion::kByTheControl), want(c.windows));
  }
}

TEST(TypedAddress, TheQueryFormMayLackTheSlotOrASchemeOrBeEmpty) {
  EXPECT_EQ(SearchAddress("a b", "search.test/?q="), "https://search.test/?q=a%20b");
  EXPECT_EQ(SearchAddress("a b", "http://127.0.0.1:9/find?q=%s&x=1"),
            "http://127.0.0.1:9/find?q=a%20b&x=1");
  // No search address configured: words go as an address.
  EXPECT_EQ(AddressToLoad("weather", "", AddressCompletion::kHere), "https://weather");
  EXPECT_EQ(AddressToLoad("a b", "", AddressCompletion::kByTheControl), "a b");
}

// A window a page asks for opens in the view, when the user asked for it
// and it has somewhere to go.
TEST(NewWindow, OnlyTheUsersWindowsWithAnAddressOpenInTheView) {
  const struct {
    const char* address;
    bool byTheUser;
    const char* opened;  // null: nothing opens
  } cases[] = {
      {"https://b.test/p?q=1", true, "https://b.test/p?q=1"},
      {"https://ads.test/", false, nullptr},
      {"about:blank", true, nullptr},
      {"", true, nullptr},
      {"javascript:alert(1)", true, nullptr},
      {" JAVASCRIPT:x", true, nullptr},
      {"about:blank#x", true, "about:blank#x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NewWindowAddress(c.address, c.byTheUser),
              c.opened != nullptr ? std::optional<std::string>(c.opened) : std::nullopt)
        << c.address << (c.byTheUser ? " by the user" : " by the page");
  }
}

}  // namespace
}  // namespace corvane
