#include "platform/gtk/gtk_controls.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/gtk/pictures.h"
#include "platform/list_entries.h"

namespace corvane::gtk {

std::string ValidText(const std::string& text) { return ValidUtf8(text); }

namespace {

template <class F>
void Guarded(F&& body) noexcept {
  try {
    body();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may unwind into GTK
  }
}

struct FontDeleter {
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};
using FontPtr = std::unique_ptr<PangoFontDescription, FontDeleter>;

struct AttrListDeleter {
  void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};
using AttrListPtr = std::unique_ptr<PangoAttrList, AttrListDeleter>;

guint16 Channel(std::uint8_t value) { return static_cast<guint16>(value * 257); }

// ---- label -----------------------------------------------------------------

class LabelControl final : public Placed<Label> {
 public:
  LabelControl(FormWindow& window, const ControlDesign& design)
      : Placed(window, design), caption_(ValidText(design.caption)) {
    GtkWidget* label = gtk_label_new(nullptr);
    const float xalign = design.alignment == Alignment::Right    ? 1.0F
                         : design.alignment == Alignment::Center ? 0.5F
                                                                 : 0.0F;
    gtk_label_set_xalign(GTK_LABEL(label), xalign);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0F);
    gtk_label_set_justify(GTK_LABEL(label), design.alignment == Alignment::Right ? GTK_JUSTIFY_RIGHT
                                            : design.alignment == Alignment::Center
                                                ? GTK_JUSTIFY_CENTER
                                                : GTK_JUSTIFY_LEFT);
    if (design.wordWrap) {
      gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
      gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD);
    }
    const AttrListPtr attributes(pango_attr_list_new());
    pango_attr_list_insert(attributes.get(),
                           pango_attr_font_desc_new(FontPtr(NewFontDescription(design)).get()));
    if (design.foreColor) {
      const Color c = *design.foreColor;
      pango_attr_list_insert(attributes.get(), pango_attr_foreground_new(
                                                   Channel(c.red), Channel(c.green), Channel(c.blue)));
    }
    gtk_label_set_attributes(GTK_LABEL(label), attributes.get());
    gtk_label_set_text(GTK_LABEL(label), StripAccessKey(caption_).c_str());
    rightEdge_ = design.left + design.width;
    Attach(label);
  }

  [[nodiscard]] std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override {
    caption_ = ValidText(text);
    gtk_label_set_text(GTK_LABEL(Widget()), StripAccessKey(caption_).c_str());
    if (Design().autoSize) {
      Place();
    }
  }

 protected:
  void Place() override {
    if (!Design().autoSize) {
      Placed::Place();
      return;
    }
    // Sized to the text; a right-aligned label keeps its right edge.
    GtkWidget* label = Widget();
    const Units& units = window_.TheUnits();
    int minimum = 0;
    int natural = 0;
    gtk_widget_set_size_request(label, -1, -1);
    gtk_widget_show(label);  // a hidden widget measures 0 x 0
    gtk_widget_get_preferred_width(label, &minimum, &natural);
    int minHeight = 0;
    int natHeight = 0;
    gtk_widget_get_preferred_height_for_width(label, natural, &minHeight, &natHeight);
    const float width = units.Twips(natural);
    const float height = units.Twips(natHeight);
    float left = Left();
    if (Design().alignment == Alignment::Right) {
      left = rightEdge_ - width;
    }
    SetGeometry(left, Top(), width, height);
    PlaceAt(left, Top(), width, height);
  }

 public:
  void Move(float left, float top, float width, float height) override {
    CheckPlace(left, top, width, height);
    rightEdge_ = left + width;
    Placed::Move(left, top, width, height);
  }

 private:
  std::string caption_;
  float rightEdge_ = 0;
};

// ---- frame and picture box: containers of other controls -------------------

class ContainerControl final : public Placed<Control> {
 public:
  ContainerControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
    const bool framed = design.kind == ControlKind::Frame || design.border;
    if (design.kind == ControlKind::PictureBox) {
      picture_ = LoadPicture(design.picture);
    }
    if (framed) {
      const std::string caption = StripAccessKey(design.caption);
      border_ = gtk_frame_new(caption.empty() ? nullptr : caption.c_str());
      gtk_layout_put(GTK_LAYOUT(layout), border_, 0, 0);
    }
    if (picture_) {
      canvas_ = gtk_drawing_area_new();
      gtk_layout_put(GTK_LAYOUT(layout), canvas_, 0, 0);
      window.Connect(canvas_, "draw", G_CALLBACK(&ContainerControl::OnDraw), this);
      if (design.autoSize) {
        const Units& units = window.TheUnits();
        SetGeometry(design.left, design.top, units.Twips(gdk_pixbuf_get_width(picture_.get())),
                    units.Twips(gdk_pixbuf_get_height(picture_.get())));
      }
    }
    window.AddContainer(design.name, layout);
    Attach(layout);
  }

 protected:
  void Place() override {
    Placed::Place();
    const Units& units = window_.TheUnits();
    const int w = std::max(units.Px(Width()), 1);
    const int h = std::max(units.Px(Height()), 1);
    if (border_ != nullptr) {
      gtk_widget_set_size_request(border_, w, h);
    }
    if (canvas_ != nullptr) {
      gtk_widget_set_size_request(canvas_, w, h);
    }
  }

 private:
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self) {
    Guarded([&] {
      const auto* control = static_cast<ContainerControl*>(self);
      // A picture box shows its picture at its own size, from the corner.
      gdk_cairo_set_source_pixbuf(cr, control->picture_.get(), 0, 0);
      cairo_paint(cr);
      (void)widget;
    });
    return FALSE;
  }

  GObjectPtr<GdkPixbuf> picture_;
  GtkWidget* border_ = nullptr;
  GtkWidget* canvas_ = nullptr;
};

// ---- line ------------------------------------------------------------------

// A line's left/top is its first end and its width/height its second end.
class LineControl final : public Placed<Control> {
 public:
  LineControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* area = gtk_drawing_area_new();
    window.Connect(area, "draw", G_CALLBACK(&LineControl::OnDraw), this);
    Attach(area);
  }

 protected:
  void Place() override {
    const Units& units = window_.TheUnits();
    const int pad = Design().borderWidth / 2 + 1;
    const int x1 = units.Px(Left());
    const int y1 = units.Px(Top());
    const int x2 = units.Px(Width());
    const int y2 = units.Px(Height());
    originX_ = std::min(x1, x2) - pad;
    originY_ = std::min(y1, y2) - pad;
    const int w = std::abs(x2 - x1) + 2 * pad;
    const int h = std::abs(y2 - y1) + 2 * pad;
    gtk_layout_move(GTK_LAYOUT(window_.ContainerFor(Design())), Widget(), originX_, originY_);
    gtk_widget_set_size_request(Widget(), w, h);
    gtk_widget_queue_draw(Widget());
  }

 private:
  static gboolean OnDraw(GtkWidget* /*widget*/, cairo_t* cr, gpointer self) {
    Guarded([&] {
      const auto* line = static_cast<LineControl*>(self);
      const Units& units = line->window_.TheUnits();
      const Color color = line->Design().borderColor.value_or(Color{0, 0, 0});
      cairo_set_source_rgb(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0);
      const double width = std::max(line->Design().borderWidth, 1);
      cairo_set_line_width(cr, width);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
      // Pixel centres: an odd width is drawn on the half pixel.
      const double offset = static_cast<int>(width) % 2 == 1 ? 0.5 : 0.0;
      cairo_move_to(cr, units.Px(line->Left()) - line->originX_ + offset,
                    units.Px(line->Top()) - line->originY_ + offset);
      cairo_line_to(cr, units.Px(line->Width()) - line->originX_ + offset,
                    units.Px(line->Height()) - line->originY_ + offset);
      cairo_stroke(cr);
    });
    return FALSE;
  }

  int originX_ = 0;
  int originY_ = 0;
};

// ---- image -----------------------------------------------------------------

// Shows its picture stretched to the control's rectangle.
class ImageControl final : public Placed<Control> {
 public:
  ImageControl(FormWindow& window, const ControlDesign& design)
      : Placed(window, design), picture_(LoadPicture(design.picture)) {
    GtkWidget* area = gtk_drawing_area_new();
    window.Connect(area, "draw", G_CALLBACK(&ImageControl::OnDraw), this);
    Attach(area);
  }

 private:
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self) {
    Guarded([&] {
      const auto* image = static_cast<ImageControl*>(self);
      if (!image->picture_) {
        return;
      }
      const int w = gtk_widget_get_allocated_width(widget);
      const int h = gtk_widget_get_allocated_height(widget);
      const int pw = gdk_pixbuf_get_width(image->picture_.get());
      const int ph = gdk_pixbuf_get_height(image->picture_.get());
      if (pw <= 0 || ph <= 0) {
        return;
      }
      cairo_scale(cr, static_cast<double>(w) / pw, static_cast<double>(h) / ph);
      gdk_cairo_set_source_pixbuf(cr, image->picture_.get(), 0, 0);
      cairo_paint(cr);
    });
    return FALSE;
  }

  GObjectPtr<GdkPixbuf> picture_;
};

// ---- command button --------------------------------------------------------

class ButtonControl final : public Placed<CommandButton> {
 public:
  ButtonControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* button = gtk_button_new_with_label(StripAccessKey(design.caption).c_str());
    gtk_style_context_add_class(gtk_widget_get_style_context(button), "corvane-command");
    gtk_widget_set_can_focus(button, design.tabStop ? TRUE : FALSE);
    window.Connect(button, "clicked", G_CALLBACK(&ButtonControl::OnClicked), this);
    Attach(button);
  }
  [[nodiscard]] std::string Caption() const override { return Design().caption; }

 private:
  static void OnClicked(GtkButton* /*button*/, gpointer self) {
    Guarded([&] {
      auto* control = static_cast<ButtonControl*>(self);
      Event click{.type = EventType::Click, .control = control->Design().name,
                  .index = control->Design().index};
      control->window_.Raise(click);
    });
  }
};

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

// ---- timer -----------------------------------------------------------------

class TimerControl final : public Timer {
 public:
  TimerControl(FormWindow& window, const ControlDesign& design)
      : window_(window), name_(design.name), interval_(design.interval) {
    SetEnabled(design.enabled);
  }
  ~TimerControl() override { Stop(); }
  TimerControl(const TimerControl&) = delete;
  TimerControl& operator=(const TimerControl&) = delete;

  // Enabled as set, also with no interval (such a timer never ticks).
  [[nodiscard]] bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled && source_ == 0 && interval_ > 0) {
      source_ = g_timeout_add(static_cast<guint>(interval_), &TimerControl::OnTick, this);
    } else if (!enabled) {
      Stop();
    }
  }
  [[nodiscard]] int Interval() const override { return interval_; }

 private:
  void Stop() {
    if (source_ != 0) {
      g_source_remove(std::exchange(source_, 0U));
    }
  }
  static gboolean OnTick(gpointer self) {
    auto* timer = static_cast<TimerControl*>(self);
    const guint mine = timer->source_;
    Guarded([&] {
      Event tick{.type = EventType::Timer, .control = timer->name_};
      timer->window_.Raise(tick);
    });
    // The handler may have switched the timer off (its source is then gone)
    // or off and on again (a new source runs instead).
    return timer->source_ == mine ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }

  FormWindow& window_;
  std::string name_;
  int interval_;
  bool enabled_ = false;
  guint source_ = 0;
};

// ---- toolbar ---------------------------------------------------------------

class KeyedButton final : public ToolbarButton {
 public:
  explicit KeyedButton(std::string key) : key_(std::move(key)) {}
  [[nodiscard]] std::string Key() const override { return key_; }

 private:
  std::string key_;
};

// A row of picture buttons; each shows its image-list picture (the mask
// colour drawn transparent) and its key as tool tip.
class ToolbarControl final : public Placed<Toolbar> {
 public:
  ToolbarControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_style_context_add_class(gtk_widget_get_style_context(bar), "corvane-toolbar");
    const std::vector<GObjectPtr<GdkPixbuf>> images = Images(window.Design(), design);
    buttons_.reserve(design.buttons.size());
    for (const ToolbarButtonDesign& b : design.buttons) {
      auto entry = std::make_unique<Entry>(Entry{this, b.key, nullptr});
      GtkWidget* button = gtk_button_new();
      entry->button = button;
      gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
      gtk_widget_set_focus_on_click(button, FALSE);
      gtk_style_context_add_class(gtk_widget_get_style_context(button), "corvane-tool");
      gtk_widget_set_size_request(button, design.buttonWidth, design.buttonHeight);
      gtk_widget_set_valign(button, GTK_ALIGN_START);
      gtk_widget_set_tooltip_text(button, (b.toolTip.empty() ? b.key : b.toolTip).c_str());
      const auto position = static_cast<std::size_t>(b.image - 1);
      if (b.image >= 1 && position < images.size() && images[position]) {
        gtk_button_set_image(GTK_BUTTON(button),
                             gtk_image_new_from_pixbuf(images[position].get()));
        gtk_button_set_always_show_image(GTK_BUTTON(button), TRUE);
      }
      gtk_box_pack_start(GTK_BOX(bar), button, FALSE, FALSE, 0);
      window.Connect(button, "clicked", G_CALLBACK(&ToolbarControl::OnClicked), entry.get());
      buttons_.push_back(std::move(entry));
    }
    Attach(bar);
  }

  [[nodiscard]] GtkWidget* FocusWidget() const override {
    return buttons_.empty() ? Widget() : buttons_.front()->button;
  }
  void Refresh() override { gtk_widget_queue_draw(Widget()); }

 private:
  struct Entry {
    ToolbarControl* toolbar;
    std::string key;
    GtkWidget* button;
  };

  // The image list's pictures at its size, the mask colour transparent.
  static std::vector<GObjectPtr<GdkPixbuf>> Images(const WindowDesign& window,
                                                   const ControlDesign& toolbar) {
    std::vector<GObjectPtr<GdkPixbuf>> images;
    const ControlDesign* list = window.Find(toolbar.imageList);
    if (list == nullptr || list->kind != ControlKind::ImageList) {
      return images;
    }
    for (const ImageDesign& image : list->images) {
      GObjectPtr<GdkPixbuf> picture = LoadPicture(image.resource);
      if (picture && list->maskColor) {
        const Color m = *list->maskColor;
        picture = GObjectPtr<GdkPixbuf>(
            gdk_pixbuf_add_alpha(picture.get(), TRUE, m.red, m.green, m.blue));
      }
      if (picture && list->imageWidth > 0 && list->imageHeight > 0 &&
          (gdk_pixbuf_get_width(picture.get()) != list->imageWidth ||
           gdk_pixbuf_get_height(picture.get()) != list->imageHeight)) {
        picture = GObjectPtr<GdkPixbuf>(gdk_pixbuf_scale_simple(
            picture.get(), list->imageWidth, list->imageHeight, GDK_INTERP_BILINEAR));
      }
      images.push_back(std::move(picture));
    }
    return images;
  }

  static void OnClicked(GtkButton* /*button*/, gpointer data) {
    Guarded([&] {
      const auto* entry = static_cast<Entry*>(data);
      const KeyedButton button(entry->key);
      Event click{.type = EventType::ButtonClick, .control = entry->toolbar->Design().name,
                  .button = &button};
      entry->toolbar->window_.Raise(click);
    });
  }

  std::vector<std::unique_ptr<Entry>> buttons_;
};

}  // namespace

GObjectPtr<GdkPixbuf> LoadPicture(const std::string& name) {
  const std::string path = PicturePath(name);
  if (path.empty()) {
    return {};
  }
  GError* error = nullptr;
  GObjectPtr<GdkPixbuf> picture(gdk_pixbuf_new_from_file(path.c_str(), &error));
  if (error != nullptr) {
    g_error_free(error);
    return {};
  }
  return picture;
}

PangoFontDescription* NewFontDescription(const ControlDesign& design) {
  const FontDesign font = design.font.value_or(FontDesign{});
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.face.empty() ? "Arial" : font.face.c_str());
  pango_font_description_set_size(description,
                                   static_cast<gint>(std::lround(font.points * PANGO_SCALE)));
  pango_font_description_set_weight(description, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return description;
}

std::unique_ptr<Control> MakeControl(FormWindow& window, const ControlDesign& design) {
  switch (design.kind) {
    case ControlKind::Label:
      return std::make_unique<LabelControl>(window, design);
    case ControlKind::Frame:
    case ControlKind::PictureBox:
      return std::make_unique<ContainerControl>(window, design);
    case ControlKind::Line:
      return std::make_unique<LineControl>(window, design);
    case ControlKind::Image:
      return std::make_unique<ImageControl>(window, design);
    case ControlKind::CommandButton:
      return std::make_unique<ButtonControl>(window, design);
    case ControlKind::ComboBox:
      return std::make_unique<ComboControl>(window, design);
    case ControlKind::Toolbar:
      return std::make_unique<ToolbarControl>(window, design);
    case ControlKind::WebBrowser:
      return MakeWebBrowser(window, design);
    case ControlKind::Timer:
    case ControlKind::ImageList:
      break;
  }
  return nullptr;
}

std::unique_ptr<Timer> MakeTimer(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<TimerControl>(window, design);
}

}  // namespace corvane::gtk
