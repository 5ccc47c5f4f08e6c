#include <gtest/gtest.h>

#include "TempDirFixture.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include <unistd.h>

#include "common/Error.h"
#include "params/Cp1251.h"
#include "params/IniFile.h"

using namespace valdrin::params;
namespace fs = std::filesystem;

namespace {

class IniFileTest : public TempDirFixture {
protected:
    IniFileTest()
        : TempDirFixture("valdrin_ini_")
    {
    }
};

} // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyReadsTheDefault)
{
    const TIniFile missing(Path("none.ini"));
    EXPECT_EQ(missing.ReadString("S", "K", "def"), "def");
    EXPECT_EQ(missing.ReadInteger("S", "K", 7), 7);
    EXPECT_FALSE(missing.SectionExists("S"));

    const auto ini = TIniFile::FromBytes("[S]\r\nK=v\r\nN=12\r\nBad=1x\r\n");
    EXPECT_EQ(ini.ReadString("S", "K", "def"), "v");
    EXPECT_EQ(ini.ReadString("S", "Other", "def"), "def");
    EXPECT_EQ(ini.ReadString("T", "K", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("S", "N", 0), 12);
    EXPECT_EQ(ini.ReadInteger("S", "Bad", -1), -1);
    EXPECT_EQ(ini.ReadInteger("S", "K", 3), 3);
}

TEST_F(IniFileTest, NewFileHoldsKeysInTheOrderOfTheirFirstWriting)
{
    TIniFile ini(Path("new.ini"));
    ini.WriteString("Norbek\\Valdrin", "B", "2");
    ini.WriteString("CooGrid", "Sta1", "0;1");
    ini.WriteString("Norbek\\Valdrin", "A", "1");
    ini.WriteString("Norbek\\Valdrin", "B", "3"); // updates, does not move
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(Path("new.ini")),
        "[Norbek\\Valdrin]\r\nB=3\r\nA=1\r\n\r\n[CooGrid]\r\nSta1=0;1\r\n");
    const TIniFile back(Path("new.ini"));
    EXPECT_EQ(back.ReadString("norbek\\valdrin", "b", ""), "3"); // ASCII case does not matter
}

TEST_F(IniFileTest, SavingIntoAFileUpdatesInPlaceAndKeepsEveryOtherLine)
{
    const std::string original = "; comment\n"
                                 "[Other]\n"
                                 "X = keep me \n"
                                 "\n"
                                 "[S]\n"
                                 "A=old\n"
                                 "# note\n"
                                 "C=3\n"
                                 "\n"
                                 "garbage line without equals\n"
                                 "[Last]\n"
                                 "Z=9"; // no line end at the end of the file
    WriteBytes(Path("f.ini"), original);
    TIniFile ini(Path("f.ini"));
    ini.WriteString("S", "A", "new");
    ini.WriteString("S", "B", "added");
    ini.WriteString("Last", "Y", "8");
    ini.WriteString("Fresh", "K", "v");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(Path("f.ini")),
        "; comment\n"
        "[Other]\n"
        "X = keep me \n"
        "\n"
        "[S]\n"
        "A=new\n"
        "# note\n"
        "C=3\n"
        "B=added\r\n"
        "\n"
        "garbage line without equals\n"
        "[Last]\n"
        "Z=9\r\n"
        "Y=8\r\n"
        "\r\n"
        "[Fresh]\r\n"
        "K=v\r\n");
    // Keys are trimmed, values are taken as written.
    EXPECT_EQ(ini.ReadString("Other", "X", ""), " keep me ");
}

TEST_F(IniFileTest, RepeatedKeysAndSectionsReadAndWriteTheirFirstOccurrence)
{
    auto ini = TIniFile::FromBytes("[S]\nK=first\nK=second\n[T]\nA=1\n[S]\nK=third\nL=only here\n");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "first");
    EXPECT_EQ(ini.ReadString("S", "L", ""), "only here");
    ini.WriteString("S", "K", "x");
    ini.WriteString("S", "M", "new");
    EXPECT_EQ(ini.Bytes(), "[S]\nK=x\nK=second\nM=new\r\n[T]\nA=1\n[S]\nK=third\nL=only here\n");
}

TEST_F(IniFileTest, LineBreaksInAValueCannotMakeLinesOfTheirOwn)
{
    TIniFile ini;
    ini.WriteString("S", "K", "a\r\n[S]\nFormVersion=-1");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "a  [S] FormVersion=-1");
    EXPECT_FALSE(ini.ValueExists("S", "FormVersion"));
}

TEST_F(IniFileTest, ReadsWindows1251OrWholeFileUtf8AndWritesWindows1251)
{
    const std::string cp1251 = "[CooGrid]\r\nSta1=0;1;2;3;\xD1\xF2\xE0\xED\xF6\xE8\xFF\r\n";
    const std::string utf8 = "[CooGrid]\r\nSta1=0;1;2;3;Станция\r\n";
    WriteBytes(Path("cp.ini"), cp1251);
    WriteBytes(Path("u8.ini"), utf8);
    WriteBytes(Path("bom.ini"), "\xEF\xBB\xBF" + utf8);
    for (const char *name : { "cp.ini", "u8.ini", "bom.ini" }) {
        TIniFile ini(Path(name));
        EXPECT_EQ(ini.ReadString("CooGrid", "Sta1", ""), "0;1;2;3;Станция") << name;
        ini.WriteString("CooGrid", "Sta2", "1;Ёлка");
        ini.UpdateFile();
        EXPECT_EQ(ReadBytes(Path(name)), cp1251 + "Sta2=1;\xA8\xEB\xEA\xE0\r\n") << name;
    }
    // One stray byte makes the whole file Windows-1251...
    const auto mixed = TIniFile::FromBytes("[S]\nA=Станция\nB=\xC0\n");
    EXPECT_EQ(mixed.ReadString("S", "B", ""), "А");
    EXPECT_EQ(mixed.ReadString("S", "A", ""), Cp1251ToUtf8("Станция"));
    // ...unless the file starts with the byte-order mark: then it is UTF-8,
    // and the stray byte alone reads as its Windows-1251 character.
    const auto marked = TIniFile::FromBytes("\xEF\xBB\xBF[S]\nA=Станция\nB=\xC0\n");
    EXPECT_EQ(marked.ReadString("S", "A", ""), "Станция");
    EXPECT_EQ(marked.ReadString("S", "B", ""), "А");
}

TEST_F(IniFileTest, AFileThatCannotBeWrittenRaisesAndKeepsWhatItHeld)
{
    TIniFile noDir(Path("no/such/dir/x.ini"));
    noDir.WriteString("S", "K", "v");
    try {
        noDir.UpdateFile();
        FAIL() << "no error";
    } catch (const valdrin::common::TValdrinError &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + Path("no/such/dir/x.ini"));
    }

    fs::create_directory(Path("adir"));
    TIniFile dir(Path("adir"));
    dir.WriteString("S", "K", "v");
    EXPECT_THROW(dir.UpdateFile(), valdrin::common::TValdrinError);
    EXPECT_TRUE(fs::is_directory(Path("adir")));

    // A file too large to read is not overwritten with what little was read.
    {
        std::ofstream big(Path("big.ini"), std::ios::binary);
        big.seekp(static_cast<std::streamoff>(TIniFile::kMaxFileSize) + 10);
        big << "x";
    }
    TIniFile large(Path("big.ini"));
    EXPECT_FALSE(large.SectionExists("S"));
    large.WriteString("S", "K", "v");
    EXPECT_THROW(large.UpdateFile(), valdrin::common::TValdrinError);
    EXPECT_EQ(fs::file_size(Path("big.ini")), TIniFile::kMaxFileSize + 11);
}

TEST_F(IniFileTest, GarbageHugeLinesAndOddLinesNeverBreakTheReader)
{
    const std::string huge(6u << 20, 'x');
    const auto ini = TIniFile::FromBytes(
        "[\n[]\n=nokey\n[S\n[S]\n" + huge + "\nK=" + huge + "\r\rL=1\r[S]]\nM= 2\n");
    EXPECT_EQ(ini.ReadString("S", "K", "").size(), huge.size());
    EXPECT_EQ(ini.ReadString("S", "L", ""), "1"); // CR alone ends a line too
    EXPECT_EQ(ini.ReadInteger("S", "M", 0), 2);
    EXPECT_EQ(ini.ReadString("", "", "def"), "def");

    std::mt19937 rng(42);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 2000, '\0');
        for (char &c : bytes) {
            const auto r = rng() % 10;
            c = r < 3 ? "[]=;\n\r "[rng() % 7] : static_cast<char>(rng());
        }
        auto garbage = TIniFile::FromBytes(bytes);
        garbage.ReadString("S", "K", "");
        // Untouched, a file that is not UTF-8 is written back byte for byte.
        if (!IsValidUtf8(bytes)) {
            EXPECT_EQ(garbage.Bytes(), bytes);
        }
        garbage.WriteString("S", "K", "v");
        EXPECT_EQ(garbage.ReadString("S", "K", ""), "v");
        EXPECT_EQ(TIniFile::FromBytes(garbage.Bytes()).ReadString("S", "K", ""), "v");
    }
}

TEST_F(IniFileTest, AFileBeyondTheBoundsIsRefusedWithTheReason)
{
    std::string sections;
    for (std::size_t i = 0; i <= TIniFile::kMaxSections; ++i)
        sections += "[a]\n";
    const auto many = TIniFile::FromBytes(sections + "[S]\nK=v\n", "s.ini");
    EXPECT_EQ(many.ReadError(), "Не удалось прочитать файл s.ini: больше 10000 разделов");
    EXPECT_FALSE(many.SectionExists("a"));
    const auto lines = TIniFile::FromBytes(std::string(TIniFile::kMaxLines + 1, '\n'), "l.ini");
    EXPECT_EQ(lines.ReadError(), "Не удалось прочитать файл l.ini: больше 100000 строк");
    const auto longLine
        = TIniFile::FromBytes("[S]\nK=" + std::string(TIniFile::kMaxLineLength, 'x'), "w.ini");
    EXPECT_EQ(
        longLine.ReadError(), "Не удалось прочитать файл w.ini: строка 2 длиннее 16777216 байт");
    EXPECT_TRUE(TIniFile::FromBytes("[S]\nK=v\n").ReadError().empty());
    EXPECT_TRUE(TIniFile(Path("missing.ini")).ReadError().empty());

    fs::create_directory(Path("adir"));
    EXPECT_EQ(TIniFile(Path("adir")).ReadError(),
        "Не удалось прочитать файл " + Path("adir") + ": это папка");
}
