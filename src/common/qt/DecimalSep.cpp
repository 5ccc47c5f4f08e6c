#include "common/qt/DecimalSep.h"

#include <QLocale>
#include <QString>

namespace valdrin::common::qt {

char UserDecimalSep()
{
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() > 32 && point[0].unicode() < 127)
        return static_cast<char>(point[0].unicode());
    return '.';
}

} // namespace valdrin::common::qt
