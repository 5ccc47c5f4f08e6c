// Writing a whole file so that a failure never leaves it cut short.
//
// A regular file, or a name that does not exist yet, is written to a
// temporary file beside it (same folder, so the rename stays on one file
// system), flushed to disk and renamed over the target only when every byte
// is there; an existing file keeps its permissions. A device, a pipe or a
// terminal cannot be replaced and is written directly. A folder is refused.
// A symbolic link to a regular file replaces the file it points to.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace valdrin::common {

// Empty on success; otherwise the reason in Russian (the target as it was).
std::optional<std::string> WriteWholeFile(const std::string &fileName, std::string_view bytes);

// The same with the text streamed by write(out) in pieces, so that a large
// file is never held whole in memory. An exception from write leaves the
// target as it was (the temporary file removed) and reaches the caller.
std::optional<std::string> WriteWholeFileWith(
    const std::string &fileName, const std::function<void(std::ostream &)> &write);

} // namespace valdrin::common
