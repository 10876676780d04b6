// The toolbar: a row of picture buttons.
#include <gtk/gtk.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/controls.h"
#include "platform/gtk/guarded.h"

namespace corvane::gtk {

namespace {

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

std::unique_ptr<Control> MakeToolbar(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<ToolbarControl>(window, design);
}

}  // namespace corvane::gtk
