// What the web view is asked to load for what the user typed.
#include <gtest/gtest.h>

#include "platform/gtk/address.h"
#include "platform/gtk/pictures.h"

namespace corvane::gtk {
namespace {

TEST(AddressFixUp, AddsTheSchemeTheEngineNeedsAndKeepsCompleteAddresses) {
  struct Case {
    const char* typed;
    const char* loaded;
  };
  for (const Case& c : {
           Case{"duckduckgo.com", "https://duckduckgo.com"},
           Case{"example.com/a?b=c#d", "https://example.com/a?b=c#d"},
           Case{"example.com:8443/x", "https://example.com:8443/x"},
           Case{"localhost:8765", "http://localhost:8765"},
           Case{"localhost:8765/path/page.html", "http://localhost:8765/path/page.html"},
           Case{"LocalHost:80", "http://LocalHost:80"},
           Case{"localhost", "http://localhost"},
           Case{"127.0.0.1:8765/x", "http://127.0.0.1:8765/x"},
           Case{"10.1.2.3", "http://10.1.2.3"},
           Case{"[::1]:8080/", "http://[::1]:8080/"},
           Case{"1.2.3", "https://1.2.3"},  // not an IPv4 literal
           Case{"http://example.com", "http://example.com"},
           Case{"HTTPS://Example.com", "HTTPS://Example.com"},
           Case{"file:///tmp/a.html", "file:///tmp/a.html"},
           Case{"about:blank", "about:blank"},
           Case{"data:text/html,hi", "data:text/html,hi"},
           Case{"  example.com  ", "https://example.com"},
           Case{"", "about:blank"},
           Case{"   ", "about:blank"},
       }) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(FixUpAddress(c.typed), c.loaded);
  }
}

TEST(Pictures, AMissingOrMalformedNameResolvesToNothing) {
  EXPECT_EQ(PicturePath("no_such_picture"), "");
  EXPECT_EQ(PicturePath(""), "");
  EXPECT_EQ(PicturePath("../CMakeLists"), "");
  EXPECT_EQ(PicturePath("a/b"), "");
}

}  // namespace
}  // namespace corvane::gtk
