// What a screen reader learns about each window, read back through ATK in
// process: the windows' captions, the toolbar buttons' tool tips, the address
// box labelled by its label, the pictures' descriptions.
#include <atk/atk.h>

#include <memory>
#include <string>

#include "about/frm_about.h"
#include "browser/form1.h"
#include "splash/frm_splash.h"
#include "tests/gtk/gtk_fixture.h"
#include "tests/support/accessible_names.h"

namespace corvane::testing {
namespace {

const WindowDesign& DesignOf(const std::string& window) {
  if (window == "frmSplash") {
    return frmSplash::TheDesign();
  }
  if (window == "Form1") {
    return Form1::TheDesign();
  }
  return frmAbout::TheDesign();
}

AtkObject* Accessible(GtkWidget* widget) { return gtk_widget_get_accessible(widget); }

std::string NameOf(GtkWidget* widget) {
  const char* name = atk_object_get_name(Accessible(widget));
  return name != nullptr ? name : "";
}

// True when `from` has a relation of `type` that points at `to`.
bool Related(GtkWidget* from, AtkRelationType type, GtkWidget* to) {
  AtkRelationSet* set = atk_object_ref_relation_set(Accessible(from));
  if (set == nullptr) {
    return false;
  }
  bool found = false;
  if (AtkRelation* relation = atk_relation_set_get_relation_by_type(set, type)) {
    GPtrArray* targets = atk_relation_get_target(relation);
    for (guint i = 0; targets != nullptr && i < targets->len; ++i) {
      found = found || g_ptr_array_index(targets, i) == Accessible(to);
    }
  }
  g_object_unref(set);
  return found;
}

GtkWidget* NthChild(GtkWidget* container, int n) {
  if (container == nullptr || !GTK_IS_CONTAINER(container)) {
    return nullptr;
  }
  GList* children = gtk_container_get_children(GTK_CONTAINER(container));
  auto* child = static_cast<GtkWidget*>(g_list_nth_data(children, static_cast<guint>(n)));
  g_list_free(children);
  return child;
}

class AccessibleNames : public GtkTest {
 protected:
  std::unique_ptr<gtk::FormWindow> Build(const WindowDesign& design) {
    auto made = backend.MakeWindow(design, sink);
    return std::unique_ptr<gtk::FormWindow>(static_cast<gtk::FormWindow*>(made.release()));
  }

  static GtkWidget* WidgetFor(const gtk::FormWindow& window, const ExpectedName& expected) {
    if (expected.as == Seen::Window) {
      return GTK_WIDGET(window.Toplevel());
    }
    GtkWidget* widget = window.WidgetOf(expected.control);
    return expected.button >= 0 ? NthChild(widget, expected.button) : widget;
  }
};

TEST_F(AccessibleNames, EachWindowNamesWhatAPersonReaches) {
  for (const WindowNames& table : ExpectedNames()) {
    const auto window = Build(DesignOf(table.window));
    for (const ExpectedName& expected : table.names) {
      SCOPED_TRACE(table.window + " " + expected.control + " " + std::to_string(expected.button));
      GtkWidget* widget = WidgetFor(*window, expected);
      ASSERT_NE(widget, nullptr);
      EXPECT_EQ(NameOf(widget), expected.name);
      const AtkRole role = atk_object_get_role(Accessible(widget));
      switch (expected.as) {
        case Seen::Window:
          break;
        case Seen::Button:
          EXPECT_EQ(role, ATK_ROLE_PUSH_BUTTON);
          break;
        case Seen::Text:
          EXPECT_EQ(role, ATK_ROLE_LABEL);
          break;
        case Seen::Image:
          EXPECT_EQ(role, ATK_ROLE_IMAGE);
          break;
        case Seen::LabelledField: {
          GtkWidget* label = window->WidgetOf(expected.labelledBy);
          ASSERT_NE(label, nullptr);
          // The field takes the focus, so it is what a screen reader
          // announces; the combo box around it is named alike.
          GtkWidget* field = gtk_bin_get_child(GTK_BIN(widget));
          ASSERT_NE(field, nullptr);
          EXPECT_EQ(NameOf(field), expected.name);
          EXPECT_EQ(atk_object_get_role(Accessible(field)), ATK_ROLE_TEXT);
          for (GtkWidget* target : {widget, field}) {
            EXPECT_TRUE(Related(target, ATK_RELATION_LABELLED_BY, label));
            EXPECT_TRUE(Related(label, ATK_RELATION_LABEL_FOR, target));
          }
          break;
        }
      }
    }
  }
}

// A caption set while the window runs is what the window is called.
TEST_F(AccessibleNames, WindowNameFollowsItsCaption) {
  const auto window = Build(Form1::TheDesign());
  window->SetCaption("Working... - Corvane Ombrel - Varnhollow Software");
  EXPECT_EQ(NameOf(GTK_WIDGET(window->Toplevel())),
            "Working... - Corvane Ombrel - Varnhollow Software");
}

// Nothing a person can reach is announced without a name, in any window:
// buttons, toolbar buttons, the address box and every picture.
TEST_F(AccessibleNames, NothingReachableIsUnnamed) {
  for (const WindowDesign* design :
       {&frmSplash::TheDesign(), &Form1::TheDesign(), &frmAbout::TheDesign()}) {
    const auto window = Build(*design);
    for (const ControlDesign& c : design->controls) {
      SCOPED_TRACE(design->name + " " + c.name);
      GtkWidget* widget = window->WidgetOf(c.name, c.index);
      switch (c.kind) {
        case ControlKind::Toolbar:
          for (std::size_t i = 0; i < c.buttons.size(); ++i) {
            GtkWidget* button = NthChild(widget, static_cast<int>(i));
            ASSERT_NE(button, nullptr);
            EXPECT_NE(NameOf(button), "");
          }
          break;
        case ControlKind::Image:
        case ControlKind::PictureBox:
          if (!c.picture.empty()) {
            EXPECT_NE(NameOf(widget), "");
          }
          break;
        case ControlKind::CommandButton:
        case ControlKind::ComboBox:
          EXPECT_NE(NameOf(widget), "");
          break;
        default:
          break;
      }
    }
  }
}

}  // namespace
}  // namespace corvane::testing
