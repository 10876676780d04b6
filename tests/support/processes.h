// A program's processes as /proc shows them: the engine's web and network
// processes below it, and the namespace each runs in.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {

// The parent and the short name of a process, from /proc.
inline bool ReadStat(int pid, int& parent, std::string& name) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(file, stat)) {
    return false;
  }
  const std::size_t open = stat.find('(');
  const std::size_t close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos) {
    return false;
  }
  name = stat.substr(open + 1, close - open - 1);
  std::istringstream rest(stat.substr(close + 2));
  char state = 0;
  rest >> state >> parent;
  return true;
}

// The processes below `root` whose short name starts with `prefix`.
inline std::vector<int> Descendants(int root, const std::string& prefix) {
  std::map<int, std::pair<int, std::string>> all;
  if (DIR* proc = opendir("/proc")) {
    while (dirent* entry = readdir(proc)) {
      const int pid = std::atoi(entry->d_name);
      int parent = 0;
      std::string name;
      if (pid > 0 && ReadStat(pid, parent, name)) {
        all[pid] = {parent, name};
      }
    }
    closedir(proc);
  }
  std::vector<int> found;
  for (const auto& [pid, info] : all) {
    for (int up = info.first; up > 1 && all.count(up) != 0; up = all[up].first) {
      if (up == root) {
        if (info.second.starts_with(prefix)) {
          found.push_back(pid);
        }
        break;
      }
    }
  }
  return found;
}

// The web processes of the program `root`.
inline std::vector<int> WebProcessesOf(int root) { return Descendants(root, "WebKitWebProces"); }

// The namespace of `kind` ("pid", "mnt", ...) process `pid` is in, as
// "pid:[4026531836]"; empty when it cannot be read.
inline std::string Namespace(int pid, const std::string& kind) {
  const std::string link = "/proc/" + std::to_string(pid) + "/ns/" + kind;
  char target[128] = {};
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace corvane::testing
