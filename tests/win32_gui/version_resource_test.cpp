// The version resource and the program icon of "Corvane Ombrel.exe", read
// back through the system's own functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/identity_values.h"
#include "tests/win32_gui/program_path.h"

namespace {

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path = corvane::test::ProgramPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0U) << "no version resource in the program";
    block.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  }

  std::wstring String(const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
    if (::VerQueryValueW(block.data(), query.c_str(), &value, &length) == FALSE || value == nullptr) {
      return L"<missing>";
    }
    return std::wstring(static_cast<const wchar_t*>(value));
  }

  std::vector<std::uint8_t> block;
};

TEST_F(VersionResource, FixedPartHoldsVersionOneAndDescribesAWindowsApplication) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDU);
  EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(0, 1));  // 1.0
  EXPECT_EQ(fixed.dwFileVersionLS, 0U);              // .0.0
  EXPECT_EQ(fixed.dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed.dwProductVersionLS, 0U);
  EXPECT_EQ(fixed.dwFileOS, 0x4U);
  EXPECT_EQ(fixed.dwFileType, 0x1U);
  EXPECT_EQ(fixed.dwFileFlags & fixed.dwFileFlagsMask, 0U);
  EXPECT_EQ(fixed.dwFileFlags, 0U);
}

TEST_F(VersionResource, StringTableForUsEnglishUnicodeHoldsTheProgramIdentity) {
  const std::pair<const wchar_t*, const wchar_t*> expected[] = {
      {L"CompanyName", L"Varnhollow Industries"},
      {L"ProductName", L"Corvane Ombrel"},
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
      {L"InternalName", L"Corvane Ombrel"},
      {L"OriginalFilename", L"Corvane Ombrel.exe"},
  };
  for (const auto& [name, text] : expected) {
    EXPECT_EQ(String(name), text) << "value " << std::string(name, name + wcslen(name));
  }
}

TEST_F(VersionResource, TranslationNamesTheStringTable) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_GE(length, 4U);
  const auto* pair = static_cast<const WORD*>(value);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 0x04B0);
}

// The icon group as stored in the program (GRPICONDIR).
#pragma pack(push, 2)
struct GroupEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
struct GroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
#pragma pack(pop)

BOOL CALLBACK FirstIconGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  *reinterpret_cast<LPWSTR*>(found) = name;
  return FALSE;
}

TEST(ProgramIcon, OneGroupOfThreeImagesWithTheDesignedSizesAndColourDepths) {
  const std::wstring path = corvane::test::ProgramPath();
  HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  LPWSTR group = nullptr;
  ::EnumResourceNamesW(module, RT_GROUP_ICON, FirstIconGroup, reinterpret_cast<LONG_PTR>(&group));
  ASSERT_NE(group, nullptr) << "no icon group";
  HRSRC found = ::FindResourceW(module, group, RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* header = static_cast<const GroupHeader*>(::LockResource(::LoadResource(module, found)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->type, 1);
  ASSERT_EQ(header->count, 3);
  const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
  struct Wanted {
    int size;
    int colours;
    int bits;
  };
  const Wanted wanted[] = {{32, 2, 1}, {32, 16, 4}, {16, 16, 4}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].width, wanted[i].size);
    EXPECT_EQ(entries[i].height, wanted[i].size);
    EXPECT_EQ(entries[i].colours, wanted[i].colours);
    EXPECT_EQ(entries[i].bitCount, wanted[i].bits);
    // The image itself is there too.
    EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(entries[i].id), RT_ICON), nullptr);
  }
  ::FreeLibrary(module);
}

}  // namespace
