// The names a screen reader announces for each window's controls, read back
// through the platform's accessibility interface by the GTK and the Windows
// tests alike.
#pragma once

#include <string>
#include <vector>

namespace corvane::testing {

// How assistive technology sees one thing of a window.
enum class Seen {
  Window,         // the window itself (its caption)
  Button,         // a push button (a command button, a toolbar button)
  Text,           // a label's text
  Image,          // a picture drawn by the program
  LabelledField,  // an entry field named by a label
};

struct ExpectedName {
  Seen as;
  std::string control;   // the control's design name; empty for the window
  int button = -1;       // toolbar: 0-based button, -1 for the control itself
  std::string name;      // what is announced
  std::string labelledBy{};  // LabelledField: the label's design name
};

struct WindowNames {
  std::string window;  // frmSplash, Form1, frmAbout
  std::vector<ExpectedName> names;
};

inline const std::vector<WindowNames>& ExpectedNames() {
  static const std::vector<WindowNames> names = {
      {"frmSplash",
       {{Seen::Window, "", -1, ""},
        {Seen::Image, "imgLogo", -1, "Corvane Ombrel logo"},
        {Seen::Text, "lblCopyright", -1, "Copyright 2026 Varnhollow Industries"},
        {Seen::Text, "lblCompanyProduct", -1, "Varnhollow Software"}}},
      {"Form1",
       {{Seen::Window, "", -1, "Form1"},
        {Seen::Button, "tbToolBar", 0, "Back"},
        {Seen::Button, "tbToolBar", 1, "Forward"},
        {Seen::Button, "tbToolBar", 2, "Stop"},
        {Seen::Button, "tbToolBar", 3, "Refresh"},
        {Seen::Button, "tbToolBar", 4, "Home"},
        {Seen::Button, "tbToolBar", 5, "Search"},
        {Seen::Button, "tbToolBar", 6, "About"},
        {Seen::Text, "lblAddress", -1, "Address:"},
        {Seen::LabelledField, "cboAddress", -1, "Address:", "lblAddress"}}},
      {"frmAbout",
       {{Seen::Window, "", -1, "About"},
        {Seen::Image, "picIcon", -1, "Corvane Ombrel logo"},
        {Seen::Button, "cmdOK", -1, "OK"},
        {Seen::Button, "cmdSysInfo", -1, "System Info..."}}},
  };
  return names;
}

}  // namespace corvane::testing
