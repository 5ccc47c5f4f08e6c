// The user's decimal separator, as the Qt-free number routines take it.
#pragma once

namespace valdrin::common::qt {

// The default locale's decimal separator when it is one printable ASCII
// character; otherwise the point, which every number routine also reads.
char UserDecimalSep();

} // namespace valdrin::common::qt
