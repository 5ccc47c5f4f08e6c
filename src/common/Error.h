// The one exception type of the core: it carries the Russian text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace valdrin::common {

class TValdrinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace valdrin::common
