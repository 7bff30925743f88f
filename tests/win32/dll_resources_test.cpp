// dll_resources_test.cpp: the DLL's resources and exports as the platform's loader shows them to a host:
// every message of the string table, in English (United Kingdom); the version resource; the 32 names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KorvantaSDK.h"
#include "messages.h"

namespace {

const char* const kExportNames[] = {
#include "export_names.inc"
};

HMODULE Dll() { return ::GetModuleHandleW(L"KorvantaSDK.dll"); }

std::u16string LoadFromDll(uint32_t number) {
  std::vector<wchar_t> buffer(8192);
  const int units = ::LoadStringW(Dll(), number, buffer.data(), static_cast<int>(buffer.size()));
  if (units <= 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<size_t>(units));
}

bool InTable(uint32_t number) {
  return std::any_of(std::begin(kv::kMessageTable), std::end(kv::kMessageTable),
                     [number](const kv::MessageEntry& e) { return e.number == number; });
}

TEST(DllModule, IsLoadedUnderItsOwnName) { ASSERT_NE(nullptr, Dll()); }

// ---- String table ----

class StringTable : public ::testing::TestWithParam<kv::MessageEntry> {};

TEST_P(StringTable, LoadStringGivesTheTextExactly) {
  const kv::MessageEntry entry = GetParam();
  const std::u16string loaded = LoadFromDll(entry.number);
  EXPECT_EQ(entry.text.size(), loaded.size());
  EXPECT_TRUE(loaded == entry.text) << "message " << entry.number << " differs from the table";
}

// Each block of 16 strings is a resource of its own; every block the table uses must be English (UK).
TEST_P(StringTable, BlockIsEnglishUnitedKingdom) {
  const uint32_t block = GetParam().number / 16 + 1;
  EXPECT_NE(nullptr, ::FindResourceExW(Dll(), MAKEINTRESOURCEW(6) /* RT_STRING */,
                                       MAKEINTRESOURCEW(block), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)));
}

INSTANTIATE_TEST_SUITE_P(Messages, StringTable, ::testing::ValuesIn(kv::kMessageTable),
                         [](const auto& p) { return "Message" + std::to_string(p.param.number); });

// The lengths stated for the two long messages, counted from their published texts, and their last words:
// a text cut by the resource compiler or a too-small buffer shows here.
TEST(StringTableLongMessages, Messages63And66AreWhole) {
  const std::u16string m63 = LoadFromDll(63);
  const std::u16string m66 = LoadFromDll(66);
  EXPECT_EQ(1622u, m63.size());
  EXPECT_EQ(1231u, m66.size());
  EXPECT_TRUE(m63.starts_with(u"No Korvanta devices could be found.\n"));
  EXPECT_TRUE(m63.ends_with(u"please ensure it is connected to your computer now."));
  EXPECT_TRUE(m66.starts_with(u"No Bluetooth radio support could be found"));
  EXPECT_TRUE(m66.ends_with(u"This procedure is documented in the Korvanta product manual."));
}

// Line breaks reach the host as single line feeds, not as the two characters of the escape.
TEST(StringTableLongMessages, LineBreaksAreLineFeeds) {
  const std::u16string m57 = LoadFromDll(57);
  EXPECT_EQ(u"Found New Device: %s\nAddress: %s\n\nWould you like to pair (authenticate) this device?", m57);
  EXPECT_EQ(std::u16string::npos, LoadFromDll(66).find(u"\\n"));
}

// No number outside the table has a text: nothing stray was compiled in.
TEST(StringTableLongMessages, NumbersOutsideTheTableHaveNoText) {
  for (uint32_t number = 0; number < 256; ++number) {
    if (InTable(number)) continue;
    EXPECT_TRUE(LoadFromDll(number).empty()) << "unexpected text for " << number;
  }
}

// ---- Version resource ----

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameW(Dll(), path, MAX_PATH));
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_NE(0u, size);
    block_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, block_.data()));
  }
  std::wstring Query(const wchar_t* key) {
    wchar_t* value = nullptr;
    UINT units = 0;
    if (!::VerQueryValueW(block_.data(), key, reinterpret_cast<void**>(&value), &units) || value == nullptr) return {};
    return std::wstring(value);
  }
  std::vector<unsigned char> block_;
};

TEST_F(VersionResource, FileAndProductVersionAre1_39_0_0) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(block_.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  ASSERT_GE(size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  // 1.39.0.0: the high words of the most and least significant halves are 1 and 0, the low words 39 and 0.
  EXPECT_EQ((1u << 16) | 39u, fixed->dwFileVersionMS);
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
  EXPECT_EQ((1u << 16) | 39u, fixed->dwProductVersionMS);
  EXPECT_EQ(0u, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
}

TEST_F(VersionResource, StringInformationIsEnglishUnitedKingdomUnicode) {
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translation = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
  ASSERT_EQ(sizeof(Translation), size);
  EXPECT_EQ(0x0809, translation->language);  // English (United Kingdom)
  EXPECT_EQ(1200, translation->codePage);    // Unicode
  EXPECT_EQ(L"1.39.0.0", Query(L"\\StringFileInfo\\080904b0\\FileVersion"));
  EXPECT_EQ(L"KorvantaSDK.dll", Query(L"\\StringFileInfo\\080904b0\\OriginalFilename"));
}

TEST(LibraryVersionThroughDll, Is1And39) {
  uint32_t major = 0;
  uint32_t minor = 0;
  ASSERT_EQ(0, KVGetSdkLibraryVersion(&major, &minor));
  EXPECT_EQ(1u, major);
  EXPECT_EQ(39u, minor);
}

// ---- Exports ----

// The loader finds each of the 32 names undecorated; the export table check reads the same list offline.
TEST(DllExports, EveryNameResolves) {
  EXPECT_EQ(32u, std::size(kExportNames));
  for (const char* name : kExportNames) {
    EXPECT_NE(nullptr, reinterpret_cast<void*>(::GetProcAddress(Dll(), name))) << name;
  }
}

// The export directory of the loaded image: exactly those names, in ascending order.
TEST(DllExports, ExportDirectoryHoldsExactlyTheNamesInOrder) {
  const auto* base = reinterpret_cast<const unsigned char*>(Dll());
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(0u, entry.VirtualAddress);
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> names;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
  }
  std::vector<std::string> expected(std::begin(kExportNames), std::end(kExportNames));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, names);
  EXPECT_EQ(32u, exports->NumberOfFunctions);
}

}  // namespace
