#include "platform/gtk/accessible.h"

#include <string>

namespace corvane::gtk {

namespace {

AtkObject* AccessibleOf(GtkWidget* widget) {
  return widget != nullptr ? gtk_widget_get_accessible(widget) : nullptr;
}

void SetName(GtkWidget* widget, const std::string& name) {
  if (AtkObject* accessible = AccessibleOf(widget)) {
    atk_object_set_name(accessible, name.c_str());
  }
}

// The toolbar's buttons, in order, by their tool tips (their key when they
// have none): each shows only a picture.
void NameToolbarButtons(GtkWidget* bar, const ControlDesign& design) {
  if (bar == nullptr || !GTK_IS_CONTAINER(bar)) {
    return;
  }
  GList* children = gtk_container_get_children(GTK_CONTAINER(bar));
  GList* child = children;
  for (const ToolbarButtonDesign& button : design.buttons) {
    if (child == nullptr) {
      break;
    }
    SetName(GTK_WIDGET(child->data), button.toolTip.empty() ? button.key : button.toolTip);
    child = child->next;
  }
  g_list_free(children);
}

// A picture is drawn by the program; to assistive technology it is an image
// with its description as name.
void DescribePicture(GtkWidget* widget, const ControlDesign& design) {
  AtkObject* accessible = AccessibleOf(widget);
  if (accessible == nullptr || design.description.empty()) {
    return;
  }
  atk_object_set_name(accessible, design.description.c_str());
  atk_object_set_role(accessible, ATK_ROLE_IMAGE);
}

void Relate(AtkObject* label, AtkObject* target) {
  atk_object_add_relationship(label, ATK_RELATION_LABEL_FOR, target);
  atk_object_add_relationship(target, ATK_RELATION_LABELLED_BY, label);
}

// The label's text names the control its access key focuses; for a control
// with an edit field (a combo box) the field is named too, as it is what
// takes the focus.
void LabelTarget(const FormWindow& window, const ControlDesign& label) {
  const ControlDesign* target = window.Design().Find(label.mnemonicTarget);
  if (target == nullptr) {
    return;
  }
  AtkObject* labelAccessible = AccessibleOf(window.WidgetOf(label.name, label.index));
  GtkWidget* targetWidget = window.WidgetOf(target->name, target->index);
  if (labelAccessible == nullptr || targetWidget == nullptr) {
    return;
  }
  const std::string name = StripAccessKey(label.caption);
  SetName(targetWidget, name);
  Relate(labelAccessible, AccessibleOf(targetWidget));
  if (target->kind == ControlKind::ComboBox && GTK_IS_BIN(targetWidget)) {
    if (GtkWidget* field = gtk_bin_get_child(GTK_BIN(targetWidget))) {
      SetName(field, name);
      Relate(labelAccessible, AccessibleOf(field));
    }
  }
}

}  // namespace

void NameForAssistiveTechnology(const FormWindow& window) {
  for (const ControlDesign& c : window.Design().controls) {
    switch (c.kind) {
      case ControlKind::Toolbar:
        NameToolbarButtons(window.WidgetOf(c.name, c.index), c);
        break;
      case ControlKind::Image:
      case ControlKind::PictureBox:
        DescribePicture(window.WidgetOf(c.name, c.index), c);
        break;
      case ControlKind::Label:
        if (!c.mnemonicTarget.empty()) {
          LabelTarget(window, c);
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace corvane::gtk
