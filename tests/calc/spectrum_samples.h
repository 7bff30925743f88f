// spectrum_samples.h: impedance spectra shared by the calculation tests, given bit for bit.
// Points are R-infinity + (R0 - R-infinity) / (1 + (j f / fc)^a) with R0 600, R-infinity 400, fc 50, as
// magnitude and phase rounded to single precision, so every build reads the same inputs.
#pragma once

#include "KorvantaSDK.h"

namespace kv::calc::testing {

// a = 1: an arc centred on the real axis at 500 with radius 100.
inline constexpr KVSpectrumPoint kColeSpectrum[] = {
    {5.0f, 0x1.2b2c7cp+9f, -0x1.e5823ap+0f},    // 598.3476 ohm, -1.8965 deg
    {10.0f, 0x1.28c70ep+9f, -0x1.db8e98p+1f},   // 593.5551 ohm, -3.7153 deg
    {20.0f, 0x1.2046d4p+9f, -0x1.b7adf4p+2f},   // 576.5534 ohm, -6.8700 deg
    {50.0f, 0x1.fde6e6p+8f, -0x1.69eaf8p+3f},   // 509.9020 ohm, -11.3099 deg
    {100.0f, 0x1.bf36aep+8f, -0x1.49c14ep+3f},  // 447.2136 ohm, -10.3048 deg
    {200.0f, 0x1.9e71fp+8f, -0x1.a1446ep+2f},   // 414.4451 ohm, -6.5198 deg
    {500.0f, 0x1.9277b6p+8f, -0x1.68fb6ap+1f},  // 402.4676 ohm, -2.8202 deg
};

// a = 0.8 and one more frequency, 1000: the circle fit does not meet its tolerance in 256 passes.
inline constexpr KVSpectrumPoint kDepressedSpectrum[] = {
    {5.0f, 0x1.25b594p+9f, -0x1.4f3f56p+1f},     // 587.4186 ohm, -2.6191 deg
    {10.0f, 0x1.1fd2b8p+9f, -0x1.0c6efap+2f},    // 575.6462 ohm, -4.1943 deg
    {20.0f, 0x1.14cb28p+9f, -0x1.8d0086p+2f},    // 553.5872 ohm, -6.2032 deg
    {50.0f, 0x1.f94046p+8f, -0x1.0890fcp+3f},    // 505.2511 ohm, -8.2677 deg
    {100.0f, 0x1.d0c59p+8f, -0x1.00a0d4p+3f},    // 464.7717 ohm, -8.0196 deg
    {200.0f, 0x1.b2bf0ap+8f, -0x1.93fd6ap+2f},   // 434.7463 ohm, -6.3123 deg
    {500.0f, 0x1.9e10e8p+8f, -0x1.dbc514p+1f},   // 414.0660 ohm, -3.7170 deg
    {1000.0f, 0x1.972a9ep+8f, -0x1.2509d6p+1f},  // 407.1665 ohm, -2.2894 deg
};

}  // namespace kv::calc::testing
