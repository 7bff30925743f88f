// dll_test.cpp: the DLL as a host's loader sees it: its string table (English, United Kingdom) and version
// resource. Its export table is sdk_export_table's; the Bluetooth exports without a radio are bt_test's.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "messages.h"

namespace {

// Loaded as a host loads it: the program calls no export, so nothing imports the DLL at start.
HMODULE Dll() {
  static const HMODULE dll = ::LoadLibraryW(L"KorvantaSDK.dll");
  return dll;
}

// Each block of 16 in English (UK), and no text for a number outside the table. The texts themselves, from
// the same resource scripts, are bt_win32_platform_test's (Win32.Texts).
TEST(Dll, StringTableIsTheMessageTable) {
  ASSERT_NE(nullptr, Dll());
  std::array<bool, 256> inTable{};
  for (const kv::MessageEntry& entry : kv::kMessageTable) {
    EXPECT_NE(nullptr, ::FindResourceExW(Dll(), MAKEINTRESOURCEW(6) /* RT_STRING */,
                                         MAKEINTRESOURCEW(entry.number / 16 + 1),
                                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)))
        << entry.number;
    inTable.at(entry.number) = true;
  }
  std::vector<wchar_t> text(8192);
  for (uint32_t number = 0; number < inTable.size(); ++number)
    EXPECT_TRUE(inTable[number] || ::LoadStringW(Dll(), number, text.data(), 8192) <= 0) << number;
}

TEST(Dll, VersionResource) {
  wchar_t path[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetModuleFileNameW(Dll(), path, MAX_PATH));
  DWORD ignored = 0;
  std::vector<unsigned char> block(::GetFileVersionInfoSizeW(path, &ignored));
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(0u, fixed->dwFileVersionLS);  // 1.39 itself is KVGetSdkLibraryVersion's, read from here (sdk_frame_test)
  EXPECT_EQ((1u << 16) | 39u, fixed->dwProductVersionMS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
  WORD* translation = nullptr;  // language, then code page
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
  EXPECT_EQ(0x0809, translation[0]);  // English (United Kingdom)
  EXPECT_EQ(1200, translation[1]);    // Unicode
  wchar_t* text = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &size));
  EXPECT_EQ(std::wstring(L"KorvantaSDK.dll"), text);
}

}  // namespace
