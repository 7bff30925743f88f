// win32_owners.h: RAII owners of the handles the Win32 Bluetooth backend opens (radios, find handles,
// device lists, modules, system texts, authentication registrations), so every path releases them.
// Owners only: no Bluetooth logic, no calls other than each handle's own release function.
#pragma once

#include <windows.h>
// windows.h first: the Bluetooth and setup headers rely on its types.
#include <bluetoothapis.h>
#include <setupapi.h>

#include <utility>

namespace kv::bt::win32 {

// Owner<Traits>: holds one handle of a kind, releases it once. Traits gives the handle type, the value meaning
// "none", and the release call.
template <typename Traits>
class Owner {
 public:
  using Handle = typename Traits::Handle;

  Owner() noexcept = default;
  explicit Owner(Handle handle) noexcept : handle_(handle) {}
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Owner(Owner&& other) noexcept : handle_(std::exchange(other.handle_, Traits::None())) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) {
      Reset(std::exchange(other.handle_, Traits::None()));
    }
    return *this;
  }
  ~Owner() { Reset(); }

  Handle Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != Traits::None(); }
  explicit operator bool() const noexcept { return Valid(); }

  // For calls that hand a new handle back through a pointer: releases the current one first.
  Handle* Receive() noexcept {
    Reset();
    return &handle_;
  }
  Handle Release() noexcept { return std::exchange(handle_, Traits::None()); }
  void Reset(Handle handle = Traits::None()) noexcept {
    if (handle_ != Traits::None()) {
      Traits::Close(handle_);
    }
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::None();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle None() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct RadioFindTraits {
  using Handle = HBLUETOOTH_RADIO_FIND;
  static Handle None() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::BluetoothFindRadioClose(h); }
};

struct DeviceFindTraits {
  using Handle = HBLUETOOTH_DEVICE_FIND;
  static Handle None() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::BluetoothFindDeviceClose(h); }
};

struct AuthRegistrationTraits {
  using Handle = HBLUETOOTH_AUTHENTICATION_REGISTRATION;
  static Handle None() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::BluetoothUnregisterAuthentication(h); }
};

// A device information list is "none" at INVALID_HANDLE_VALUE, which is what SetupDiGetClassDevsExW fails with.
struct DevInfoListTraits {
  using Handle = HDEVINFO;
  static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};

// A module loaded by LoadLibraryW; modules found with GetModuleHandle* are not owned and never go in here.
struct LoadedModuleTraits {
  using Handle = HMODULE;
  static Handle None() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

// A buffer that the system allocated for us (FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER).
struct LocalTextTraits {
  using Handle = wchar_t*;
  static Handle None() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::LocalFree(h); }
};

using UniqueKernelHandle = Owner<KernelHandleTraits>;
using UniqueRadioFind = Owner<RadioFindTraits>;
using UniqueDeviceFind = Owner<DeviceFindTraits>;
using UniqueAuthRegistration = Owner<AuthRegistrationTraits>;
using UniqueDevInfoList = Owner<DevInfoListTraits>;
using UniqueLoadedModule = Owner<LoadedModuleTraits>;
using UniqueLocalText = Owner<LocalTextTraits>;

// The devices that BluetoothSelectDevices handed back live until BluetoothSelectDevicesFree on the same
// parameters; this owner makes that call once the dialog has answered true.
class SelectedDevices {
 public:
  explicit SelectedDevices(BLUETOOTH_SELECT_DEVICE_PARAMS& params) noexcept : params_(&params) {}
  SelectedDevices(const SelectedDevices&) = delete;
  SelectedDevices& operator=(const SelectedDevices&) = delete;
  ~SelectedDevices() { ::BluetoothSelectDevicesFree(params_); }

 private:
  BLUETOOTH_SELECT_DEVICE_PARAMS* params_;
};

}  // namespace kv::bt::win32
