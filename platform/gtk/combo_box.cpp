// The address box's kind of control: a GTK combo box with an entry.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gtk/controls.h"
#include "platform/gtk/guarded.h"
#include "platform/kit/list_entries.h"

namespace corvane::gtk {

namespace {

// ---- combo box -------------------------------------------------------------

// An edit field with a drop-down list. A pick from the list raises Click, as
// does a list index set by the program; typing raises nothing.
//
// The list holds up to 32,767 entries; the drop-down shows the first few
// hundred of them. (GTK sizes the drop-down's inner window to all of its
// rows, and an X window taller than 32,767 pixels makes the program fail as
// soon as the list opens: about 1,600 rows at 96 dots per inch, far fewer
// with large text.) The entries are kept here, in order; the drop-down's
// list store holds the first of them.
class ComboControl final : public Placed<ComboBox> {
 public:
  ComboControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* combo = gtk_combo_box_text_new_with_entry();
    gtk_style_context_add_class(gtk_widget_get_style_context(combo), "corvane-combo");
    gtk_entry_set_width_chars(GTK_ENTRY(Entry(combo)), 1);
    // Every row is one line, whatever an entry holds.
    ForEachCell(combo, [](GtkCellRenderer* cell) {
      if (GTK_IS_CELL_RENDERER_TEXT(cell)) {
        g_object_set(cell, "single-paragraph-mode", TRUE, nullptr);
      }
    });
    window.Connect(combo, "changed", G_CALLBACK(&ComboControl::OnChanged), this);
    window.Connect(Entry(combo), "changed", G_CALLBACK(&ComboControl::OnTyped), this);
    // Rows change height with the theme and the fonts.
    window.Connect(combo, "style-updated", G_CALLBACK(&ComboControl::OnStyleUpdated), this);
    Attach(combo);
    dropDownRows_ = FittingRows();
  }

  [[nodiscard]] GtkWidget* FocusWidget() const override { return Entry(Widget()); }

  [[nodiscard]] std::string Text() const override {
    const gchar* text = gtk_entry_get_text(GTK_ENTRY(Entry(Widget())));
    return text != nullptr ? text : "";
  }
  // Text set leaves no entry selected.
  void SetText(const std::string& text) override {
    const Quiet quiet(*this);
    Activate(-1);
    gtk_entry_set_text(GTK_ENTRY(Entry(Widget())), ValidText(text).c_str());
  }
  [[nodiscard]] std::int16_t ListCount() const override { return items_.Count(); }
  [[nodiscard]] const std::string& List(std::int16_t index) const override {
    return items_.At(index);
  }
  void AddItem(const std::string& text, std::int16_t index = -1) override {
    items_.CheckInsert(index);
    const std::size_t at = index < 0 ? items_.Size() : static_cast<std::size_t>(index);
    const int active = ListIndex();
    items_.Insert(at, ValidText(text));
    const Quiet quiet(*this);
    if (at < dropDownRows_) {
      gtk_combo_box_text_insert(GTK_COMBO_BOX_TEXT(Widget()), static_cast<gint>(at), nullptr,
                                items_[at].c_str());
      if (items_.Size() > dropDownRows_) {  // the last row moves out of the drop-down
        gtk_combo_box_text_remove(GTK_COMBO_BOX_TEXT(Widget()), static_cast<gint>(dropDownRows_));
      }
    }
    Activate(active >= 0 && at <= static_cast<std::size_t>(active) ? active + 1 : active);
  }
  void RemoveItem(std::int16_t index) override {
    items_.CheckIndex(index);
    const auto at = static_cast<std::size_t>(index);
    const int active = ListIndex();
    items_.Erase(index);
    const Quiet quiet(*this);
    if (at < dropDownRows_) {
      gtk_combo_box_text_remove(GTK_COMBO_BOX_TEXT(Widget()), index);
      if (items_.Size() >= dropDownRows_) {  // the next entry moves into the drop-down
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(Widget()),
                                       items_[dropDownRows_ - 1].c_str());
      }
    }
    Activate(active == index ? -1 : active > index ? active - 1 : active);
  }
  [[nodiscard]] std::int16_t ListIndex() const override {
    const gint shown = gtk_combo_box_get_active(GTK_COMBO_BOX(Widget()));
    return static_cast<std::int16_t>(shown >= 0 ? shown : beyond_);
  }
  void SetListIndex(std::int16_t index) override {
    if (index < -1 || index >= ListCount()) {
      throw Failure("invalid list index");
    }
    {
      const Quiet quiet(*this);
      Activate(index);  // shows a drop-down entry as the text
      if (beyond_ >= 0) {
        // Past the drop-down the text is set here; that leaves no row active.
        gtk_entry_set_text(GTK_ENTRY(Entry(Widget())),
                           items_[static_cast<std::size_t>(index)].c_str());
        beyond_ = index;
      }
    }
    RaiseClick();
  }
  void SetFocus() override { gtk_widget_grab_focus(Entry(Widget())); }
  void SelectAll() override { gtk_editable_select_region(GTK_EDITABLE(Entry(Widget())), 0, -1); }

 private:
  // Keeps the program's own list changes from raising Click.
  class Quiet {
   public:
    explicit Quiet(ComboControl& combo) : combo_(combo), was_(combo.quiet_) { combo_.quiet_ = true; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;
    ~Quiet() { combo_.quiet_ = was_; }

   private:
    ComboControl& combo_;
    bool was_;
  };

  static GtkWidget* Entry(GtkWidget* combo) { return gtk_bin_get_child(GTK_BIN(combo)); }

  template <class F>
  static void ForEachCell(GtkWidget* combo, F&& f) {
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
    for (GList* c = cells; c != nullptr; c = c->next) {
      f(GTK_CELL_RENDERER(c->data));
    }
    g_list_free(cells);
  }

  // The drop-down's list, made by GTK once the combo box has its style;
  // nullptr before.
  [[nodiscard]] GtkWidget* DropDownList() const {
    AtkObject* popup = gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(Widget()));
    if (popup == nullptr || !GTK_IS_ACCESSIBLE(popup)) {
      return nullptr;
    }
    GtkWidget* list = gtk_accessible_get_widget(GTK_ACCESSIBLE(popup));
    return list != nullptr && GTK_IS_TREE_VIEW(list) ? list : nullptr;
  }

  // The height of one drop-down row in device pixels. Once GTK has made the
  // drop-down's list, the text's height is taken from the list's style, read
  // afresh: while hidden, the list takes a new font only as it opens.
  [[nodiscard]] int RowHeight() const {
    GtkWidget* combo = Widget();
    GtkWidget* list = DropDownList();
    int height = 0;
    if (list == nullptr) {
      ForEachCell(combo, [&](GtkCellRenderer* cell) {
        int minimum = 0;
        int natural = 0;
        gtk_cell_renderer_get_preferred_height(cell, combo, &minimum, &natural);
        height = std::max({height, minimum, natural});
      });
    } else {
      GtkStyleContext* style = gtk_widget_get_style_context(list);
      PangoFontDescription* font = nullptr;
      gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
      const FontPtr owned(font);
      const GObjectPtr<PangoLayout> layout(gtk_widget_create_pango_layout(combo, "Xg"));
      pango_layout_set_font_description(layout.get(), owned.get());
      int width = 0;
      pango_layout_get_pixel_size(layout.get(), &width, &height);
      int padding = 0;
      ForEachCell(combo, [&](GtkCellRenderer* cell) {
        int xpad = 0;
        int ypad = 0;
        gtk_cell_renderer_get_padding(cell, &xpad, &ypad);
        padding = std::max(padding, 2 * ypad);
      });
      gint separator = 0;
      gtk_widget_style_get(list, "vertical-separator", &separator, nullptr);
      height += padding + std::max(separator, 0);
    }
    return height * std::max(1, gtk_widget_get_scale_factor(combo));
  }

  // As many rows as fill half of the tallest X window, at most 500 (plenty
  // to pick from by eye) and at least 20.
  [[nodiscard]] std::size_t FittingRows() const {
    constexpr int kHalfTallest = 16384;
    const int row = std::max(RowHeight(), 1);
    return std::clamp<std::size_t>(static_cast<std::size_t>(kHalfTallest / row), 20, 500);
  }

  // Shows the first `rows` entries in the drop-down; the active entry stays
  // the active one.
  void SetDropDownRows(std::size_t rows) {
    if (rows == dropDownRows_) {
      return;
    }
    const int active = ListIndex();
    const Quiet quiet(*this);
    GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(Widget());
    const std::size_t before = std::min(dropDownRows_, items_.Size());
    const std::size_t after = std::min(rows, items_.Size());
    for (std::size_t i = before; i > after; --i) {
      gtk_combo_box_text_remove(combo, static_cast<gint>(i - 1));
    }
    for (std::size_t i = before; i < after; ++i) {
      gtk_combo_box_text_append_text(combo, items_[i].c_str());
    }
    dropDownRows_ = rows;
    Activate(active);
  }

  // The combo box, and its drop-down's list once made, take a new style.
  static void OnStyleUpdated(GtkWidget* /*widget*/, gpointer self) {
    Guarded([&] {
      auto* control = static_cast<ComboControl*>(self);
      if (GtkWidget* list = control->DropDownList(); list != nullptr && list != control->list_) {
        control->list_ = list;
        control->window_.Connect(list, "style-updated",
                                 G_CALLBACK(&ComboControl::OnStyleUpdated), control);
      }
      control->SetDropDownRows(control->FittingRows());
    });
  }

  // Makes entry `index` of the list the active one (-1: none), in the
  // drop-down when it shows there.
  void Activate(int index) {
    const bool shown = index >= 0 && static_cast<std::size_t>(index) < dropDownRows_;
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(Widget())) != (shown ? index : -1)) {
      gtk_combo_box_set_active(GTK_COMBO_BOX(Widget()), shown ? index : -1);
    }
    beyond_ = shown ? -1 : index;
  }

  void RaiseClick() {
    Event click{.type = EventType::Click, .control = Design().name};
    window_.Raise(click);
  }

  static void OnChanged(GtkComboBox* combo, gpointer self) {
    Guarded([&] {
      auto* control = static_cast<ComboControl*>(self);
      // Typing clears the active entry (index -1): no Click for that.
      if (!control->quiet_ && gtk_combo_box_get_active(combo) >= 0) {
        control->beyond_ = -1;
        control->RaiseClick();
      }
    });
  }

  // Any change of the text leaves no entry active, as in the drop-down.
  static void OnTyped(GtkEditable* /*entry*/, gpointer self) {
    static_cast<ComboControl*>(self)->beyond_ = -1;
  }

  std::size_t dropDownRows_ = 0;  // rows the drop-down shows at most
  GtkWidget* list_ = nullptr;  // the drop-down's list, once its style is followed
  bool quiet_ = false;
  ListEntries items_;  // all entries, in order
  int beyond_ = -1;  // the active entry when it lies past the drop-down's rows
};

}  // namespace

std::unique_ptr<Control> MakeComboBox(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<ComboControl>(window, design);
}

}  // namespace corvane::gtk
