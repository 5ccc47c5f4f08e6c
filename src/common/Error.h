// The one exception type of the core: it carries the Russian text the user sees.
#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace valdrin::common {

class TValdrinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline const char *const kOutOfMemoryMessage = "Недостаточно памяти";

// The text a front end shows for an exception it stopped an action with.
inline std::string ErrorText(const std::exception &e)
{
    return dynamic_cast<const std::bad_alloc *>(&e) ? kOutOfMemoryMessage : e.what();
}

} // namespace valdrin::common
