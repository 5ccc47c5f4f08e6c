// Feeds arbitrary bytes to the dB spectrum reader and the unit detection.
// A spectrum that reads is rectangular, ascending in frequency and finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/Error.h"
#include "formats/NoiseDb.h"

using namespace valdrin::formats;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    (void)DetectSpectrumUnit(bytes);
    try {
        const auto s = ParseDbSpectrum(bytes, "fuzz");
        if (s.Names.size() != s.Data.size() || s.Freq.size() < 2)
            std::abort();
        for (std::size_t r = 1; r < s.Freq.size(); ++r)
            if (!(s.Freq[r] >= s.Freq[r - 1]) || !std::isfinite(s.Freq[r]))
                std::abort();
        for (const auto &column : s.Data)
            for (std::size_t r = 0; r < column.size(); ++r)
                if (column.size() != s.Freq.size() || !std::isfinite(column[r]))
                    std::abort();
    } catch (const valdrin::common::TValdrinError &) {
    }
    return 0;
}
