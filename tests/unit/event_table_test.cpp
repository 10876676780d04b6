// The windows' event tables: every row names a control of its window's design
// table that can raise that event, no event has two rows, and routing hands
// each handler what its event carries.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "about/frm_about.h"
#include "app/event_table.h"
#include "browser/form1.h"
#include "find/frm_find.h"
#include "platform/ports/design.h"
#include "splash/frm_splash.h"

namespace corvane {
namespace {

struct Row {
  std::string control;
  EventType type;
};

template <class F>
std::vector<Row> RowsOf(std::span<const Route<F>> table) {
  std::vector<Row> rows;
  for (const Route<F>& route : table) {
    rows.push_back({std::string(route.control), route.type});
  }
  return rows;
}

// The events each kind of control raises; the window itself raises Resize,
// and its keys only with key preview. Close is the runtime's own.
std::set<EventType> EventsOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Frame:
    case ControlKind::Label:
    case ControlKind::Image:
    case ControlKind::PictureBox:
    case ControlKind::CommandButton:
      return {EventType::Click};
    case ControlKind::ComboBox:
      return {EventType::Click, EventType::KeyPress};
    case ControlKind::Timer:
      return {EventType::Timer};
    case ControlKind::Toolbar:
      return {EventType::ButtonClick};
    case ControlKind::WebBrowser:
      return {EventType::DownloadComplete, EventType::NavigateComplete2, EventType::FindResult};
    case ControlKind::TextBox:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
      return {};  // read by their window when it needs them
    case ControlKind::Line:
    case ControlKind::ImageList:
      return {};
  }
  return {};
}

// What is wrong with a window's event table, one line per fault.
std::vector<std::string> Problems(const WindowDesign& design, const std::vector<Row>& rows) {
  std::vector<std::string> found;
  std::set<std::pair<std::string, EventType>> seen;
  for (const Row& row : rows) {
    const std::string name = row.control.empty() ? design.name : row.control;
    if (!seen.insert({row.control, row.type}).second) {
      found.push_back(name + ": a second row for the same event");
    }
    std::set<EventType> raised;
    if (row.control.empty()) {
      raised = {EventType::Resize};
      if (design.keyPreview) {
        raised.insert({EventType::KeyPress, EventType::KeyDown});
      }
    } else {
      const ControlDesign* control = nullptr;
      for (const ControlDesign& c : design.controls) {
        if (c.name == row.control) {
          control = &c;
        }
      }
      if (control == nullptr) {
        found.push_back(name + ": no such control in " + design.name);
        continue;
      }
      raised = EventsOf(control->kind);
    }
    if (raised.count(row.type) == 0) {
      found.push_back(name + ": never raises event " +
                      std::to_string(static_cast<int>(row.type)));
    }
  }
  return found;
}

TEST(EventTable, EveryRowOfEachWindowNamesAControlThatRaisesItsEvent) {
  const struct {
    const WindowDesign& design;
    std::vector<Row> rows;
    std::size_t expected;  // rows, so a table cannot quietly lose one
  } windows[] = {
      {frmSplash::TheDesign(), RowsOf(frmSplash::Events()), 2},
      {Form1::TheDesign(), RowsOf(Form1::Events()), 9},
      {frmAbout::TheDesign(), RowsOf(frmAbout::Events()), 2},
      {frmFind::TheDesign(), RowsOf(frmFind::Events()), 2},
  };
  for (const auto& window : windows) {
    SCOPED_TRACE(window.design.name);
    EXPECT_EQ(window.rows.size(), window.expected);
    EXPECT_EQ(Problems(window.design, window.rows), std::vector<std::string>{});
  }
}

TEST(EventTable, TheCheckRefusesMisspeltMisroutedAndDoubledRows) {
  const WindowDesign& form1 = Form1::TheDesign();
  const WindowDesign& about = frmAbout::TheDesign();
  const struct {
    const char* what;
    const WindowDesign& design;
    Row row;
    std::string problem;
  } cases[] = {
      {"misspelt", form1, {"cboAdress", EventType::Click}, "cboAdress: no such control in Form1"},
      {"another window's control", form1, {"cmdOK", EventType::Click},
       "cmdOK: no such control in Form1"},
      {"a timer's event on a combo box", form1, {"cboAddress", EventType::Timer},
       "cboAddress: never raises event 5"},
      {"a click on a line", frmSplash::TheDesign(), {"Line1", EventType::Click},
       "Line1: never raises event 3"},
      {"window keys without key preview", about, {"", EventType::KeyDown},
       "frmAbout: never raises event 2"},
      {"the runtime's Close", form1, {"", EventType::Close}, "Form1: never raises event 8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Problems(c.design, {c.row}), std::vector<std::string>{c.problem});
  }
  EXPECT_EQ(Problems(about, {{"cmdOK", EventType::Click}, {"cmdOK", EventType::Click}}),
            std::vector<std::string>{"cmdOK: a second row for the same event"});
}

// A window with one handler of each signature, recording what it was given.
struct Recorder {
  std::vector<std::string> calls;

  void Form_Resize() { calls.push_back("Form_Resize"); }
  void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) {
    calls.push_back("Form_KeyDown " + std::to_string(KeyCode) + " " + std::to_string(Shift));
    KeyCode = 0;
  }
  void txt_KeyPress(std::int16_t& KeyAscii) {
    calls.push_back("txt_KeyPress " + std::to_string(KeyAscii));
    KeyAscii = 0;
  }
  void txt_Click() { calls.push_back("txt_Click"); }
  void tb_ButtonClick(const ToolbarButton& Button) {
    calls.push_back("tb_ButtonClick " + Button.Key());
  }
  void web_NavigateComplete2(const std::string& URL) {
    calls.push_back("web_NavigateComplete2 " + URL);
  }

  static std::span<const Route<Recorder>> Events() {
    static constexpr Route<Recorder> kEvents[] = {
        {"", EventType::Resize, Call<&Recorder::Form_Resize>},
        {"", EventType::KeyDown, Call<&Recorder::Form_KeyDown>},
        {"txt", EventType::KeyPress, Call<&Recorder::txt_KeyPress>},
        {"txt", EventType::Click, Call<&Recorder::txt_Click>},
        {"tb", EventType::ButtonClick, Call<&Recorder::tb_ButtonClick>},
        {"web", EventType::NavigateComplete2, Call<&Recorder::web_NavigateComplete2>},
    };
    return kEvents;
  }
};

class KeyedButton final : public ToolbarButton {
 public:
  [[nodiscard]] std::string Key() const override { return "Back"; }
};

TEST(EventTable, RoutingHandsEachHandlerWhatItsEventCarries) {
  std::int16_t key = 65;
  KeyedButton button;
  const struct {
    const char* what;
    Event event;
    std::vector<std::string> calls;
    std::int16_t keyAfter;  // the handler's answer goes back to the backend
  } cases[] = {
      {"window resize", {.type = EventType::Resize}, {"Form_Resize"}, 65},
      {"key down with its modifiers",
       {.type = EventType::KeyDown, .keyCode = &key, .shift = 2},
       {"Form_KeyDown 65 2"}, 0},
      {"key press", {.type = EventType::KeyPress, .control = "txt", .keyAscii = &key},
       {"txt_KeyPress 65"}, 0},
      {"click of the same control", {.type = EventType::Click, .control = "txt"}, {"txt_Click"},
       65},
      {"toolbar button", {.type = EventType::ButtonClick, .control = "tb", .button = &button},
       {"tb_ButtonClick Back"}, 65},
      {"navigation with its address",
       {.type = EventType::NavigateComplete2, .control = "web", .text = "http://a.test/"},
       {"web_NavigateComplete2 http://a.test/"}, 65},
      {"an event no row names", {.type = EventType::Timer, .control = "txt"}, {}, 65},
      {"a control no row names", {.type = EventType::Click, .control = "tx"}, {}, 65},
      {"the window's event named for a control", {.type = EventType::Resize, .control = "txt"},
       {}, 65},
      {"a key press without its key", {.type = EventType::KeyPress, .control = "txt"}, {}, 65},
      {"a key down without its key", {.type = EventType::KeyDown}, {}, 65},
      {"a button click without its button", {.type = EventType::ButtonClick, .control = "tb"},
       {}, 65},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    key = 65;
    Recorder recorder;
    Event event = c.event;
    RouteEvent(recorder, Recorder::Events(), event);
    EXPECT_EQ(recorder.calls, c.calls);
    EXPECT_EQ(key, c.keyAfter);
  }
}

}  // namespace
}  // namespace corvane
