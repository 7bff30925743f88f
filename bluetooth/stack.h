// stack.h: the Bluetooth stack object (CBluetoothStack, CBluetoothStackMicrosoft) and the routines of the setup,
// the header the flows include: it brings the prompts, the text formatting and process_stack.h with it.
// Everything here decides; all platform work goes through the BtPlatform it holds.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "KorvantaSDK.h"
#include "bluetooth/platform.h"
#include "bluetooth/process_stack.h"
#include "bluetooth/prompts.h"
#include "bluetooth/text_format.h"

namespace kv::bt {

inline constexpr int32_t kMaxFoundDevices = 64;
inline constexpr uint16_t kMaxTimeoutMultiplier = 45;  // inquiry units of 1.28 s
inline constexpr int32_t kPortWorkCapacity = 32;       // work buffer of lookups that only test for a port

class CBluetoothStack {
 public:
  explicit CBluetoothStack(BtPlatform& platform);
  CBluetoothStack(const CBluetoothStack&) = delete;
  CBluetoothStack& operator=(const CBluetoothStack&) = delete;

  // The operations in their slot order; 2 and 3 are implemented here.
  virtual bool GetStackInfo(KVWChar* text, int32_t capacity) = 0;
  virtual int32_t GetRadioCount() = 0;
  virtual bool FindComPort(const uint64_t* address, KVWChar* text, int32_t capacity);
  virtual bool IsSearchDone();
  virtual bool AutoSetup(KVWChar* port, int32_t capacity, bool interactive, KVWindowHandle parent,
                         bool waitForPort) = 0;
  virtual bool SearchDevices(uint16_t timeoutMultiplier, bool interactive, KVWindowHandle parent) = 0;
  virtual bool PairNewDevice(KVWindowHandle parent, bool waitForPort) = 0;
  virtual bool AuthenticateDevice(BtDeviceRecord* device, bool interactive, KVWindowHandle parent,
                                  bool waitForPort) = 0;
  virtual bool RunAddDeviceWizard(KVWindowHandle parent) = 0;
  virtual bool RemoveAuthentications(bool interactive, KVWindowHandle parent) = 0;
  virtual bool SelectDevice(bool showAuthenticated, bool showRemembered, bool showUnknown, KVWindowHandle parent,
                            bool filterByName) = 0;
  virtual ~CBluetoothStack() = default;

  void ResetDeviceLists();
  int32_t GetNewDeviceCount() const;     // -1 before a completed search
  int32_t GetPairedDeviceCount() const;  // -1 before a completed search
  const BtDeviceRecord* GetSelectedDevice() const;  // null before a completed search

  // Read access for callers that report on the latest search.
  std::span<const BtDeviceRecord> FoundDevices() const;
  BtPlatform& Platform() { return m_platform; }

 protected:
  BtPlatform& m_platform;
  int32_t m_nPairedCount = 0;
  int32_t m_nNewCount = 0;
  BtDeviceRecord m_selectedDevice;
  bool m_bSearchDone = false;
  int32_t m_nFoundCount = 0;
  std::array<BtDeviceRecord, kMaxFoundDevices> m_foundDevices;
};

class CBluetoothStackMicrosoft final : public CBluetoothStack {
 public:
  using CBluetoothStack::CBluetoothStack;

  bool GetStackInfo(KVWChar* text, int32_t capacity) override;
  int32_t GetRadioCount() override;
  bool AutoSetup(KVWChar* port, int32_t capacity, bool interactive, KVWindowHandle parent,
                 bool waitForPort) override;
  bool SearchDevices(uint16_t timeoutMultiplier, bool interactive, KVWindowHandle parent) override;
  bool PairNewDevice(KVWindowHandle parent, bool waitForPort) override;
  bool AuthenticateDevice(BtDeviceRecord* device, bool interactive, KVWindowHandle parent,
                          bool waitForPort) override;
  bool RunAddDeviceWizard(KVWindowHandle parent) override;
  bool RemoveAuthentications(bool interactive, KVWindowHandle parent) override;
  bool SelectDevice(bool showAuthenticated, bool showRemembered, bool showUnknown, KVWindowHandle parent,
                    bool filterByName) override;
  // Kept for the slot after the common ones; no flow asks it.
  virtual bool HasVendorExtensions() { return false; }
};

// ---- Names, addresses, ports (free functions, no platform) ----

// The record's name as the platform's 248-unit field holds it: up to the first zero, at most 247 units.
std::u16string_view DeviceName(const BtDeviceRecord& device);
bool IsKorvantaDeviceName(const BtDeviceRecord& device);
bool DeviceSelectionFilter(void* context, const BtDeviceRecord* device);
// "00:11:22:33:44:AA": bytes 5 to 0 of the address.
std::u16string AddressText(uint64_t address);
// Empties the buffer (capacity at least 1) and writes the address text when capacity is at least 18.
void FormatBluetoothAddress(uint64_t address, KVWChar* buffer, int32_t capacity);
// "0011223344AA": the key a port's instance identifier carries.
std::u16string AddressKey(uint64_t address);
// The text between "(COM" and the next ")", or nothing when either is missing.
std::optional<std::u16string_view> ComPortFromFriendlyName(std::u16string_view friendlyName);

// ---- Routines over the platform ----

bool AuthenticationCallback(BtPlatform& platform, void* context, const BtAuthRequest* request);
// After a pairing: waits for pending driver installations, then looks for the port three times.
bool WaitForComPort(CBluetoothStack& stack, const uint64_t* address);

}  // namespace kv::bt
