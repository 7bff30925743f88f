// dll_test.cpp: the DLL as a host's loader sees it: its string table (English, United Kingdom), version
// resource and exported names, and the Bluetooth exports on a computer without a radio (Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
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
  return units <= 0 ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), units);
}

// Every message whole (a text cut by the resource compiler or a short buffer shows), each block of 16 in
// English (UK), and no text for a number outside the table.
TEST(Dll, StringTableIsTheMessageTable) {
  ASSERT_NE(nullptr, Dll());
  std::array<bool, 256> inTable{};
  for (const kv::MessageEntry& entry : kv::kMessageTable) {
    EXPECT_TRUE(LoadFromDll(entry.number) == entry.text) << "message " << entry.number;
    EXPECT_NE(nullptr, ::FindResourceExW(Dll(), MAKEINTRESOURCEW(6) /* RT_STRING */,
                                         MAKEINTRESOURCEW(entry.number / 16 + 1),
                                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)))
        << entry.number;
    inTable.at(entry.number) = true;
  }
  for (uint32_t number = 0; number < inTable.size(); ++number) {
    EXPECT_TRUE(inTable[number] || LoadFromDll(number).empty()) << number;
  }
}

TEST(Dll, VersionResourceAndExports) {
  wchar_t path[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetModuleFileNameW(Dll(), path, MAX_PATH));
  DWORD ignored = 0;
  std::vector<unsigned char> block(::GetFileVersionInfoSizeW(path, &ignored));
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ((1u << 16) | 39u, fixed->dwFileVersionMS);  // 1.39.0.0
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
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
  for (const char* name : kExportNames) EXPECT_NE(nullptr, ::GetProcAddress(Dll(), name)) << name;
}

// Each Bluetooth export answers 0, leaves the caller's buffers as they were and shows no prompt.
TEST(Dll, BluetoothWithoutRadio) {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr) GTEST_SKIP() << "needs Wine";
  std::array<KVWChar, 64> a, b, c;
  for (auto* buffer : {&a, &b, &c}) buffer->fill(u'#');
  int32_t newCount = 5, pairedCount = 5;
  const struct {
    const char* call;
    int32_t answer;
  } calls[] = {{"KVIsBTAvailable", KVIsBTAvailable()},
               {"KVGetBTStackInfo", KVGetBTStackInfo(a.data(), 64)},
               {"KVSearchBTDevices", KVSearchBTDevices(&newCount, &pairedCount, 0, nullptr, 1)},
               {"KVGetBTKorvantaDevice", KVGetBTKorvantaDevice(a.data(), 64, b.data(), 64, c.data(), 64, 1)},
               {"KVAuthenticateBTDevice", KVAuthenticateBTDevice(nullptr, 1)},
               {"KVUnAuthenticateBTDevices", KVUnAuthenticateBTDevices(0, nullptr, 1)},
               {"KVAutoSetupBT", KVAutoSetupBT(a.data(), 64, 0, nullptr)},
               {"KVIsDeviceInstallInProgress", KVIsDeviceInstallInProgress(0)}};
  for (const auto& call : calls) EXPECT_EQ(0, call.answer) << call.call;
  EXPECT_EQ(-1, newCount);
  EXPECT_EQ(-1, pairedCount);
  for (auto* buffer : {&a, &b, &c}) EXPECT_EQ(std::u16string(64, u'#'), std::u16string(buffer->begin(), buffer->end()));
}

}  // namespace
