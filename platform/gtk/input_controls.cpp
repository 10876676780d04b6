// The controls a person types into or turns on and off: the text box
// (GtkEntry), the check box (GtkCheckButton) and the option button
// (GtkRadioButton, one group per container).
#include <string>

#include "platform/gtk/controls.h"

namespace corvane::gtk {

namespace {

class TextBoxControl final : public Placed<TextBox> {
 public:
  TextBoxControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    GtkWidget* entry = gtk_entry_new();
    gtk_widget_set_can_focus(entry, design.tabStop ? TRUE : FALSE);
    Attach(entry);
  }
  [[nodiscard]] std::string Text() const override { return gtk_entry_get_text(Entry()); }
  void SetText(const std::string& text) override {
    gtk_entry_set_text(Entry(), ValidText(text).c_str());
  }
  void SetFocus() override {
    gtk_window_present(window_.Toplevel());
    gtk_widget_grab_focus(Widget());
  }
  void SelectAll() override { gtk_editable_select_region(GTK_EDITABLE(Widget()), 0, -1); }

 private:
  [[nodiscard]] GtkEntry* Entry() const { return GTK_ENTRY(Widget()); }
};

class CheckBoxControl final : public Placed<CheckBox> {
 public:
  CheckBoxControl(FormWindow& window, const ControlDesign& design) : Placed(window, design) {
    const std::string caption = StripAccessKey(ValidText(design.caption));
    GtkWidget* button = nullptr;
    if (design.kind == ControlKind::OptionButton) {
      button = gtk_radio_button_new_with_label(nullptr, caption.c_str());
      // Joins the option buttons built before it in the same container.
      for (const ControlDesign& other : window.Design().controls) {
        if (&other == &design) {
          break;
        }
        GtkWidget* first = other.kind == ControlKind::OptionButton &&
                                   other.container == design.container
                               ? window.WidgetOf(other.name, other.index)
                               : nullptr;
        if (first != nullptr) {
          gtk_radio_button_join_group(GTK_RADIO_BUTTON(button), GTK_RADIO_BUTTON(first));
          break;
        }
      }
    } else {
      button = gtk_check_button_new_with_label(caption.c_str());
    }
    gtk_widget_set_can_focus(button, design.tabStop ? TRUE : FALSE);
    Attach(button);
    if (design.value || design.kind == ControlKind::CheckBox) {
      SetValue(design.value);
    }
  }
  [[nodiscard]] bool Value() const override {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(Widget())) != FALSE;
  }
  // An option button's group turns the others off; turning one off alone
  // leaves the group as it is, as a click would.
  void SetValue(bool on) override {
    if (!on && Design().kind == ControlKind::OptionButton) {
      return;
    }
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Widget()), on ? TRUE : FALSE);
  }
};

}  // namespace

std::unique_ptr<Control> MakeTextBox(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<TextBoxControl>(window, design);
}

std::unique_ptr<Control> MakeCheckBox(FormWindow& window, const ControlDesign& design) {
  return std::make_unique<CheckBoxControl>(window, design);
}

}  // namespace corvane::gtk
