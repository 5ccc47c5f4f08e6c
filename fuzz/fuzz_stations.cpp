// Feeds arbitrary bytes to one station-list reader (chosen at build time).
// A list that reads is whole and within the table's bounds, and its CSV
// reads back to the same CSV.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "common/Error.h"
#include "formats/Stations.h"

using namespace valdrin::formats;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string Csv(const TStationTable &t)
{
    std::ostringstream out;
    WriteStationsCsv(out, t);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    TStationTable t;
    try {
        t = VALDRIN_FUZZ_READER(bytes, "fuzz");
    } catch (const valdrin::common::TValdrinError &) {
        return 0;
    }
    Check(!t.Rows.empty() && t.Rows.size() <= static_cast<std::size_t>(kMaxImportStations));
    for (const auto &r : t.Rows) {
        Check(!r.Name.empty());
        Check(std::isfinite(r.X) && std::isfinite(r.Y) && std::isfinite(r.Z));
        if (t.Degrees)
            Check(r.Y >= -90 && r.Y <= 90);
    }
    bool lineBreak = false; // a quoted line break is beyond the CSV reader
    for (const auto &r : t.Rows)
        lineBreak = lineBreak || r.Name.find_first_of("\r\n") != std::string::npos;
    if (!lineBreak) {
        const std::string csv = Csv(t);
        Check(Csv(ParseStationsCsv(csv, "back")) == csv);
    }
    return 0;
}
