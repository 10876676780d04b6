#include "platform/kit/download_names.h"

#include <algorithm>

namespace corvane {

namespace {

// The length of the valid UTF-8 sequence at `text[at]` and its code point, or
// 0 when the bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

// Characters that never go into a file name: controls (C0, DEL, C1) and the
// text-direction marks that can make "gpj.exe" read as "exe.jpg".
bool Unwanted(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x200E || code == 0x200F ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// The longest start of `text` (valid UTF-8) of at most `bytes` bytes that
// does not cut a character.
std::string_view CutUtf8(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) {
    return text;
  }
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return text.substr(0, end);
}

// The extension kept when a name is cut or numbered: from the last dot, if
// the part before it is not empty and the extension is short.
std::size_t ExtensionStart(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 16) {
    return name.size();
  }
  return dot;
}

// stem + tag + extension, the stem cut so that the whole fits.
std::string Fit(std::string_view name, const std::string& tag) {
  const std::size_t split = ExtensionStart(name);
  const std::string_view stem = name.substr(0, split);
  const std::string_view extension = name.substr(split);
  const std::size_t room = kMaxFileNameBytes - tag.size() - extension.size();
  std::string result(CutUtf8(stem, room));
  result += tag;
  result += extension;
  return result;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string SafeFileName(std::string_view suggested) {
  if (const std::size_t slash = suggested.find_last_of("/\\"); slash != std::string_view::npos) {
    suggested.remove_prefix(slash + 1);
  }
  std::string clean;
  for (std::size_t at = 0; at < suggested.size();) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(suggested, at, code);
    if (length == 0) {
      clean += '_';  // a byte that is no character
      ++at;
      continue;
    }
    if (!Unwanted(code)) {
      clean.append(suggested.substr(at, length));
    }
    at += length;
  }
  const auto first =
      std::find_if(clean.begin(), clean.end(), [](char c) { return c != '.' && !IsBlank(c); });
  clean.erase(clean.begin(), first);
  while (!clean.empty() && IsBlank(clean.back())) {
    clean.pop_back();
  }
  if (clean.empty()) {
    return "download";
  }
  return Fit(clean, "");
}

std::string UniqueFileName(const std::string& name,
                           const std::function<bool(const std::string&)>& exists) {
  std::string candidate = name;
  for (int n = 1; exists(candidate) && n < 10000; ++n) {
    candidate = Fit(name, " (" + std::to_string(n) + ")");
  }
  return candidate;
}

std::string DownloadsFolder(const char* userDownloadDir, const std::string& home) {
  const auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') {
      path.pop_back();
    }
    return path;
  };
  if (userDownloadDir != nullptr && *userDownloadDir != '\0' &&
      trimmed(userDownloadDir) != trimmed(home)) {
    return trimmed(userDownloadDir);
  }
  return trimmed(home) == "/" ? "/Downloads" : trimmed(home) + "/Downloads";
}

bool IsAttachment(std::string_view contentDisposition) {
  std::string_view type = contentDisposition.substr(0, contentDisposition.find(';'));
  while (!type.empty() && IsBlank(type.front())) {
    type.remove_prefix(1);
  }
  while (!type.empty() && IsBlank(type.back())) {
    type.remove_suffix(1);
  }
  constexpr std::string_view kAttachment = "attachment";
  return type.size() == kAttachment.size() &&
         std::equal(type.begin(), type.end(), kAttachment.begin(), [](char a, char b) {
           return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
         });
}

}  // namespace corvane
