// The names and the folder a download is proposed with.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/kit/download_names.h"

namespace corvane {
namespace {

bool ValidUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (at + length > text.size()) {
      return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
        return false;
      }
    }
    at += length;
  }
  return true;
}

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) {
    result += text;
  }
  return result;
}

TEST(DownloadNames, SuggestedNamesAreMadeSafe) {
  const std::string e = "\xC3\xA9";  // é, two bytes
  struct Case {
    std::string suggested;
    std::string safe;
  };
  const std::vector<Case> cases = {
      {"report.zip", "report.zip"},
      {"../../.bashrc", "bashrc"},
      {"/etc/passwd", "passwd"},
      {"..\\..\\Start Menu\\evil.exe", "evil.exe"},
      {"dir/", "download"},
      {"..", "download"},
      {"", "download"},
      {" . hidden.txt ", "hidden.txt"},
      {"a\nb\tc\177d\r.txt", "abcd.txt"},
      {"bell\007\033[31m.txt", "bell[31m.txt"},
      {"c1\xC2\x85x.txt", "c1x.txt"},             // U+0085, a C1 control
      {"photo\xE2\x80\xAEgpj.exe", "photogpj.exe"},  // U+202E turns the text round
      {"caf" + e + ".txt", "caf" + e + ".txt"},
      {"bad\xFF\xC3(.txt", "bad__(.txt"},  // bytes that are no characters
      {"over\xC0\xAFlong", "over__long"},  // an overlong '/'
      {std::string(300, 'a') + ".zip", std::string(251, 'a') + ".zip"},
      {std::string(300, 'a'), std::string(255, 'a')},
      {"x" + Repeat(e, 200) + ".pdf", "x" + Repeat(e, 125) + ".pdf"},  // cut between characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.suggested);
    const std::string safe = SafeFileName(c.suggested);
    EXPECT_EQ(safe, c.safe);
    EXPECT_LE(safe.size(), kMaxFileNameBytes);
    EXPECT_TRUE(ValidUtf8(safe));
  }
}

TEST(DownloadNames, ATakenNameGetsTheFirstFreeNumber) {
  const std::string longStem(260, 'b');
  struct Case {
    std::string name;
    std::set<std::string> taken;
    std::string unique;
  };
  const std::vector<Case> cases = {
      {"a.zip", {}, "a.zip"},
      {"a.zip", {"a.zip"}, "a (1).zip"},
      {"a.zip", {"a.zip", "a (1).zip", "a (2).zip"}, "a (3).zip"},
      {"a.zip", {"a (1).zip"}, "a.zip"},
      {"notes", {"notes"}, "notes (1)"},
      {"archive.tar.gz", {"archive.tar.gz"}, "archive.tar (1).gz"},
      {SafeFileName(longStem + ".zip"),
       {SafeFileName(longStem + ".zip")},
       std::string(247, 'b') + " (1).zip"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string unique =
        UniqueFileName(c.name, [&](const std::string& n) { return c.taken.contains(n); });
    EXPECT_EQ(unique, c.unique);
    EXPECT_LE(unique.size(), kMaxFileNameBytes);
  }
}

TEST(DownloadNames, TheFolderIsTheUsersDownloadFolderOrOneInTheHomeFolder) {
  struct Case {
    const char* userDir;
    std::string home;
    std::string folder;
  };
  const std::vector<Case> cases = {
      {"/home/u/Téléchargements", "/home/u", "/home/u/Téléchargements"},
      {"/data/dl/", "/home/u", "/data/dl"},
      {nullptr, "/home/u", "/home/u/Downloads"},
      {"", "/home/u/", "/home/u/Downloads"},
      // Set to the home folder itself: that is no download folder.
      {"/home/u/", "/home/u", "/home/u/Downloads"},
      {nullptr, "/", "/Downloads"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userDir != nullptr ? c.userDir : "(unset)");
    EXPECT_EQ(DownloadsFolder(c.userDir, c.home), c.folder);
  }
}

TEST(DownloadNames, AttachmentsAreRecognisedByTheirDispositionType) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"attachment", true},
      {"Attachment; filename=\"a.zip\"", true},
      {"  ATTACHMENT ;filename=a", true},
      {"inline", false},
      {"inline; filename=\"attachment\"", false},
      {"attachments", false},
      {"", false},
  };
  for (const auto& [header, attachment] : cases) {
    SCOPED_TRACE(header);
    EXPECT_EQ(IsAttachment(header), attachment);
  }
}

}  // namespace
}  // namespace corvane
