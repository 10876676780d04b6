// The GTK backend realising design tables: places, sizes, window kinds, and
// the events that real input raises.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "browser/form1.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/message_box.h"
#include "platform/gtk/pictures.h"
#include "splash/frm_splash.h"
#include "tests/gtk/gtk_fixture.h"

namespace corvane::testing {
namespace {

WindowDesign TestDesign() {
  WindowDesign w;
  w.name = "frmTest";
  w.caption = "Test";
  w.border = BorderStyle::FixedDialog;
  w.clientWidth = 6000;
  w.clientHeight = 4500;
  w.startPosition = StartPosition::Manual;
  w.left = 1500;
  w.top = 1500;
  w.showInTaskbar = false;
  w.keyPreview = true;
  w.controls = {
      {.kind = ControlKind::Frame, .name = "fraBox", .left = 150, .top = 150, .width = 3000,
       .height = 2000},
      {.kind = ControlKind::Label, .name = "lblInside", .container = "fraBox", .left = 300,
       .top = 300, .width = 1500, .height = 300, .caption = "Inside"},
      {.kind = ControlKind::Line, .name = "linAcross", .container = "fraBox", .left = 100,
       .top = 1500, .width = 2800, .height = 1500, .borderWidth = 3},
      {.kind = ControlKind::Image, .name = "imgMissing", .container = "fraBox", .left = 2000,
       .top = 300, .width = 600, .height = 600, .picture = "no_such_picture"},
      {.kind = ControlKind::Label, .name = "lblName", .left = 150, .top = 2400, .width = 1200,
       .height = 300, .caption = "&Name:", .tabIndex = 3, .mnemonicTarget = "cboName"},
      {.kind = ControlKind::ComboBox, .name = "cboName", .left = 1500, .top = 2400,
       .width = 3000, .height = 315, .tabIndex = 1, .tabStop = true},
      {.kind = ControlKind::CommandButton, .name = "cmdOK", .left = 4500, .top = 150,
       .width = 1200, .height = 345, .caption = "OK", .tabIndex = 0, .tabStop = true,
       .isDefault = true},
      {.kind = ControlKind::CommandButton, .name = "cmdCancel", .left = 4500, .top = 600,
       .width = 1200, .height = 345, .caption = "Cancel", .tabIndex = 2, .tabStop = true,
       .isCancel = true},
      {.kind = ControlKind::CommandButton, .name = "cmdApply", .left = 4500, .top = 1050,
       .width = 1200, .height = 345, .caption = "&Apply", .tabIndex = 4, .tabStop = true},
      {.kind = ControlKind::Label, .name = "lblAuto", .left = 1000, .top = 3300, .width = 3000,
       .height = 300, .caption = "Auto", .autoSize = true, .alignment = Alignment::Right},
      {.kind = ControlKind::Timer, .name = "timTick", .interval = 5, .enabled = false},
  };
  return w;
}

const WindowDesign& Design() {
  static const WindowDesign design = TestDesign();
  return design;
}

class Backend : public GtkTest {
 protected:
  std::unique_ptr<gtk::FormWindow> Open(const WindowDesign& design = Design()) {
    auto made = backend.MakeWindow(design, sink);
    auto window = std::unique_ptr<gtk::FormWindow>(static_cast<gtk::FormWindow*>(made.release()));
    window->Show();
    EXPECT_TRUE(ShowAndFocus(x, window->Toplevel()));
    sink.events.clear();
    return window;
  }
  // The control's place in the client area, pixels.
  static GdkRectangle Placement(gtk::FormWindow& window, const std::string& name) {
    GtkWidget* widget = window.WidgetOf(name);
    GdkRectangle r{};
    gtk_widget_translate_coordinates(widget, window.ClientArea(), 0, 0, &r.x, &r.y);
    r.width = gtk_widget_get_allocated_width(widget);
    r.height = gtk_widget_get_allocated_height(widget);
    return r;
  }
};

TEST_F(Backend, TwipsBecomePixelsAtTheScreenResolution) {
  const double dpi = gtk::Units::ScreenDpi();
  ASSERT_GT(dpi, 0);
  const gtk::Units units(dpi);
  EXPECT_DOUBLE_EQ(units.TwipsPerPixel(), 1440.0 / dpi);
  EXPECT_EQ(gtk::Units(96).Px(1440), 96);
  EXPECT_EQ(gtk::Units(96).Px(15), 1);
  EXPECT_EQ(gtk::Units(120).Px(1440), 120);
  EXPECT_FLOAT_EQ(gtk::Units(96).Twips(10), 150.0F);
}

TEST_F(Backend, ControlsSitAtTheirDesignedPlacesInsideTheirContainers) {
  auto window = Open();
  ASSERT_TRUE(WaitUntil([&] { return gtk_widget_get_allocated_width(window->WidgetOf("cmdOK")) > 1; }));
  struct Case {
    const char* name;
    float left;
    float top;
    float width;
    float height;
  };
  for (const Case& c : {Case{"fraBox", 150, 150, 3000, 2000},
                        Case{"lblInside", 150 + 300, 150 + 300, 1500, 300},
                        Case{"cmdOK", 4500, 150, 1200, 345},
                        Case{"cmdApply", 4500, 1050, 1200, 345},
                        Case{"cboName", 1500, 2400, 3000, 315}}) {
    SCOPED_TRACE(c.name);
    const GdkRectangle r = Placement(*window, c.name);
    EXPECT_EQ(r.x, Units().Px(c.left));
    EXPECT_EQ(r.y, Units().Px(c.top));
    EXPECT_EQ(r.width, Units().Px(c.width));
    if (std::string(c.name) != "cboName") {  // an edit field is as high as its font needs
      EXPECT_EQ(r.height, Units().Px(c.height));
    }
  }
  // The client area and the window's fixed place on the screen.
  const ScreenRect on = x.Geometry(XidOf(window->Toplevel()));
  EXPECT_EQ(on.x, Units().Px(1500));
  EXPECT_EQ(on.y, Units().Px(1500));
  EXPECT_EQ(on.width, Units().Px(6000));
  EXPECT_EQ(on.height, Units().Px(4500));
  EXPECT_FLOAT_EQ(window->ScaleWidth(), Units().Twips(Units().Px(6000)));
  EXPECT_EQ(x.Title(XidOf(window->Toplevel())), "Test");
}

TEST_F(Backend, AnAutosizedRightAlignedLabelFitsItsTextAndKeepsItsRightEdge) {
  auto window = Open();
  Label& label = window->GetLabel("lblAuto");
  const float right = label.Left() + label.Width();
  EXPECT_FLOAT_EQ(right, 4000);
  EXPECT_LT(label.Width(), 3000);  // "Auto" is narrower than designed
  label.SetCaption("A much longer caption than before");
  const float wider = label.Width();
  EXPECT_GT(wider, 1500);
  EXPECT_NEAR(label.Left() + label.Width(), 4000, 1);
  ASSERT_TRUE(WaitUntil([&] {
    return Placement(*window, "lblAuto").width == Units().Px(wider);
  }));
  EXPECT_EQ(Placement(*window, "lblAuto").x, Units().Px(label.Left()));
}

TEST_F(Backend, TheThreeWindowsGetTheirBorderPlaceAndTaskbarEntry) {
  struct Case {
    const WindowDesign* design;
    bool decorated;
    bool resizable;
    bool inTaskbar;
  };
  for (const Case& c : {Case{&frmSplash::TheDesign(), false, false, false},
                        Case{&frmAbout::TheDesign(), true, false, false},
                        Case{&Form1::TheDesign(), true, true, true}}) {
    SCOPED_TRACE(c.design->name);
    auto window = Open(*c.design);
    GtkWindow* top = window->Toplevel();
    EXPECT_EQ(gtk_window_get_decorated(top) != FALSE, c.decorated);
    EXPECT_EQ(gtk_window_get_resizable(top) != FALSE, c.resizable);
    EXPECT_EQ(gtk_window_get_skip_taskbar_hint(top) == FALSE, c.inTaskbar);
    const ScreenRect on = x.Geometry(XidOf(top));
    EXPECT_EQ(on.width, Units().Px(c.design->clientWidth));
    EXPECT_EQ(on.height, Units().Px(c.design->clientHeight));
    if (c.design->startPosition == StartPosition::CenterScreen) {
      const ScreenRect screen = x.Screen();
      EXPECT_NEAR(on.x, (screen.width - on.width) / 2, 1);
      EXPECT_NEAR(on.y, (screen.height - on.height) / 2, 1);
    } else if (c.design->startPosition == StartPosition::Manual) {
      EXPECT_EQ(on.x, Units().Px(c.design->left));
      EXPECT_EQ(on.y, Units().Px(c.design->top));
    }
  }
}

TEST_F(Backend, ShowRaisesResizeOnceAtOnceAndFocusesTheFirstTabStop) {
  auto made = backend.MakeWindow(Design(), sink);
  auto& window = static_cast<gtk::FormWindow&>(*made);
  window.Show();
  EXPECT_EQ(sink.events, (std::vector<std::string>{"Resize"}));
  window.Show();
  EXPECT_EQ(sink.events.size(), 1U);
  EXPECT_EQ(gtk_window_get_focus(window.Toplevel()), window.WidgetOf("cmdOK"));
  ASSERT_TRUE(ShowAndFocus(x, window.Toplevel()));
  EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "Resize"), 1);
}

TEST_F(Backend, OnlyCharacterKeysRaiseKeyPressFormFirstThenTheFocusedBox) {
  auto window = Open();
  struct Case {
    const char* what;
    std::function<void()> press;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"letter on the window", [&] { x.Key("x"); }, {"KeyPress :120"}},
      {"capital", [&] { x.Key("x", {"Shift_L"}); }, {"KeyPress :88"}},
      {"Backspace", [&] { x.Key("BackSpace"); }, {"KeyPress :8"}},
      {"arrow", [&] { x.Key("Right"); }, {}},
      {"Shift alone", [&] { x.Key("Shift_L"); }, {}},
      {"function key", [&] { x.Key("F5"); }, {}},
      {"Enter presses the default button", [&] { x.Key("Return"); },
       {"KeyPress :13", "Click cmdOK"}},
      {"Esc presses the cancel button", [&] { x.Key("Escape"); },
       {"KeyPress :27", "Click cmdCancel"}},
      {"in the box: form, then box",
       [&] {
         gtk_widget_grab_focus(gtk_bin_get_child(GTK_BIN(window->WidgetOf("cboName"))));
         x.Key("q");
       },
       {"KeyPress :113", "KeyPress cboName:113"}},
      {"Enter on a focused button presses that one",
       [&] {
         gtk_widget_grab_focus(window->WidgetOf("cmdApply"));
         x.Key("Return");
       },
       {"KeyPress :13", "Click cmdApply"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sink.events.clear();
    c.press();
    Settle(x);
    EXPECT_EQ(sink.events, c.expected);
  }
}

// Every key going down reaches a window with key preview first, as the key
// code of the unmodified key and the modifiers held; a KeyDown that is
// consumed goes no further (no KeyPress, no access key, no button).
TEST_F(Backend, KeyDownComesFirstWithTheKeysCodeAndModifiers) {
  auto window = Open();
  sink.keyDowns = true;
  struct Case {
    const char* keysym;
    std::vector<std::string> held;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"x", {}, {"KeyDown 88/0", "KeyPress :120"}},
      {"x", {"Shift_L"}, {"KeyDown 88/1", "KeyPress :88"}},
      {"F5", {}, {"KeyDown 116/0"}},
      {"F6", {}, {"KeyDown 117/0"}},
      {"l", {"Control_L"}, {"KeyDown 76/2", "KeyPress :12"}},
      {"Left", {"Alt_L"}, {"KeyDown 37/4"}},
      {"Home", {"Alt_L"}, {"KeyDown 36/4"}},
      {"equal", {"Control_L", "Shift_L"}, {"KeyDown 187/3"}},
      {"minus", {"Control_L"}, {"KeyDown 189/2"}},
      {"KP_Add", {"Control_L"}, {"KeyDown 107/2"}},
      {"0", {"Control_L"}, {"KeyDown 48/2"}},
      {"Escape", {}, {"KeyDown 27/0", "KeyPress :27", "Click cmdCancel"}},
      {"a", {"Alt_L"}, {"KeyDown 65/4", "Click cmdApply"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keysym);
    sink.events.clear();
    x.Key(c.keysym, c.held);
    Settle(x);
    EXPECT_EQ(sink.events, c.expected);
  }
  sink.react = [](Event& e) {
    if (e.type == EventType::KeyDown) {
      *e.keyCode = 0;
    }
  };
  for (const char* keysym : {"Return", "Escape", "k"}) {
    sink.events.clear();
    x.Key(keysym);
    x.Key("a", {"Alt_L"});
    Settle(x);
    EXPECT_EQ(sink.events.size(), 2U) << keysym;  // the two KeyDowns only
  }
}

// The entries the combo box's own list store holds, as the drop-down shows them.
std::vector<std::string> ShownEntries(GtkWidget* combo) {
  std::vector<std::string> out;
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  GtkTreeIter iter;
  for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok != FALSE;
       ok = gtk_tree_model_iter_next(model, &iter)) {
    gchar* text = nullptr;
    gtk_tree_model_get(model, &iter, 0, &text, -1);
    out.emplace_back(text != nullptr ? text : "");
    g_free(text);
  }
  return out;
}

bool DropDownShown(GtkWidget* combo) {
  gboolean up = FALSE;
  g_object_get(combo, "popup-shown", &up, nullptr);
  return up != FALSE;
}

std::vector<std::string> Entries(const ComboBox& box) {
  std::vector<std::string> out;
  for (std::int16_t i = 0; i < box.ListCount(); ++i) {
    out.push_back(box.List(i));
  }
  return out;
}

TEST_F(Backend, TheComboBoxReportsExactlyTheEntriesItsDropDownShows) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  GtkWidget* combo = window->WidgetOf("cboName");
  // Inserts at the top, the bottom and the middle, removals at both ends and
  // inside, and text GTK cannot show as given (made valid on the way in).
  box.AddItem("one");
  box.AddItem("zero", 0);
  box.AddItem("three", -1);
  box.AddItem("two", 2);
  box.AddItem(std::string("bad\xff byte"), 1);
  box.RemoveItem(0);
  box.RemoveItem(3);
  box.AddItem("four", 3);
  box.RemoveItem(1);
  EXPECT_EQ(Entries(box), ShownEntries(combo));
  EXPECT_EQ(box.ListCount(), 3);
  EXPECT_EQ(box.List(0), ShownEntries(combo)[0]);
  EXPECT_NE(box.List(0).find("byte"), std::string::npos);
  EXPECT_TRUE(g_utf8_validate(box.List(0).c_str(), -1, nullptr));
  for (int i = 0; i < 3; ++i) {
    box.RemoveItem(static_cast<std::int16_t>(box.ListCount() - 1));
  }
  EXPECT_EQ(box.ListCount(), 0);
  EXPECT_TRUE(ShownEntries(combo).empty());
  EXPECT_THROW((void)box.List(0), Failure);
}

std::vector<std::string> FirstOf(const ComboBox& box, std::size_t n) {
  std::vector<std::string> all = Entries(box);
  all.resize(std::min(n, all.size()));
  return all;
}

// Opens the drop-down and closes it again; a drop-down too tall for an X
// window ends the program on the way. Answers the height of all of the
// drop-down's rows, as drawn (0 where it did not open).
int OpenAndCloseDropDown(XDriver& x, GtkWidget* combo) {
  gtk_combo_box_popup(GTK_COMBO_BOX(combo));
  if (!WaitUntil([&] { return DropDownShown(combo); })) {
    ADD_FAILURE() << "the drop-down did not open";
    return 0;
  }
  Settle(x);
  GtkWidget* list =
      gtk_accessible_get_widget(GTK_ACCESSIBLE(gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(combo))));
  GdkRectangle first{};
  GdkRectangle last{};
  const auto rows = static_cast<int>(ShownEntries(combo).size());
  GtkTreePath* path = gtk_tree_path_new_from_indices(0, -1);
  gtk_tree_view_get_background_area(GTK_TREE_VIEW(list), path, nullptr, &first);
  gtk_tree_path_free(path);
  path = gtk_tree_path_new_from_indices(rows - 1, -1);
  gtk_tree_view_get_background_area(GTK_TREE_VIEW(list), path, nullptr, &last);
  gtk_tree_path_free(path);
  gtk_combo_box_popdown(GTK_COMBO_BOX(combo));
  EXPECT_TRUE(WaitUntil([&] { return !DropDownShown(combo); }));
  Settle(x);
  return last.y + last.height - first.y;
}

// Runs a piece of clean-up when it goes.
class Restore {
 public:
  explicit Restore(std::function<void()> undo) : undo_(std::move(undo)) {}
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;
  ~Restore() { undo_(); }

 private:
  std::function<void()> undo_;
};

// Fills the combo box's list to the full 32,767 entries.
void Fill(ComboBox& box) {
  for (int i = 0; i < 32767; ++i) {
    box.AddItem("entry " + std::to_string(i));
  }
}

TEST_F(Backend, AFullListKeepsEveryEntryShowsTheNewestInItsDropDownAndOpensIt) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  GtkWidget* combo = window->WidgetOf("cboName");
  Fill(box);
  EXPECT_EQ(box.ListCount(), 32767);
  EXPECT_EQ(box.List(32766), "entry 32766");
  const std::size_t rows = ShownEntries(combo).size();
  EXPECT_GE(rows, 100U);
  EXPECT_LT(rows, 1000U);  // a drop-down of 1,600 rows no longer fits an X window
  EXPECT_EQ(ShownEntries(combo), FirstOf(box, rows));

  // An entry past the drop-down can still be the active one.
  box.SetListIndex(32766);
  EXPECT_EQ(box.ListIndex(), 32766);
  EXPECT_EQ(box.Text(), "entry 32766");
  EXPECT_EQ(sink.events, (std::vector<std::string>{"Click cboName"}));
  box.RemoveItem(5);
  EXPECT_EQ(box.ListIndex(), 32765);

  // The last row of the drop-down, pushed out by a new first entry and back.
  const auto last = static_cast<std::int16_t>(rows - 1);
  const std::string lastText = box.List(last);
  box.SetListIndex(last);
  box.AddItem("newest", 0);
  EXPECT_EQ(box.ListIndex(), last + 1);
  EXPECT_EQ(box.Text(), lastText);
  EXPECT_EQ(ShownEntries(combo), FirstOf(box, rows));
  box.RemoveItem(0);
  EXPECT_EQ(box.ListIndex(), last);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), last);
  EXPECT_EQ(ShownEntries(combo), FirstOf(box, rows));
  box.RemoveItem(last);  // the active entry itself
  EXPECT_EQ(box.ListIndex(), -1);
  EXPECT_EQ(ShownEntries(combo), FirstOf(box, rows));
  box.SetListIndex(20000);
  box.SetText("typed");
  EXPECT_EQ(box.ListIndex(), -1);

  // The drop-down opens on the full list, and the program goes on.
  sink.events.clear();
  EXPECT_GT(OpenAndCloseDropDown(x, combo), 0);
  EXPECT_EQ(box.ListCount(), 32765);
  EXPECT_TRUE(sink.events.empty());
}

// Larger text makes a full drop-down show fewer rows, so that it still
// opens: text made larger while the window is open (the desktop's font), and
// a style sheet of the user's with large list text in windows made after.
TEST_F(Backend, AFullDropDownStillOpensWhenTheTextGrowsLarge) {
  const gtk::GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  GtkWidget* combo = window->WidgetOf("cboName");
  Fill(box);
  const std::size_t usual = ShownEntries(combo).size();
  const auto active = static_cast<std::int16_t>(usual - 1);  // the last row of the drop-down
  box.SetListIndex(active);
  sink.events.clear();

  GtkSettings* settings = gtk_settings_get_default();
  gchar* font = nullptr;
  g_object_get(settings, "gtk-font-name", &font, nullptr);
  const std::string usualFont = font != nullptr ? font : "";
  g_free(font);
  // Whatever happens, the other tests get the usual text back.
  const Restore restore([&] {
    g_object_set(settings, "gtk-font-name", usualFont.c_str(), nullptr);
    gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                                 GTK_STYLE_PROVIDER(css.get()));
  });
  g_object_set(settings, "gtk-font-name", "Sans 72", nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ShownEntries(combo).size() < usual; }));
  const std::size_t large = ShownEntries(combo).size();
  EXPECT_EQ(ShownEntries(combo), FirstOf(box, large));
  EXPECT_EQ(box.ListIndex(), active);
  EXPECT_EQ(box.Text(), "entry " + std::to_string(active));
  const int tall = OpenAndCloseDropDown(x, combo);
  EXPECT_GT(tall, 8000);
  EXPECT_LT(tall, 17000);  // about half of the tallest X window, no more
  g_object_set(settings, "gtk-font-name", usualFont.c_str(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ShownEntries(combo).size() == usual; }));
  EXPECT_EQ(ShownEntries(combo), FirstOf(box, usual));
  EXPECT_EQ(box.ListIndex(), active);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), active);
  EXPECT_EQ(box.ListCount(), 32767);
  EXPECT_TRUE(sink.events.empty());  // none of this was the user's pick

  ASSERT_TRUE(gtk_css_provider_load_from_data(css.get(), "treeview { font-size: 96px; }", -1,
                                              nullptr));
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                            GTK_STYLE_PROVIDER(css.get()),
                                            GTK_STYLE_PROVIDER_PRIORITY_USER);
  {
    auto second = Open();
    Fill(second->GetComboBox("cboName"));
    EXPECT_LT(ShownEntries(second->WidgetOf("cboName")).size(), usual);
    const int later = OpenAndCloseDropDown(x, second->WidgetOf("cboName"));
    EXPECT_GT(later, 8000);
    EXPECT_LT(later, 17000);
  }
}

// Entries of any shape keep to one row of the drop-down's width, and the
// drop-down opens: one as long as a page of text, one of thousands of lines.
TEST_F(Backend, TheDropDownOpensOnEntriesFarLongerOrTallerThanARow) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  GtkWidget* combo = window->WidgetOf("cboName");
  std::string lines;
  for (int i = 0; i < 3000; ++i) {
    lines += "line\n";
  }
  box.AddItem(std::string(60000, 'W'));
  box.AddItem(lines);
  box.AddItem("short");
  const int tall = OpenAndCloseDropDown(x, combo);
  EXPECT_GT(tall, 0);
  EXPECT_LT(tall, 300);  // three rows of one line each
  EXPECT_EQ(box.List(1), lines);
}

TEST_F(Backend, APickFromTheDropDownWithTheKeyboardShowsTheEntryAndRaisesClick) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  for (int i = 0; i < 200; ++i) {
    box.AddItem("entry " + std::to_string(i));
  }
  GtkWidget* combo = window->WidgetOf("cboName");
  gtk_combo_box_popup(GTK_COMBO_BOX(combo));
  auto shown = [&] { return DropDownShown(combo); };
  ASSERT_TRUE(WaitUntil(shown));
  Settle(x);
  x.Key("Down");
  x.Key("Down");
  x.Key("Return");
  ASSERT_TRUE(WaitUntil([&] { return !shown() && box.ListIndex() >= 0; }));
  Settle(x);
  const std::int16_t picked = box.ListIndex();
  EXPECT_EQ(box.Text(), box.List(picked));
  EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "Click cboName"), 1);
}

TEST_F(Backend, TheComboBoxKeepsItsListAndRaisesClickOnlyForPicks) {
  auto window = Open();
  ComboBox& box = window->GetComboBox("cboName");
  box.AddItem("b");
  box.AddItem("a", 0);
  box.AddItem("c", -1);
  box.SetText("typed");
  EXPECT_EQ(box.ListCount(), 3);
  EXPECT_EQ(box.List(0), "a");
  EXPECT_EQ(box.List(1), "b");
  EXPECT_EQ(box.List(2), "c");
  EXPECT_EQ(box.Text(), "typed");
  EXPECT_TRUE(sink.events.empty());  // the program's own changes raise nothing

  box.SetListIndex(1);  // raises Click before it returns
  EXPECT_EQ(sink.events, (std::vector<std::string>{"Click cboName"}));
  EXPECT_EQ(box.Text(), "b");
  EXPECT_EQ(box.ListIndex(), 1);

  box.RemoveItem(0);
  EXPECT_EQ(box.ListCount(), 2);
  EXPECT_EQ(box.List(0), "b");
  EXPECT_THROW((void)box.List(2), Failure);
  EXPECT_THROW(box.RemoveItem(5), Failure);
  EXPECT_THROW(box.AddItem("x", 9), Failure);
  EXPECT_THROW(box.SetListIndex(7), Failure);

  // A pick from the drop-down list, as the list does it.
  sink.events.clear();
  gtk_combo_box_set_active(GTK_COMBO_BOX(window->WidgetOf("cboName")), 1);
  EXPECT_EQ(sink.events, (std::vector<std::string>{"Click cboName"}));
  EXPECT_EQ(box.Text(), "c");

  // Typing raises no Click.
  sink.events.clear();
  gtk_widget_grab_focus(gtk_bin_get_child(GTK_BIN(window->WidgetOf("cboName"))));
  x.Type("zz");
  Settle(x);
  EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "Click cboName"), 0);
  EXPECT_EQ(box.Text().substr(box.Text().size() - 2), "zz");
}

TEST_F(Backend, MovingRefusesNegativeSizesAndShowsTheNewPlace) {
  auto window = Open();
  Control& ok = window->GetControl("cmdOK");
  EXPECT_THROW(ok.Move(0, 0, -1, 300), Failure);
  EXPECT_THROW(ok.SetHeight(-15), Failure);
  EXPECT_FLOAT_EQ(ok.Width(), 1200);
  ok.Move(300, 3000, 1500, 450);
  EXPECT_FLOAT_EQ(ok.Left(), 300);
  ASSERT_TRUE(WaitUntil([&] { return Placement(*window, "cmdOK").x == Units().Px(300); }));
  EXPECT_EQ(Placement(*window, "cmdOK").y, Units().Px(3000));
  EXPECT_EQ(Placement(*window, "cmdOK").width, Units().Px(1500));
  ok.Move(300, 3000, 0, 0);  // nothing left to draw
  EXPECT_FALSE(gtk_widget_get_visible(window->WidgetOf("cmdOK")));
  ok.Move(300, 3000, 1500, 450);
  EXPECT_TRUE(gtk_widget_get_visible(window->WidgetOf("cmdOK")));
}

TEST_F(Backend, TheCloseBoxRaisesCloseAndLeavesTheDecisionToTheProgram) {
  auto window = Open();
  x.Close(XidOf(window->Toplevel()));
  ASSERT_TRUE(WaitUntil([&] { return sink.Saw("Close"); }));
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window->Toplevel())));
  window->Hide();
  EXPECT_FALSE(window->Visible());
}

TEST_F(Backend, ControlsOfTheWrongKindOrNameAreRefused) {
  auto window = Open();
  EXPECT_THROW((void)window->GetLabel("cmdOK"), Failure);
  EXPECT_THROW((void)window->GetComboBox("lblName"), Failure);
  EXPECT_THROW((void)window->GetWebBrowser("cboName"), Failure);
  EXPECT_THROW((void)window->GetControl("nothing"), Failure);
  EXPECT_NO_THROW((void)window->GetControl("imgMissing"));
}

TEST_F(Backend, TheBrowserToolbarHasSevenSmallButtonsWithTheirKeysAsTips) {
  auto window = Open(Form1::TheDesign());
  GtkWidget* bar = window->WidgetOf("tbToolBar");
  GList* children = gtk_container_get_children(GTK_CONTAINER(bar));
  std::vector<GtkWidget*> buttons;
  for (GList* i = children; i != nullptr; i = i->next) {
    buttons.push_back(GTK_WIDGET(i->data));
  }
  g_list_free(children);
  const std::vector<std::string> keys = {"Back", "Forward", "Stop", "Refresh",
                                         "Home", "Search", "About"};
  ASSERT_EQ(buttons.size(), keys.size());
  ASSERT_TRUE(WaitUntil([&] { return gtk_widget_get_allocated_width(buttons[6]) > 1; }));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(keys[i]);
    gchar* tip = gtk_widget_get_tooltip_text(buttons[i]);
    EXPECT_STREQ(tip, keys[i].c_str());
    g_free(tip);
    EXPECT_EQ(gtk_widget_get_allocated_width(buttons[i]), 31);
    EXPECT_EQ(gtk_widget_get_allocated_height(buttons[i]), 30);
    sink.events.clear();
    const auto [sx, sy] = ScreenPoint(buttons[i], 15, 15);
    x.Click(sx, sy);
    Settle(x);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"ButtonClick tbToolBar:" + keys[i]}));
  }
}

TEST_F(Backend, ToolbarPicturesDrawTheMaskColourTransparentAndPictureBoxesFitTheirPicture) {
  auto browser = Open(Form1::TheDesign());
  GList* children = gtk_container_get_children(GTK_CONTAINER(browser->WidgetOf("tbToolBar")));
  ASSERT_NE(children, nullptr);
  GtkWidget* back = GTK_WIDGET(children->data);
  g_list_free(children);
  GtkWidget* image = gtk_button_get_image(GTK_BUTTON(back));
  ASSERT_NE(image, nullptr);
  GdkPixbuf* picture = gtk_image_get_pixbuf(GTK_IMAGE(image));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(picture), 24);
  EXPECT_EQ(gdk_pixbuf_get_height(picture), 24);
  ASSERT_TRUE(gdk_pixbuf_get_has_alpha(picture));
  // The Back picture's corner is light grey, the mask colour: not drawn.
  const guchar* corner = gdk_pixbuf_get_pixels(picture);
  EXPECT_EQ(corner[3], 0);
  // Its centre is the arrow: drawn.
  const guchar* centre = corner + 12 * gdk_pixbuf_get_rowstride(picture) + 12 * 4;
  EXPECT_EQ(centre[3], 255);

  auto about = Open(frmAbout::TheDesign());
  const std::string logo = gtk::PicturePath("logo");
  ASSERT_FALSE(logo.empty());
  int width = 0;
  int height = 0;
  ASSERT_NE(gdk_pixbuf_get_file_info(logo.c_str(), &width, &height), nullptr);
  Control& icon = about->GetControl("picIcon");
  EXPECT_FLOAT_EQ(icon.Width(), Units().Twips(width));
  EXPECT_FLOAT_EQ(icon.Height(), Units().Twips(height));
}

TEST_F(Backend, ResizingLaysOutDockedControlsAndRaisesResize) {
  auto window = Open(Form1::TheDesign());
  const int width = Units().Px(9000);
  gtk_window_resize(window->Toplevel(), width, Units().Px(6000));
  ASSERT_TRUE(WaitUntil([&] { return sink.Saw("Resize"); }));
  EXPECT_NEAR(window->ScaleWidth(), 9000, Units().TwipsPerPixel());
  EXPECT_NEAR(window->ScaleHeight(), 6000, Units().TwipsPerPixel());
  EXPECT_FLOAT_EQ(window->GetToolbar("tbToolBar").Width(), window->ScaleWidth());
  EXPECT_FLOAT_EQ(window->GetControl("picAddress").Width(), window->ScaleWidth());
  // Very small: the window survives and reports its size.
  sink.events.clear();
  gtk_window_resize(window->Toplevel(), 1, 1);
  ASSERT_TRUE(WaitUntil([&] { return sink.Saw("Resize"); }));
  EXPECT_LT(window->ScaleWidth(), 100);
}

TEST_F(Backend, TheMessageBoxShowsItsTextAndClosesOnEnter) {
  auto window = Open();
  std::string title;
  std::string shownText;
  bool pressed = false;
  // Runs inside the box's own loop: find it, read it, press Enter on it.
  struct Probe {
    XDriver* x;
    std::string* title;
    std::string* text;
    bool* pressed;
    int tries;
  } probe{&x, &title, &shownText, &pressed, 0};
  g_timeout_add(20, [](gpointer data) -> gboolean {
    auto* p = static_cast<Probe*>(data);
    GList* windows = gtk_window_list_toplevels();
    GtkWindow* box = nullptr;
    for (GList* i = windows; i != nullptr; i = i->next) {
      if (GTK_IS_MESSAGE_DIALOG(i->data) && gtk_widget_get_mapped(GTK_WIDGET(i->data))) {
        box = GTK_WINDOW(i->data);
      }
    }
    g_list_free(windows);
    if (box == nullptr) {
      return G_SOURCE_CONTINUE;
    }
    if (gtk_window_is_active(box) == FALSE) {
      // Never left hanging: after a few seconds the box is answered directly.
      if (++p->tries > 250) {
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        return G_SOURCE_REMOVE;
      }
      return G_SOURCE_CONTINUE;
    }
    *p->title = gtk_window_get_title(box);
    gchar* text = nullptr;
    g_object_get(box, "text", &text, nullptr);
    *p->text = text != nullptr ? text : "";
    g_free(text);
    EXPECT_TRUE(gtk_window_get_modal(box));
    p->x->Key("Return");
    *p->pressed = true;
    return G_SOURCE_REMOVE;
  }, &probe);
  gtk::ShowMessageBox("Corvane Ombrel", "System Information Is Unavailable At This Time");
  EXPECT_TRUE(pressed);
  EXPECT_EQ(title, "Corvane Ombrel");
  EXPECT_EQ(shownText, "System Information Is Unavailable At This Time");
}

}  // namespace
}  // namespace corvane::testing
