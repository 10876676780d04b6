#include "platform/gtk/window.h"

#include <utility>

#include "platform/gtk/accessible.h"
#include "platform/gtk/controls.h"
#include "platform/gtk/guarded.h"

namespace corvane::gtk {

// ---- window ----------------------------------------------------------------

FormWindow::FormWindow(GtkBackend& backend, const WindowDesign& design, EventSink& sink)
    : backend_(backend), design_(design), sink_(sink), caption_(design.caption),
      clientWidth_(backend.TheUnits().Px(design.clientWidth)),
      clientHeight_(backend.TheUnits().Px(design.clientHeight)) {
  toplevel_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(toplevel_);
  gtk_window_set_title(window, caption_.c_str());
  gtk_widget_set_name(toplevel_, design.name.c_str());
  switch (design.border) {
    case BorderStyle::None:
      gtk_window_set_decorated(window, FALSE);
      gtk_window_set_resizable(window, FALSE);
      break;
    case BorderStyle::FixedDialog:
      // With no caption and no control box the window has no title bar.
      gtk_window_set_decorated(window,
                               design.caption.empty() && !design.controlBox ? FALSE : TRUE);
      gtk_window_set_deletable(window, design.controlBox ? TRUE : FALSE);
      gtk_window_set_resizable(window, FALSE);
      gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
      break;
    case BorderStyle::Sizable:
      gtk_window_set_resizable(window, TRUE);
      gtk_window_set_deletable(window, design.controlBox ? TRUE : FALSE);
      break;
  }
  // An owned window stays above its owner.
  if (const FormWindow* owner = design.owner.empty() ? nullptr : backend.Find(design.owner)) {
    gtk_window_set_transient_for(window, owner->Toplevel());
  }
  gtk_window_set_skip_taskbar_hint(window, design.showInTaskbar ? FALSE : TRUE);
  gtk_window_set_skip_pager_hint(window, design.showInTaskbar ? FALSE : TRUE);

  client_ = gtk_layout_new(nullptr, nullptr);
  gtk_widget_add_events(client_, GDK_BUTTON_PRESS_MASK);
  gtk_container_add(GTK_CONTAINER(toplevel_), client_);
  if (design.border == BorderStyle::Sizable) {
    gtk_widget_set_size_request(client_, 1, 1);
    gtk_window_set_default_size(window, clientWidth_, clientHeight_);
  } else {
    gtk_widget_set_size_request(client_, clientWidth_, clientHeight_);
  }

  Connect(toplevel_, "key-press-event", G_CALLBACK(&FormWindow::OnKeyPress), this);
  Connect(toplevel_, "delete-event", G_CALLBACK(&FormWindow::OnDelete), this);
  // Once on the screen the window takes the keyboard, also where no window
  // manager hands it over.
  Connect(toplevel_, "map-event", G_CALLBACK(&FormWindow::OnMapped), this);
  // Once framed, the client area is put where the start position says.
  Connect(toplevel_, "configure-event", G_CALLBACK(&FormWindow::OnConfigure), this);
  Connect(client_, "button-press-event", G_CALLBACK(&FormWindow::OnButtonPress), this);
  Connect(client_, "size-allocate", G_CALLBACK(&FormWindow::OnSizeAllocate), this);

  for (const ControlDesign& c : design.controls) {
    if (c.kind == ControlKind::Timer) {
      timers_[c.name] = MakeTimer(*this, c);
    } else if (std::unique_ptr<Control> control = MakeControl(*this, c)) {
      controls_[std::make_pair(c.name, c.index)] = std::move(control);
    }
  }
  NameForAssistiveTechnology(*this);
  backend_.live_[design.name] = this;
}

FormWindow::~FormWindow() {
  if (relayoutSource_ != 0) {
    g_source_remove(relayoutSource_);
  }
  for (auto& [object, handler] : connections_) {
    g_signal_handler_disconnect(object.get(), handler);
  }
  connections_.clear();
  timers_.clear();
  controls_.clear();
  auto it = backend_.live_.find(design_.name);
  if (it != backend_.live_.end() && it->second == this) {
    backend_.live_.erase(it);
  }
  gtk_widget_destroy(toplevel_);
}

void FormWindow::Connect(gpointer instance, const char* signal, GCallback callback, gpointer data) {
  const gulong handler = g_signal_connect(instance, signal, callback, data);
  connections_.emplace_back(GObjectPtr<GObject>(G_OBJECT(g_object_ref(instance))), handler);
}

GtkWidget* FormWindow::ContainerFor(const ControlDesign& control) const {
  auto it = containers_.find(control.container);
  return it == containers_.end() ? client_ : it->second;
}

void FormWindow::AddContainer(const std::string& name, GtkWidget* layout) {
  containers_[name] = layout;
}

GtkWidget* FormWindow::WidgetOf(const std::string& name, std::int16_t index) const {
  auto it = controls_.find(std::make_pair(name, index));
  if (it == controls_.end()) {
    return nullptr;
  }
  const auto* realised = dynamic_cast<const Realised*>(it->second.get());
  return realised != nullptr ? realised->Widget() : nullptr;
}

void FormWindow::Raise(Event& event) { sink_.Raise(event); }

void FormWindow::SetCaption(const std::string& text) {
  caption_ = ValidUtf8(text);
  gtk_window_set_title(GTK_WINDOW(toplevel_), caption_.c_str());
}

float FormWindow::ScaleWidth() const { return TheUnits().Twips(clientWidth_); }
float FormWindow::ScaleHeight() const { return TheUnits().Twips(clientHeight_); }

Rect FormWindow::ScreenArea() const {
  const Units& units = TheUnits();
  GdkRectangle frame{};
  if (GdkWindow* window = gtk_widget_get_window(toplevel_)) {
    gdk_window_get_frame_extents(window, &frame);
  } else {
    gtk_window_get_position(Toplevel(), &frame.x, &frame.y);
    gtk_window_get_size(Toplevel(), &frame.width, &frame.height);
  }
  return Rect{units.Twips(frame.x), units.Twips(frame.y), units.Twips(frame.width),
              units.Twips(frame.height)};
}

// The frame's top-left corner goes there (the window's gravity is the
// top-left one).
void FormWindow::MoveTo(float left, float top) {
  gtk_window_move(Toplevel(), TheUnits().Px(left), TheUnits().Px(top));
}

Rect FormWindow::WorkArea() const {
  GdkDisplay* display = gtk_widget_get_display(toplevel_);
  GdkWindow* window = gtk_widget_get_window(toplevel_);
  GdkMonitor* monitor = window != nullptr ? gdk_display_get_monitor_at_window(display, window)
                                          : gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  if (monitor == nullptr) {
    throw Failure("no monitor");
  }
  GdkRectangle area{};
  gdk_monitor_get_workarea(monitor, &area);
  const Units& units = TheUnits();
  return Rect{units.Twips(area.x), units.Twips(area.y), units.Twips(area.width),
              units.Twips(area.height)};
}

std::optional<PixelPoint> FormWindow::OuterCorner(const FrameExtents& frame) const {
  const Units& units = TheUnits();
  switch (design_.startPosition) {
    case StartPosition::CenterScreen: {
      GdkDisplay* display = gtk_widget_get_display(toplevel_);
      GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
      if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) {
        monitor = gdk_display_get_monitor(display, 0);
      }
      if (monitor == nullptr) {
        return std::nullopt;
      }
      GdkRectangle area{};
      gdk_monitor_get_geometry(monitor, &area);
      return OuterCornerCentred(area.x, area.y, area.width, area.height, clientWidth_,
                                clientHeight_, frame);
    }
    case StartPosition::Manual:
      return OuterCornerForClient(PixelPoint{units.Px(design_.left), units.Px(design_.top)},
                                  frame);
    case StartPosition::OwnerTopRight:
      if (const FormWindow* owner = backend_.Find(design_.owner)) {
        // The owner's client area on the screen (its frame, where it has
        // no window yet).
        int x = 0;
        int y = 0;
        GdkWindow* area = gtk_widget_get_window(owner->toplevel_);
        if (area != nullptr) {
          gdk_window_get_origin(area, &x, &y);
        } else {
          gtk_window_get_position(owner->Toplevel(), &x, &y);
        }
        return OuterCornerForClient(
            PixelPoint{x + owner->clientWidth_ - units.Px(design_.left) - clientWidth_,
                       y + units.Px(design_.top)},
            frame);
      }
      return std::nullopt;
    case StartPosition::WindowsDefault:
      break;
  }
  return std::nullopt;
}

void FormWindow::Place() {
  // The window manager frames the window only once it is mapped: until then
  // the frame of the last decorated window is the best guess.
  const bool decorated = gtk_window_get_decorated(Toplevel()) != FALSE;
  if (const std::optional<PixelPoint> corner =
          OuterCorner(decorated ? backend_.decoratedFrame_ : FrameExtents{})) {
    gtk_window_move(Toplevel(), corner->x, corner->y);
    placeMends_ = 3;  // a few moves at most: never a fight with the window manager
  } else if (design_.startPosition == StartPosition::CenterScreen) {
    gtk_window_set_position(Toplevel(), GTK_WIN_POS_CENTER);
  }
}

void FormWindow::MendPlace() {
  GdkDisplay* display = gtk_widget_get_display(toplevel_);
  GdkWindow* outer = gtk_widget_get_window(toplevel_);
  GdkWindow* area = gtk_layout_get_bin_window(GTK_LAYOUT(client_));
  // (The X11 header of GDK is kept out: its macros clash with this file's names.)
  const bool x11 = g_strcmp0(G_OBJECT_TYPE_NAME(display), "GdkX11Display") == 0;
  // GDK counts the window viewable as soon as it asks for it to be mapped;
  // only once the map has happened has the window manager framed and placed
  // it, so a window in place before then proves nothing.
  if (placeMends_ <= 0 || !mappedOnce_ || !x11 || outer == nullptr || area == nullptr ||
      gdk_window_is_viewable(outer) == FALSE) {
    return;
  }
  // The frame as the window manager drew it, around the client area.
  GdkRectangle frame{};
  gdk_window_get_frame_extents(outer, &frame);
  int x = 0;
  int y = 0;
  gdk_window_get_origin(area, &x, &y);
  const int width = gtk_widget_get_allocated_width(client_);
  const int height = gtk_widget_get_allocated_height(client_);
  const FrameExtents extents{x - frame.x, y - frame.y, frame.x + frame.width - (x + width),
                             frame.y + frame.height - (y + height)};
  if (gtk_window_get_decorated(Toplevel()) != FALSE) {
    backend_.decoratedFrame_ = extents;
  }
  const std::optional<PixelPoint> corner = OuterCorner(extents);
  if (!corner || (corner->x == frame.x && corner->y == frame.y)) {
    placeMends_ = 0;
    return;
  }
  --placeMends_;
  gtk_window_move(Toplevel(), corner->x, corner->y);
}

gboolean FormWindow::OnConfigure(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer self) {
  Guarded([&] { static_cast<FormWindow*>(self)->MendPlace(); });
  return FALSE;
}

void FormWindow::Show() {
  if (visible_) {
    return;
  }
  visible_ = true;
  if (!shown_) {
    Place();
  }
  gtk_widget_show_all(toplevel_);
  for (const auto& [key, control] : controls_) {
    const auto* realised = dynamic_cast<const Realised*>(control.get());
    if (realised != nullptr && !realised->HasArea()) {
      gtk_widget_hide(realised->Widget());
    }
  }
  FocusFirst();
  gtk_window_present(GTK_WINDOW(toplevel_));
  if (!shown_) {
    shown_ = true;
    Event resize{.type = EventType::Resize};
    Raise(resize);
  }
}

void FormWindow::Hide() {
  if (!visible_) {
    return;
  }
  visible_ = false;
  gtk_widget_hide(toplevel_);
}

Control& FormWindow::GetControl(const std::string& name, std::int16_t index) {
  return TypedControl<Control>(controls_, design_.name, name, index);
}
Label& FormWindow::GetLabel(const std::string& name, std::int16_t index) {
  return TypedControl<Label>(controls_, design_.name, name, index);
}
ComboBox& FormWindow::GetComboBox(const std::string& name) {
  return TypedControl<ComboBox>(controls_, design_.name, name, -1);
}
Toolbar& FormWindow::GetToolbar(const std::string& name) {
  return TypedControl<Toolbar>(controls_, design_.name, name, -1);
}
WebBrowser& FormWindow::GetWebBrowser(const std::string& name) {
  return TypedControl<WebBrowser>(controls_, design_.name, name, -1);
}
TextBox& FormWindow::GetTextBox(const std::string& name) {
  return TypedControl<TextBox>(controls_, design_.name, name, -1);
}
CheckBox& FormWindow::GetCheckBox(const std::string& name) {
  return TypedControl<CheckBox>(controls_, design_.name, name, -1);
}
Timer& FormWindow::GetTimer(const std::string& name) {
  return NamedTimer(timers_, design_.name, name);
}

// ---- focus -----------------------------------------------------------------

void FormWindow::FocusControl(const ControlDesign& control) {
  auto it = controls_.find(std::make_pair(control.name, control.index));
  if (it == controls_.end()) {
    return;
  }
  if (const auto* realised = dynamic_cast<const Realised*>(it->second.get())) {
    gtk_widget_grab_focus(realised->FocusWidget());
  }
}

void FormWindow::PressControl(const ControlDesign& control) {
  GtkWidget* widget = WidgetOf(control.name, control.index);
  if (widget != nullptr && GTK_IS_BUTTON(widget)) {
    gtk_button_clicked(GTK_BUTTON(widget));
  }
}

// Shown, enabled, and with a widget that takes the keyboard: the focus
// never moves to a control that cannot hold it.
bool FormWindow::CanFocus(const ControlDesign& control) const {
  auto it = controls_.find(std::make_pair(control.name, control.index));
  const auto* realised =
      it != controls_.end() ? dynamic_cast<const Realised*>(it->second.get()) : nullptr;
  if (realised == nullptr) {
    return false;
  }
  GtkWidget* focus = realised->FocusWidget();
  return gtk_widget_get_visible(realised->Widget()) != FALSE && focus != nullptr &&
         gtk_widget_get_can_focus(focus) != FALSE && gtk_widget_is_sensitive(focus) != FALSE;
}

void FormWindow::FocusFirst() {
  if (const ControlDesign* first =
          FirstFocus(design_, [this](const ControlDesign& c) { return CanFocus(c); })) {
    FocusControl(*first);
  }
}

const ControlDesign* FormWindow::FocusedControl() const {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(toplevel_));
  if (focus == nullptr) {
    return nullptr;
  }
  for (const auto& [key, control] : controls_) {
    const auto* realised = dynamic_cast<const Realised*>(control.get());
    if (realised == nullptr) {
      continue;
    }
    const ControlDesign* design = design_.Find(key.first, key.second);
    const bool container = design != nullptr && (design->kind == ControlKind::Frame ||
                                                 design->kind == ControlKind::PictureBox);
    if (focus == realised->Widget() ||
        (!container && gtk_widget_is_ancestor(focus, realised->Widget()) != FALSE)) {
      return design;
    }
  }
  return nullptr;
}

// ---- input -----------------------------------------------------------------

gboolean FormWindow::OnMapped(GtkWidget* widget, GdkEvent* /*event*/, gpointer self) {
  // The current server time: an older user time would lose to a focus set
  // since by another client.
  gdk_window_focus(gtk_widget_get_window(widget), GDK_CURRENT_TIME);
  Guarded([&] {
    auto* form = static_cast<FormWindow*>(self);
    form->mappedOnce_ = true;
    form->MendPlace();
  });
  return FALSE;
}

gboolean FormWindow::OnDelete(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer self) {
  Guarded([&] {
    Event close{.type = EventType::Close};
    static_cast<FormWindow*>(self)->Raise(close);
  });
  return TRUE;  // the runtime hides and destroys the window itself
}

void FormWindow::HandleClick(double rootX, double rootY) {
  GdkWindow* area = gtk_layout_get_bin_window(GTK_LAYOUT(client_));
  if (area == nullptr) {
    return;
  }
  int originX = 0;
  int originY = 0;
  gdk_window_get_origin(area, &originX, &originY);
  const double twips = TheUnits().TwipsPerPixel();
  const auto x = static_cast<float>((rootX - originX) * twips);
  const auto y = static_cast<float>((rootY - originY) * twips);
  // The same rule on every platform: the top-most control under the point
  // that takes mouse input gets the click.
  const ControlDesign* hit = HitTest(design_, x, y, CurrentAreas(controls_));
  if (hit != nullptr && TakesOwnClicks(hit->kind)) {
    return;
  }
  Event click{.type = EventType::Click,
              .control = hit != nullptr ? hit->name : std::string(),
              .index = hit != nullptr ? hit->index : std::int16_t{-1}};
  Raise(click);
}

gboolean FormWindow::OnButtonPress(GtkWidget* /*widget*/, GdkEventButton* event, gpointer self) {
  if (event->type != GDK_BUTTON_PRESS || event->button != 1) {
    return FALSE;
  }
  Guarded([&] { static_cast<FormWindow*>(self)->HandleClick(event->x_root, event->y_root); });
  return TRUE;
}

// ---- size ------------------------------------------------------------------

void FormWindow::OnSizeAllocate(GtkWidget* /*widget*/, GdkRectangle* allocation, gpointer self) {
  auto* window = static_cast<FormWindow*>(self);
  if (allocation->width == window->allocatedWidth_ && allocation->height == window->allocatedHeight_) {
    return;
  }
  window->allocatedWidth_ = allocation->width;
  window->allocatedHeight_ = allocation->height;
  // Controls move after the allocation, from the main loop.
  if (window->relayoutSource_ == 0) {
    window->relayoutSource_ = g_idle_add(&FormWindow::OnRelayout, window);
  }
}

gboolean FormWindow::OnRelayout(gpointer self) {
  auto* window = static_cast<FormWindow*>(self);
  window->relayoutSource_ = 0;
  Guarded([&] { window->Relayout(); });
  return G_SOURCE_REMOVE;
}

void FormWindow::Relayout() {
  if (allocatedWidth_ == clientWidth_ && allocatedHeight_ == clientHeight_) {
    return;
  }
  clientWidth_ = allocatedWidth_;
  clientHeight_ = allocatedHeight_;
  // Docked controls span the client area's width.
  const float width = TheUnits().Twips(clientWidth_);
  for (const ControlDesign& c : design_.controls) {
    if (c.dock == Dock::Top) {
      auto it = controls_.find(std::make_pair(c.name, c.index));
      if (it != controls_.end()) {
        Control& control = *it->second;
        Guarded([&] { control.Move(0, control.Top(), width, control.Height()); });
      }
    }
  }
  if (visible_ && shown_) {
    Event resize{.type = EventType::Resize};
    Raise(resize);
  }
}

}  // namespace corvane::gtk
