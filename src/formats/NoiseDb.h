// Noise spectra as the field exchanges them: power spectral density of
// acceleration in dB re 1 (m/s^2)^2/Hz against frequency (Hz) or period (s).
// Two layouts: the MUSTANG noise-psd text export ("frequency, power" pairs
// under "#" comment lines) and a plain text of two or more columns whose
// header names the first one period or frequency. Read into the noise
// page's spectrum as velocity power, (m/s)^2/Hz:
//   P_v = 10^(dB/10) / (2*pi*f)^2.
#pragma once

#include <string>
#include <string_view>

#include "noise/NoiseSpectrum.h"

namespace valdrin::formats {

enum class TSpectrumUnit {
    VelocityPower, // (m/s)^2/Hz, the noise page's own files
    AccelerationDb, // dB re 1 (m/s^2)^2/Hz
};

// From the header ("dB", "дБ", or a MUSTANG "power" column) and, failing
// that, from the numbers: powers that are all negative can only be dB.
TSpectrumUnit DetectSpectrumUnit(std::string_view bytes);
// The same from the first 64 KiB of the file at path; a file that cannot be
// read is VelocityPower, so that the page's own reader reports it.
TSpectrumUnit DetectSpectrumFileUnit(const std::string &path);

// The spectrum in dB as velocity power, rows in ascending frequency (a
// stable sort: equal frequencies keep the file's order). Row 0 is a
// placeholder at 0 Hz with zero power, since the noise page never draws its
// first row (the DC row of its own files); the file's rows follow it.
// Throws common::TValdrinError naming the file and line.
noise::TNoiseSpectrum ParseDbSpectrum(std::string_view bytes, const std::string &fileName);
noise::TNoiseSpectrum ReadDbSpectrumFile(const std::string &path);

} // namespace valdrin::formats
