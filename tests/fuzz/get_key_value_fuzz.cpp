// Fuzzes the About box's registry reader with values of any type, size and
// bytes, and with any text the caller passes in. The reader must never read
// past its buffer, must answer by the rules below, and must close every key.
//
// Input layout: byte 0 picks the value's type (the common ones, or the raw
// byte), byte 1 the length of the caller's KeyVal, then KeyVal, then the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "about/frm_about.h"
#include "program/browser_program.h"
#include "platform/fake/fake_backend.h"
#include "platform/fake/memory_registry.h"

namespace {

using corvane::Failure;
using corvane::MemoryRegistry;
using corvane::Registry;

void Require(bool rule) {
  if (!rule) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length) {
  if (length < 2) {
    return 0;
  }
  static constexpr std::uint32_t kTypes[] = {corvane::reg::kSz,     corvane::reg::kDword,
                                              corvane::reg::kBinary, corvane::reg::kExpandSz,
                                              corvane::reg::kMultiSz, corvane::reg::kNone};
  const std::uint32_t type = input[0] < 6 * 32 ? kTypes[input[0] % 6] : input[0];
  const std::size_t callerLength = std::min<std::size_t>(input[1], length - 2);
  const std::string callerText(reinterpret_cast<const char*>(input + 2), callerLength);
  const std::string data(reinterpret_cast<const char*>(input + 2 + callerLength),
                         length - 2 - callerLength);

  MemoryRegistry registry;
  registry.SetValue(Registry::kLocalMachine, "SOFTWARE\\Fuzz", "V", type, data);
  corvane::fake::FakeBackend backend;
  corvane::BrowserProgram program{corvane::Ports{backend, &registry, nullptr},
                           corvane::BuildSettings{""}};

  std::int32_t root = static_cast<std::int32_t>(Registry::kLocalMachine);
  std::string keyName = "SOFTWARE\\Fuzz";
  std::string valueName = "V";
  std::string keyVal = callerText;
  bool answer = false;
  bool failed = false;
  try {
    answer = program.Get<corvane::frmAbout>().GetKeyValue(root, keyName, valueName, keyVal);
  } catch (const Failure&) {
    failed = true;
  }

  Require(registry.OpenHandles() == 0);
  Require(keyName == "SOFTWARE\\Fuzz" && valueName == "V");
  if (data.empty()) {
    Require(failed);  // no data: nothing at position n to test
    return 0;
  }
  Require(!failed);
  if (data.size() > 1024) {
    Require(!answer && keyVal.empty());
    return 0;
  }
  Require(answer);
  if (type == corvane::reg::kSz) {
    std::string kept = data;
    if (kept.back() == '\0') {
      kept.pop_back();
    }
    Require(keyVal == registry.FromAnsi(kept));
  } else if (type == corvane::reg::kDword) {
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4 && i < data.size(); ++i) {
      number |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[i])) << (8U * i);
    }
    Require(keyVal == std::to_string(number));
  } else {
    Require(keyVal == callerText);
  }
  return 0;
}
