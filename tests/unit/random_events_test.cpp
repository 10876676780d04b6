// Long random event sequences on the browser window: keys, list picks,
// toolbar keys (also unknown ones), ticks, both web view notifications, with
// the web view and the address box changing and failing at random. After
// every event the window must still be sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "form1_fixture.h"

namespace corvane::testing {
namespace {

const std::vector<std::string> kAddresses = {
    "http://a.example/", "http://a.example/", "http://b.example/x", "https://c.example/",
    "http://A.example/", "start.example", "", "about:blank", "http://d.example/?q=%20",
    "file:///tmp/page.html"};
const std::vector<std::string> kNames = {"", "Home", "A page", "Working...", "x - y"};
const std::vector<std::string> kKeys = {"Back",  "Forward", "Stop",  "Refresh", "Home",
                                        "Search", "About",  "back",  "ABOUT",   "Stop ",
                                        "",      "Unknown"};
const std::vector<std::string> kWebFaults = {"Navigate", "GoBack",       "GoForward",
                                             "GoHome",   "GoSearch",     "Refresh",
                                             "Stop",     "LocationName", "LocationURL", "Busy"};
const std::vector<std::string> kBoxFaults = {"List", "AddItem", "RemoveItem", "SetListIndex",
                                             "Text", "ListCount"};

using Counts = std::map<std::string, int>;

Counts CountOf(const std::vector<std::string>& items) {
  Counts counts;
  for (const std::string& item : items) {
    ++counts[item];
  }
  return counts;
}

bool IsAllowedCaption(const std::string& caption) {
  return caption == "Form1" ||
         (caption.size() >= kSuffix.size() &&
          caption.compare(caption.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0);
}

class RandomRun {
 public:
  RandomRun(std::uint32_t seed, std::size_t prefill) : rng_(seed) {
    browser_.Open();
    if (prefill > 0) {
      std::vector<std::string> items;
      items.reserve(prefill);
      for (std::size_t i = 0; i < prefill; ++i) {
        items.push_back("http://old.example/" + std::to_string(i));
      }
      browser_.Box().SetItems(std::move(items));
    }
  }

  // Runs up to `events` random events; answers false at the first broken rule.
  ::testing::AssertionResult Run(int events) {
    const int count = std::uniform_int_distribution<int>(1, events)(rng_);
    for (int n = 0; n < count; ++n) {
      const std::vector<std::string> before = browser_.Box().Items();
      const std::string urlBefore = browser_.Web().locationURL;
      std::string what;
      bool idleTick = false;
      try {
        what = Step(idleTick);
      } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "event " << n << " let a failure out: " << e.what();
      }
      if (auto broken = Check(before, urlBefore, idleTick); !broken.empty()) {
        return ::testing::AssertionFailure() << "after event " << n << " (" << what << "): " << broken;
      }
    }
    return ::testing::AssertionSuccess();
  }

 private:
  template <class T>
  const T& Pick(const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng_)];
  }
  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(rng_) < percent; }

  std::string Step(bool& idleTick) {
    auto& web = browser_.Web();
    auto& box = browser_.Box();
    switch (std::uniform_int_distribution<int>(0, 11)(rng_)) {
      case 0:
        box.Type(Pick(kAddresses));
        return "type";
      case 1: {
        static const std::vector<std::int16_t> codes = {13, 13, 10, 0, 27, 'a', -1, 32767};
        box.PressKey(Pick(codes));
        return "key";
      }
      case 2:
        if (!box.Items().empty()) {
          box.Pick(static_cast<std::int16_t>(
              std::uniform_int_distribution<std::size_t>(0, box.Items().size() - 1)(rng_)));
        }
        return "pick";
      case 3:
        browser_.Bar().ClickButton(Pick(kKeys));
        return "toolbar";
      case 4:
        idleTick = browser_.Poll().Enabled() && !web.busy && !web.faults.Failing("Busy");
        browser_.Window().Tick("timTimer");
        return "tick";
      case 5:
        web.locationURL = Pick(kAddresses);
        web.locationName = Pick(kNames);
        web.RaiseNavigateComplete2(Pick(kAddresses));
        return "NavigateComplete2";
      case 6:
        web.RaiseDownloadComplete();
        return "DownloadComplete";
      case 7:
        web.busy = Chance(50);
        web.locationName = Pick(kNames);
        return "script";
      case 8:
        if (Chance(50)) {
          web.faults.FailOn(Pick(kWebFaults));
        } else {
          web.faults.HealAll();
        }
        return "web faults";
      case 9:
        if (Chance(30)) {
          box.faults.FailOn(Pick(kBoxFaults));
        } else {
          box.faults.HealAll();
        }
        return "box faults";
      case 10: {
        const float w = static_cast<float>(std::uniform_int_distribution<int>(0, 20000)(rng_));
        const float h = static_cast<float>(std::uniform_int_distribution<int>(0, 15000)(rng_));
        browser_.Window().ResizeClient(w, h);
        return "resize";
      }
      default:
        if (auto* about = browser_.backend.Find("frmAbout")) {
          about->PressKey(27);
        }
        return "close About";
    }
  }

  std::string Check(const std::vector<std::string>& before, const std::string& urlBefore,
                    bool idleTick) {
    const Form1& form = browser_.Form();
    if (form.NavigationHeld()) {
      return "navigation still held";
    }
    const std::vector<std::string>& after = browser_.Box().Items();
    if (after.size() > static_cast<std::size_t>(Form1::kMaxAddresses)) {
      return "list over 32,767 entries";
    }
    // Entries go only by the history rule: the current address is removed
    // (once) to go back on top, and a full list drops its bottom entry.
    Counts gone = CountOf(before);
    for (const auto& [item, n] : CountOf(after)) {
      gone[item] -= n;
    }
    const std::string& url = browser_.Web().locationURL;
    for (const auto& [item, n] : gone) {
      if (n <= 0) {
        if (n < -1 || (n == -1 && item != url && item != urlBefore)) {
          return "entry appeared from nowhere: " + item;
        }
        continue;
      }
      const bool removedByRule = n == 1 && (item == url || item == urlBefore);
      const bool droppedWhenFull = n == 1 && before.size() == static_cast<std::size_t>(Form1::kMaxAddresses) &&
                                   item == before.back();
      if (!removedByRule && !droppedWhenFull) {
        return "entry lost: " + item;
      }
    }
    const std::string caption = browser_.Window().Caption();
    if (!IsAllowedCaption(caption)) {
      return "caption is neither the design caption nor a title: " + caption;
    }
    if (idleTick && browser_.Poll().Enabled()) {
      return "an idle tick left the poll on";
    }
    return {};
  }

  std::mt19937 rng_;
  BrowserWindow browser_{"start.example"};
};

// 10,000 sequences; slow runners (valgrind) may ask for fewer.
std::uint32_t SequenceCount() {
  const char* asked = std::getenv("CORVANE_RANDOM_SEQUENCES");
  const long n = asked != nullptr ? std::strtol(asked, nullptr, 10) : 0;
  return n > 0 ? static_cast<std::uint32_t>(n) : 10000U;
}

TEST(RandomEvents, TenThousandSequencesLeaveTheBrowserWindowSound) {
  for (std::uint32_t seed = 1; seed <= SequenceCount(); ++seed) {
    RandomRun run(seed, 0);
    ASSERT_TRUE(run.Run(200)) << "seed " << seed;
  }
}

TEST(RandomEvents, SequencesOnAFullListKeepItFullAndSound) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    RandomRun run(seed * 7919U, Form1::kMaxAddresses - 3);
    ASSERT_TRUE(run.Run(40)) << "seed " << seed;
  }
}

}  // namespace
}  // namespace corvane::testing
