// The registry port on Linux. Linux has no registry; this one answers just
// the two places where the About box's System Info looks for the
// system-information tool, below HKEY_LOCAL_MACHINE:
//
//   "SOFTWARE\Microsoft\Shared Tools\MSINFO"    value "PATH": the tool's full path
//   "SOFTWARE\Microsoft\Shared Tools Location"  value "MSINFO": its folder
//
// The tool is the desktop's own, found on the search path when a key is
// opened (so one installed while the program runs is found too). The tools
// are tried in the order of Tools(); for each, every folder of the search
// path in turn, as a shell would. With none found, neither key exists and
// System Info says the information is unavailable. Every other key is
// missing. Names compare regardless of the case of ASCII letters, and text
// crosses unchanged (file names on Linux are bytes, normally UTF-8).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/ports/registry.h"

namespace corvane {

class SystemInfoRegistry final : public Registry {
 public:
  // Answers the search path: a list of folders separated by ':'.
  using SearchPath = std::function<std::string()>;

  // The file names of the tools looked for, in order: hardinfo2, hardinfo
  // (both show the whole system), kinfocenter (KDE's Info Center).
  static std::vector<std::string> Tools();

  // By default the search path is the environment's PATH, read at each
  // lookup.
  explicit SystemInfoRegistry(SearchPath searchPath = {}, std::vector<std::string> tools = Tools());

  // The full path of the first of `tools` found as an executable regular
  // file in a folder of `searchPath`, or the empty text. Folders that are
  // not absolute paths are skipped.
  static std::string FindTool(const std::string& searchPath, const std::vector<std::string>& tools);

  std::int32_t OpenKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& key) override;
  std::int32_t QueryValue(Key key, const std::string& name, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& size) override;
  std::int32_t CloseKey(Key key) override;
  [[nodiscard]] std::string ToAnsi(const std::string& text) const override { return text; }
  [[nodiscard]] std::string FromAnsi(const std::string& bytes) const override { return bytes; }

 private:
  struct OpenedKey {
    std::string valueName;  // folded
    std::string text;
  };
  SearchPath searchPath_;
  std::vector<std::string> tools_;
  std::map<Key, OpenedKey> open_;
  Key next_ = 0x100;
};

}  // namespace corvane
