// The browser window: toolbar, address box and web view.
#pragma once

#include <string>

#include "app/forms.h"

namespace corvane {

class Form1 final : public Form {
 public:
  explicit Form1(Program& program);

  static const WindowDesign& TheDesign();

  // The address opened at load.
  std::string StartingAddress;

 protected:
  void Form_Load() override;
  void OnEvent(Event& event) override;

 private:
  bool HoldNavigation = false;
};

}  // namespace corvane
