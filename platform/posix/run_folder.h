// A private folder for one run of the program, in the user's runtime folder
// ($XDG_RUNTIME_DIR: the user's own, in memory on a desktop, emptied when
// the user's last session ends): <runtime>/corvane-ombrel/run-<pid>-XXXXXX,
// readable by the user only, removed with all it holds when its owner goes.
// Folders of earlier runs whose process is gone (it crashed or was killed)
// are removed when the next run makes its own. Nothing is ever made under the
// home folder: where the runtime folder is unset, not a folder, not the
// user's or open to others, or the folder cannot be made, there is none.
#pragma once

#include <string>

namespace corvane {

class RunFolder {
 public:
  // Makes the folder (empty Path() when there can be none here).
  RunFolder();
  ~RunFolder() { Remove(); }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Its absolute path; empty when there is none.
  [[nodiscard]] const std::string& Path() const { return path_; }
  // Removes it and all it holds now (no longer there after).
  void Remove();

 private:
  std::string path_;
};

}  // namespace corvane
