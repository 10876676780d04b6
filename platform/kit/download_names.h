// Where a download goes and under which name: the rules, free of any toolkit.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace corvane {

// The longest file name the common Linux file systems take, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// A name a server or page suggested, made safe to save under: only its last
// path part, no control or text-direction characters, no leading dots or
// blanks, valid UTF-8, at most kMaxFileNameBytes bytes (cut between
// characters, the extension kept). "download" when nothing is left.
[[nodiscard]] std::string SafeFileName(std::string_view suggested);

// `name` (already safe) if `exists` says it is free, else the first free of
// "stem (1).ext", "stem (2).ext", ..., each within kMaxFileNameBytes bytes.
[[nodiscard]] std::string UniqueFileName(const std::string& name,
                                         const std::function<bool(const std::string&)>& exists);

// The folder a download is proposed in: the user's download folder when it is
// set and is not the home folder itself, else "Downloads" in the home folder.
[[nodiscard]] std::string DownloadsFolder(const char* userDownloadDir, const std::string& home);

// Whether a Content-Disposition header value asks for the body to be saved
// rather than shown ("attachment", in any case, with or without parameters).
[[nodiscard]] bool IsAttachment(std::string_view contentDisposition);

}  // namespace corvane
