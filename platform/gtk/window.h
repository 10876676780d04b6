// One window of the GTK 3 backend: built from its design table, shown and
// hidden, laid out when its size changes, and the first to see its keys
// and clicks.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/backend.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/ports/window.h"
#include "platform/kit/window_rules.h"

namespace corvane::gtk {

// One realised window. Its widgets live until the object is destroyed; the
// forms runtime does that from the main loop, never inside a handler.
class FormWindow final : public NativeWindow {
 public:
  FormWindow(GtkBackend& backend, const WindowDesign& design, EventSink& sink);
  ~FormWindow() override;

  [[nodiscard]] std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override;
  void Show() override;
  void Hide() override;
  [[nodiscard]] bool Visible() const override { return visible_; }
  [[nodiscard]] float ScaleWidth() const override;
  [[nodiscard]] float ScaleHeight() const override;
  [[nodiscard]] Rect ScreenArea() const override;
  void MoveTo(float left, float top) override;
  [[nodiscard]] Rect WorkArea() const override;

  [[nodiscard]] Control& GetControl(const std::string& name, std::int16_t index = -1) override;
  [[nodiscard]] Label& GetLabel(const std::string& name, std::int16_t index = -1) override;
  [[nodiscard]] ComboBox& GetComboBox(const std::string& name) override;
  [[nodiscard]] Timer& GetTimer(const std::string& name) override;
  [[nodiscard]] Toolbar& GetToolbar(const std::string& name) override;
  [[nodiscard]] WebBrowser& GetWebBrowser(const std::string& name) override;
  [[nodiscard]] TextBox& GetTextBox(const std::string& name) override;
  [[nodiscard]] CheckBox& GetCheckBox(const std::string& name) override;

  [[nodiscard]] GtkWindow* Toplevel() const { return GTK_WINDOW(toplevel_); }
  // The client area: every control's coordinates count from its corner.
  [[nodiscard]] GtkWidget* ClientArea() const { return client_; }
  // The widget that realises a control (its outer widget), or nullptr.
  [[nodiscard]] GtkWidget* WidgetOf(const std::string& name, std::int16_t index = -1) const;
  [[nodiscard]] const WindowDesign& Design() const { return design_; }
  [[nodiscard]] const Units& TheUnits() const { return backend_.TheUnits(); }
  [[nodiscard]] GtkBackend& Backend() const { return backend_; }

  // Used by the controls.
  void Raise(Event& event);
  void Connect(gpointer instance, const char* signal, GCallback callback, gpointer data);
  [[nodiscard]] GtkWidget* ContainerFor(const ControlDesign& control) const;
  void AddContainer(const std::string& name, GtkWidget* layout);

 private:
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnMapped(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static gboolean OnRelayout(gpointer self);

  bool HandleKey(const GdkEventKey& event);
  [[nodiscard]] KeyRouting Routing();
  [[nodiscard]] bool CanFocus(const ControlDesign& control) const;
  void FocusControl(const ControlDesign& control);
  void PressControl(const ControlDesign& control);
  void FocusFirst();
  [[nodiscard]] const ControlDesign* FocusedControl() const;
  void HandleClick(double rootX, double rootY);
  void Relayout();
  void Place();
  // Where the frame's top-left corner goes for the start position, with a
  // frame of `frame` around the client area; nullopt: the window system's
  // choice.
  [[nodiscard]] std::optional<PixelPoint> OuterCorner(const FrameExtents& frame) const;
  // Once the window manager has framed the window: moves it so that its
  // client area is where the start position puts it (X11 only; elsewhere the
  // compositor places windows).
  void MendPlace();
  static gboolean OnConfigure(GtkWidget* widget, GdkEvent* event, gpointer self);

  GtkBackend& backend_;
  const WindowDesign& design_;
  EventSink& sink_;
  std::string caption_;
  GtkWidget* toplevel_ = nullptr;  // owned; destroyed with the window
  GtkWidget* client_ = nullptr;
  std::map<std::string, GtkWidget*> containers_;
  std::map<std::pair<std::string, std::int16_t>, std::unique_ptr<Control>> controls_;
  std::map<std::string, std::unique_ptr<Timer>> timers_;
  std::vector<std::pair<GObjectPtr<GObject>, gulong>> connections_;
  int clientWidth_;   // pixels, as last laid out
  int clientHeight_;
  int allocatedWidth_ = -1;
  int allocatedHeight_ = -1;
  guint relayoutSource_ = 0;
  bool visible_ = false;
  bool shown_ = false;
  int placeMends_ = 0;  // moves left to put the client area in its place
  bool mappedOnce_ = false;  // the X server has mapped the window (framed, if it ever is)
};

}  // namespace corvane::gtk
