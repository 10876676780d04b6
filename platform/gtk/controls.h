// The GTK realisation of each kind of control (internal to the backend):
// the simple ones in controls.cpp, the combo box, toolbar and web view each
// in its own file.
#pragma once

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/window.h"
#include "platform/kit/placed.h"
#include "platform/ports/window.h"

namespace corvane::gtk {

// What the window needs of every realised control besides its interface.
class Realised {
 public:
  Realised() = default;
  Realised(const Realised&) = delete;
  Realised& operator=(const Realised&) = delete;
  virtual ~Realised() = default;
  [[nodiscard]] virtual GtkWidget* Widget() const = 0;
  // The widget that takes the keyboard focus for the control.
  [[nodiscard]] virtual GtkWidget* FocusWidget() const { return Widget(); }
  // False while the control has no width or height: it is then not drawn.
  [[nodiscard]] virtual bool HasArea() const { return true; }
};

// Position and size in twips (the shared rectangle), shown in pixels.
template <class Interface>
class Placed : public corvane::Placed<Interface>, public Realised {
  using Base = corvane::Placed<Interface>;

 public:
  Placed(FormWindow& window, const ControlDesign& design) : Base(design), window_(window) {}

  [[nodiscard]] GtkWidget* Widget() const override { return widget_; }
  [[nodiscard]] bool HasArea() const override { return hasArea_; }

 protected:
  void Moved() override { Place(); }
  // Puts the widget into its container at the control's place.
  void Attach(GtkWidget* widget) {
    widget_ = widget;
    gtk_layout_put(GTK_LAYOUT(window_.ContainerFor(this->Design())), widget_, 0, 0);
    Place();
  }
  // Shows the widget at left/top/width/height; a control of no width or
  // height is not drawn at all.
  virtual void Place() { PlaceAt(this->Left(), this->Top(), this->Width(), this->Height()); }
  void PlaceAt(float left, float top, float width, float height) {
    const Units& units = window_.TheUnits();
    const int w = units.Px(width);
    const int h = units.Px(height);
    gtk_layout_move(GTK_LAYOUT(window_.ContainerFor(this->Design())), widget_, units.Px(left),
                    units.Px(top));
    gtk_widget_set_size_request(widget_, std::max(w, 1), std::max(h, 1));
    hasArea_ = w > 0 && h > 0;
    gtk_widget_set_visible(widget_, hasArea_ ? TRUE : FALSE);
  }
  void SetGeometry(float left, float top, float width, float height) {
    this->SetArea(Rect{left, top, width, height});
  }

  FormWindow& window_;

 private:
  GtkWidget* widget_ = nullptr;
  bool hasArea_ = true;
};

// The controls of each kind, built from their design rows.
std::unique_ptr<Control> MakeControl(FormWindow& window, const ControlDesign& design);
// Text as GTK and the engine take it: valid UTF-8, invalid bytes replaced.
std::string ValidText(const std::string& text);
std::unique_ptr<Timer> MakeTimer(FormWindow& window, const ControlDesign& design);
std::unique_ptr<Control> MakeComboBox(FormWindow& window, const ControlDesign& design);
std::unique_ptr<Control> MakeToolbar(FormWindow& window, const ControlDesign& design);
std::unique_ptr<Control> MakeWebBrowser(FormWindow& window, const ControlDesign& design);
std::unique_ptr<Control> MakeTextBox(FormWindow& window, const ControlDesign& design);
// A check box or an option button.
std::unique_ptr<Control> MakeCheckBox(FormWindow& window, const ControlDesign& design);

// A picture by its design-table name, or nothing when it cannot be read.
GObjectPtr<GdkPixbuf> LoadPicture(const std::string& name);

// The font a control's text is drawn with (the design's, else Arial 8.25).
PangoFontDescription* NewFontDescription(const ControlDesign& design);

struct FontDeleter {
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};
using FontPtr = std::unique_ptr<PangoFontDescription, FontDeleter>;

}  // namespace corvane::gtk
