#include "platform/gtk/controls.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/gtk/guarded.h"
#include "platform/gtk/pictures.h"

namespace corvane::gtk {

std::string ValidText(const std::string& text) { return ValidUtf8(text); }

namespace {

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
    if (Design().autoSize) {
      // Sized to the text by the shared rule; the label only measures it,
      // with its own font, as it draws it.
      GtkWidget* label = Widget();
      const Units& units = window_.TheUnits();
      SetArea(SizedLabel(CurrentArea(), Design().alignment, caption_,
                         [&](const std::string& line) {
                           const GObjectPtr<PangoLayout> layout(
                               gtk_widget_create_pango_layout(label, nullptr));
                           pango_layout_set_attributes(layout.get(),
                                                       gtk_label_get_attributes(GTK_LABEL(label)));
                           const std::string shown = StripAccessKey(line);
                           pango_layout_set_text(layout.get(), shown.c_str(), -1);
                           int width = 0;
                           int height = 0;
                           pango_layout_get_pixel_size(layout.get(), &width, &height);
                           return TextExtent{units.Twips(width), units.Twips(height)};
                         }));
    }
    Placed::Place();
  }

 private:
  std::string caption_;
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
    // A picture box in the tab order takes the focus and shows it.
    const bool focusable = design.kind == ControlKind::PictureBox && design.tabStop;
    if (focusable) {
      gtk_widget_set_can_focus(layout, TRUE);
      window.Connect(layout, "focus-in-event", G_CALLBACK(&ContainerControl::OnFocusChange), this);
      window.Connect(layout, "focus-out-event", G_CALLBACK(&ContainerControl::OnFocusChange),
                     this);
    }
    if (picture_ || focusable) {
      canvas_ = gtk_drawing_area_new();
      gtk_layout_put(GTK_LAYOUT(layout), canvas_, 0, 0);
      window.Connect(canvas_, "draw", G_CALLBACK(&ContainerControl::OnDraw), this);
    }
    if (picture_) {
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
      if (control->picture_) {
        cairo_save(cr);
        gdk_cairo_set_source_pixbuf(cr, control->picture_.get(), 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
      }
      if (gtk_widget_has_focus(control->Widget()) != FALSE) {
        DrawFocus(widget, cr);
      }
    });
    return FALSE;
  }

  // A dotted rectangle just inside the edge, in the text colour.
  static void DrawFocus(GtkWidget* widget, cairo_t* cr) {
    GdkRGBA colour{};
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &colour);
    gdk_cairo_set_source_rgba(cr, &colour);
    const double dots[] = {1.0, 1.0};
    cairo_set_dash(cr, dots, 2, 0.0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, 0.5, 0.5, gtk_widget_get_allocated_width(widget) - 1.0,
                    gtk_widget_get_allocated_height(widget) - 1.0);
    cairo_stroke(cr);
  }

  static gboolean OnFocusChange(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer self) {
    const auto* control = static_cast<ContainerControl*>(self);
    if (control->canvas_ != nullptr) {
      gtk_widget_queue_draw(control->canvas_);
    }
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
      return MakeComboBox(window, design);
    case ControlKind::Toolbar:
      return MakeToolbar(window, design);
    case ControlKind::WebBrowser:
      return MakeWebBrowser(window, design);
    case ControlKind::TextBox:
      return MakeTextBox(window, design);
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
      return MakeCheckBox(window, design);
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
