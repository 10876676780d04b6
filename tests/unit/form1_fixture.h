// The browser window on the fake backend, opened as the splash opens it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "program/browser_program.h"
#include "browser/form1.h"
#include "platform/fake/fake_backend.h"

namespace corvane::testing {

inline const std::string kSuffix = " - Corvane Ombrel - Varnhollow Software";
inline const std::string kBusyCaption = "Working... - Corvane Ombrel - Varnhollow Software";

class BrowserWindow {
 public:
  explicit BrowserWindow(std::string startAddress = "start.example")
      : program_(std::make_unique<BrowserProgram>(Ports{backend}, BuildSettings{std::move(startAddress)})) {}

  // Loads and shows Form1; its load runs on the way.
  Form1& Open() {
    Form1& form = program_->Get<Form1>();
    form.Show();
    return form;
  }

  [[nodiscard]] Program& TheProgram() { return *program_; }
  [[nodiscard]] Form1& Form() { return program_->Get<Form1>(); }
  [[nodiscard]] fake::FakeWindow& Window() { return backend.Window("Form1"); }
  [[nodiscard]] fake::FakeComboBox& Box() { return Window().Combo("cboAddress"); }
  [[nodiscard]] fake::FakeWebBrowser& Web() { return Window().Browser("brwWebBrowser"); }
  [[nodiscard]] fake::FakeTimer& Poll() { return Window().TimerNamed("timTimer"); }
  [[nodiscard]] fake::FakeToolbar& Bar() { return Window().ToolbarNamed("tbToolBar"); }

  fake::FakeBackend backend;

 private:
  std::unique_ptr<BrowserProgram> program_;
};

// A loaded browser window whose load is over: calls and timer cleared, so a
// test sees only what its own events do.
class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    browser.Open();
    browser.Web().calls.clear();
    browser.Poll().SetEnabled(false);
  }

  BrowserWindow browser;
};

}  // namespace corvane::testing
