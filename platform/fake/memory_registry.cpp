#include "platform/fake/memory_registry.h"

#include "platform/kit/registry_path.h"

#include <cstring>
#include <stdexcept>

namespace corvane {

namespace {

bool IsRoot(Registry::Key key) {
  return key == Registry::kClassesRoot || key == Registry::kCurrentUser ||
         key == Registry::kLocalMachine || key == Registry::kUsers;
}

}  // namespace

bool MemoryRegistry::Resolve(Key root, const std::string& subKey, std::string& path) const {
  if (IsRoot(root)) {
    path = JoinRegistryPath("ROOT" + std::to_string(root), subKey);
    return true;
  }
  const auto open = open_.find(root);
  if (open == open_.end()) {
    return false;
  }
  path = JoinRegistryPath(open->second, subKey);
  return true;
}

std::int32_t MemoryRegistry::OpenKey(Key root, const std::string& subKey, std::uint32_t /*options*/,
                                     std::uint32_t access, Key& key) {
  access_.push_back(access);
  std::string path;
  if (!Resolve(root, subKey, path)) {
    return reg::kInvalidHandle;
  }
  if (!IsRoot(root) || path != "ROOT" + std::to_string(root)) {
    if (keys_.count(path) == 0) {
      return reg::kFileNotFound;
    }
  }
  if (refuseWriteAccess && (access & ~reg::kKeyRead) != 0) {
    return reg::kAccessDenied;
  }
  key = next_;
  next_ += 4;
  open_[key] = path;
  return reg::kSuccess;
}

std::int32_t MemoryRegistry::QueryValue(Key key, const std::string& name, std::uint32_t& type,
                                        std::uint8_t* data, std::uint32_t& size) {
  std::string path;
  if (!Resolve(key, {}, path)) {
    return reg::kInvalidHandle;
  }
  const auto value = values_.find({path, FoldRegistryName(name)});
  if (value == values_.end()) {
    return reg::kFileNotFound;
  }
  type = value->second.type;
  const std::string& bytes = value->second.bytes;
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (data != nullptr && size < needed) {
    size = needed;
    return reg::kMoreData;
  }
  if (data != nullptr && needed > 0) {
    std::memcpy(data, bytes.data(), needed);
  }
  size = needed;
  return reg::kSuccess;
}

std::int32_t MemoryRegistry::CloseKey(Key key) {
  if (open_.erase(key) != 0 || IsRoot(key)) {
    return reg::kSuccess;
  }
  return reg::kInvalidHandle;
}

void MemoryRegistry::CreateKey(Key root, const std::string& subKey) {
  std::string path;
  if (!Resolve(root, subKey, path)) {
    throw std::invalid_argument("no such root or open key");
  }
  // The key and every key above it, down to the root.
  for (std::size_t end = path.size(); end != std::string::npos && end > 0;
       end = path.rfind('\\', end - 1)) {
    const std::string upper = path.substr(0, end);
    if (upper.find('\\') == std::string::npos) {
      break;  // the root itself
    }
    keys_.insert(upper);
  }
}

void MemoryRegistry::SetValue(Key root, const std::string& subKey, const std::string& name,
                              std::uint32_t type, std::string bytes) {
  CreateKey(root, subKey);
  std::string path;
  Resolve(root, subKey, path);
  values_[{path, FoldRegistryName(name)}] = Value{type, std::move(bytes)};
}

void MemoryRegistry::SetString(Key root, const std::string& subKey, const std::string& name,
                               const std::string& text, bool withTerminator) {
  std::string bytes = text;
  if (withTerminator) {
    bytes.push_back('\0');
  }
  SetValue(root, subKey, name, reg::kSz, std::move(bytes));
}

void MemoryRegistry::SetDword(Key root, const std::string& subKey, const std::string& name,
                              std::uint32_t value) {
  std::string bytes(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
  }
  SetValue(root, subKey, name, reg::kDword, std::move(bytes));
}

std::string MemoryRegistry::ToAnsi(const std::string& text) const {
  std::string ansi;
  ansi.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    std::uint32_t code = lead;
    if (lead >= 0xF0) {
      length = 4;
      code = lead & 0x07U;
    } else if (lead >= 0xE0) {
      length = 3;
      code = lead & 0x0FU;
    } else if (lead >= 0xC0) {
      length = 2;
      code = lead & 0x1FU;
    } else if (lead >= 0x80) {
      ansi += '?';  // a stray continuation byte
      ++i;
      continue;
    }
    bool valid = i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0U) == 0x80U;
      code = (code << 6) | (next & 0x3FU);
    }
    if (!valid) {
      ansi += '?';
      ++i;
      continue;
    }
    ansi += code <= 0xFF ? static_cast<char>(code) : '?';
    i += length;
  }
  return ansi;
}

std::string MemoryRegistry::FromAnsi(const std::string& bytes) const {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0U | (byte >> 6));
      text += static_cast<char>(0x80U | (byte & 0x3FU));
    }
  }
  return text;
}

}  // namespace corvane
