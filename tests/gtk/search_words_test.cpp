// Words or an address: what the address box's text is taken for.
#include <gtest/gtest.h>

#include "platform/gtk/address.h"

namespace corvane::gtk {
namespace {

constexpr const char* kQuery = "https://search.test/html/?q=%s";

TEST(AddressWords, WordsAreSearchedAndAddressesKeepTheirFixUp) {
  struct Case {
    const char* typed;
    const char* loaded;
  };
  for (const Case& c : {
           // Words: blanks inside, or one word that names no host.
           Case{"weather in paris", "https://search.test/html/?q=weather%20in%20paris"},
           Case{"  weather  ", "https://search.test/html/?q=weather"},
           Case{"why?", "https://search.test/html/?q=why%3F"},
           Case{"c++ & c#", "https://search.test/html/?q=c%2B%2B%20%26%20c%23"},
           Case{"a/b c", "https://search.test/html/?q=a%2Fb%20c"},
           Case{"100%", "https://search.test/html/?q=100%25"},
           Case{"caf\xC3\xA9 cr\xC3\xA8me", "https://search.test/html/?q=caf%C3%A9%20cr%C3%A8me"},
           Case{"<b>x</b> y", "https://search.test/html/?q=%3Cb%3Ex%3C%2Fb%3E%20y"},
           Case{"example.com is down", "https://search.test/html/?q=example.com%20is%20down"},
           Case{"note: milk", "https://search.test/html/?q=note%3A%20milk"},
           // Addresses, as they always went.
           Case{"localhost:8765", "http://localhost:8765"},
           Case{"localhost", "http://localhost"},
           Case{"intranet/", "https://intranet/"},
           Case{"intranet:8080", "https://intranet:8080"},
           Case{"example.com", "https://example.com"},
           Case{"127.0.0.1", "http://127.0.0.1"},
           Case{"127.0.0.1:8765/a b", "https://search.test/html/?q=127.0.0.1%3A8765%2Fa%20b"},
           Case{"[::1]", "http://[::1]"},
           Case{"about:blank", "about:blank"},
           Case{"http://example.com/a b", "http://example.com/a b"},
           Case{"file:///tmp/My Pages/a.html", "file:///tmp/My Pages/a.html"},
           Case{"mailto:someone", "mailto:someone"},
           Case{"", "about:blank"},
       }) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(AddressToLoad(c.typed, kQuery), c.loaded);
  }
}

TEST(AddressWords, TheQueryFormMayLackTheSlotOrAScheme) {
  EXPECT_EQ(SearchAddress("a b", "search.test/?q="), "https://search.test/?q=a%20b");
  EXPECT_EQ(SearchAddress("a b", "http://127.0.0.1:9/find?q=%s&x=1"),
            "http://127.0.0.1:9/find?q=a%20b&x=1");
}

}  // namespace
}  // namespace corvane::gtk
