// Test fixture that runs a case once with a point and once with a comma as
// the user's decimal separator.
#pragma once

#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

class LocaleTest : public ::testing::TestWithParam<QLocale::Language> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(GetParam())); }
    void TearDown() override { QLocale::setDefault(QLocale(QLocale::English)); }

    // A number text written with a point, in the current separator.
    static QString N(const char *text)
    {
        return QString::fromUtf8(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
    }
    // The separator the current locale does not use.
    static QString OtherSep()
    {
        return QLocale().decimalPoint() == QLatin1String(".") ? QStringLiteral(",")
                                                              : QStringLiteral(".");
    }
};

inline std::string LocaleName(const ::testing::TestParamInfo<QLocale::Language> &info)
{
    return info.param == QLocale::English ? "Point" : "Comma";
}

#define VALDRIN_LOCALES(Suite)                                                                     \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Separators, Suite, ::testing::Values(QLocale::English, QLocale::Russian), LocaleName)
