#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "noise/NoiseSpectrum.h"

using namespace valdrin::noise;
using Status = TNoiseLoadStatus;

namespace {

TNoiseLoad Read(const std::string &text, const valdrin::common::TRunControl &control = {})
{
    std::istringstream in(text);
    return ReadNoiseFile(in, "spc.dat", control);
}

std::vector<double> Column(const TNoiseLoad &load, std::size_t c)
{
    return c < load.Spectrum.Data.size() ? load.Spectrum.Data[c] : std::vector<double> {};
}

} // namespace

TEST(NoiseFileHeader, FZNEGivesThreeColumnsInOrder)
{
    for (const char *header : { "f Z N E", "f\tZ\tN\tE", "f  \t Z\t\tN   E" }) {
        const auto load = Read(std::string(header) + "\n0.5 1 2 3\n1 4 5 6\n");
        EXPECT_EQ(load.Status, Status::Complete) << header;
        EXPECT_EQ(load.Spectrum.Names, (TChanLongNames { "Z", "N", "E" })) << header;
        EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 0.5, 1 }));
        EXPECT_EQ(Column(load, 0), (std::vector<double> { 1, 4 }));
        EXPECT_EQ(Column(load, 2), (std::vector<double> { 3, 6 }));
    }
}

// Separators at the ends of the header would add an unnamed column and make
// every row steal a number from the next line.
TEST(NoiseFileHeader, SeparatorsAtTheEndsAddNoColumn)
{
    for (const char *header : { " f Z N E", "f Z N E ", "\tf Z N E\t", "  f Z N E\t \r" }) {
        const auto load = Read(std::string(header) + "\n0.5 1 2 3\n1 4 5 6\n2 7 8 9\n");
        EXPECT_EQ(load.Status, Status::Complete) << header;
        EXPECT_EQ(load.Spectrum.Names, (TChanLongNames { "Z", "N", "E" })) << header;
        EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 0.5, 1, 2 })) << header;
        EXPECT_EQ(Column(load, 1), (std::vector<double> { 2, 5, 8 })) << header;
    }
}

TEST(NoiseFileHeader, FrequencyOnlyAndMissingHeaders)
{
    const auto onlyF = Read("f\n1\n2 99\n");
    EXPECT_EQ(onlyF.Status, Status::Complete);
    EXPECT_TRUE(onlyF.Spectrum.Names.empty());
    EXPECT_EQ(onlyF.Spectrum.Freq, (std::vector<double> { 1, 2 }));

    const auto headerOnly = Read("f Z\n");
    EXPECT_EQ(headerOnly.Status, Status::Complete);
    EXPECT_EQ(headerOnly.Spectrum.Names, (TChanLongNames { "Z" }));
    EXPECT_TRUE(headerOnly.Spectrum.Freq.empty());
    ASSERT_EQ(headerOnly.Spectrum.Data.size(), 1u);
    EXPECT_TRUE(headerOnly.Spectrum.Data[0].empty());

    const auto empty = Read("");
    EXPECT_EQ(empty.Status, Status::BadData);
    EXPECT_EQ(empty.Message, "Файл spc.dat пуст");
    EXPECT_TRUE(empty.Spectrum.Names.empty());

    const auto blankFirst = Read(" \t\n1 2\n");
    EXPECT_EQ(blankFirst.Status, Status::BadData);
    EXPECT_EQ(blankFirst.ErrorLine, 1);
}

TEST(NoiseFileRows, PlainAndExponentFormsWithAPoint)
{
    const auto load = Read("f Z\n0.5 1e-15\n+2 -3.5E+2\n.25 5.\n1E1 1e-400\n");
    ASSERT_EQ(load.Status, Status::Complete);
    EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 0.5, 2, 0.25, 10 }));
    EXPECT_EQ(Column(load, 0), (std::vector<double> { 1e-15, -350, 5, 0 }));
}

TEST(NoiseFileRows, NumbersRunAcrossLineBreaksAndTheRestOfALineIsSkipped)
{
    // Row 0 is short and takes its last number from the next line, whose
    // remainder is dropped; row 1 carries junk after its numbers.
    const auto load = Read("f Z N\r\n1 10\r\n20 777 888\r\n2 30 40 extra words\r\n3\t50\t60\r\n");
    ASSERT_EQ(load.Status, Status::Complete) << load.Message;
    EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 1, 2, 3 }));
    EXPECT_EQ(Column(load, 0), (std::vector<double> { 10, 30, 50 }));
    EXPECT_EQ(Column(load, 1), (std::vector<double> { 20, 40, 60 }));
}

TEST(NoiseFileRows, BlankLinesAtTheEndAreNoRows)
{
    for (const char *tail : { "", "\n", "\n\n\n", "  \n\t\n", "\r\n\r\n" }) {
        const auto load = Read(std::string("f Z\n1 2\n3 4\n") + tail);
        EXPECT_EQ(load.Status, Status::Complete) << '"' << tail << '"';
        EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 1, 3 }));
    }
    const auto noFinalBreak = Read("f Z\n1 2\n3 4");
    EXPECT_EQ(noFinalBreak.Spectrum.Freq, (std::vector<double> { 1, 3 }));
}

TEST(NoiseFileRows, CarriageReturnsAloneEndLinesToo)
{
    const auto load = Read("f Z N\r1 10 20 junk\r2 30 40\r\r");
    ASSERT_EQ(load.Status, Status::Complete) << load.Message;
    EXPECT_EQ(load.Spectrum.Names, (TChanLongNames { "Z", "N" }));
    EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 1, 2 }));
    EXPECT_EQ(Column(load, 1), (std::vector<double> { 20, 40 }));
    const auto bad = Read("f Z\r1 2\r3 x\r");
    EXPECT_EQ(bad.ErrorLine, 3);
}

TEST(NoiseFileMalformed, ALineBeyondAMegabyteIsRefused)
{
    const std::string names(2u << 20, 'Z');
    const auto header = Read("f " + names + "\n1 2\n");
    EXPECT_EQ(header.Status, Status::BadData);
    EXPECT_EQ(header.Message, "Файл spc.dat, строка 1: строка длиннее 1048576 байт");
    EXPECT_TRUE(header.Spectrum.Names.empty());
    const auto row = Read("f Z\n1 2\n3" + std::string(2u << 20, ' ') + "4\n");
    EXPECT_EQ(row.Status, Status::BadData);
    EXPECT_EQ(row.ErrorLine, 3);
    EXPECT_EQ(row.Spectrum.Freq, (std::vector<double> { 1 }));
}

TEST(NoiseFileMalformed, ALetterInANumberKeepsTheRowsBefore)
{
    const auto load = Read("f Z N\n1 2 3\n4 5 6\n7 8x 9\n10 11 12\n");
    EXPECT_EQ(load.Status, Status::BadData);
    EXPECT_EQ(load.ErrorLine, 4);
    EXPECT_EQ(load.Message, "Файл spc.dat, строка 4: не удается прочитать число \"8x\"");
    EXPECT_EQ(load.Spectrum.Names, (TChanLongNames { "Z", "N" }));
    EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 1, 4 }));
    EXPECT_EQ(Column(load, 0), (std::vector<double> { 2, 5 }));
    EXPECT_EQ(Column(load, 1), (std::vector<double> { 3, 6 }));
}

TEST(NoiseFileMalformed, WhatIsNoNumber)
{
    for (const char *bad : { "0,5", "1.2.3", "1e", "e5", "inf", "nan", "-inf", "+-1", "--1", "0x10",
             "1e999", "\xD0\xBD\xD0\xB5\xD1\x82", "1;" }) {
        const auto load = Read(std::string("f Z\n1 2\n3 ") + bad + "\n");
        EXPECT_EQ(load.Status, Status::BadData) << bad;
        EXPECT_EQ(load.ErrorLine, 3) << bad;
        EXPECT_EQ(load.Spectrum.Freq.size(), 1u) << bad;
    }
}

TEST(NoiseFileMalformed, AShortLastRowIsReportedAndDropped)
{
    const auto load = Read("f Z N E\n1 2 3 4\n5 6\n");
    EXPECT_EQ(load.Status, Status::BadData);
    EXPECT_EQ(load.ErrorLine, 3);
    EXPECT_EQ(load.Message, "Файл spc.dat, строка 3: в строке данных не хватает чисел");
    EXPECT_EQ(load.Spectrum.Freq, (std::vector<double> { 1 }));
    EXPECT_EQ(Column(load, 2), (std::vector<double> { 4 }));
}

TEST(NoiseFileMalformed, BinaryGarbage)
{
    std::string garbage("f Z\n", 4);
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    const auto data = Read(garbage);
    EXPECT_EQ(data.Status, Status::BadData);
    EXPECT_GE(data.ErrorLine, 2);
    // The quoted token stays short and printable.
    EXPECT_LT(data.Message.size(), 200u);
    for (char c : data.Message)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20);

    std::string header("\x7F"
                       "ELF\x02\x01\x01\0\0\0 x y\n1 2 3\n",
        20);
    const auto bin = Read(header);
    EXPECT_EQ(bin.Status, Status::BadData);
    EXPECT_EQ(bin.ErrorLine, 1);
    EXPECT_TRUE(bin.Spectrum.Names.empty());
}

TEST(NoiseFileLoad, ProgressEveryHundredRowsAndCancel)
{
    std::string text = "f Z\n";
    for (int r = 0; r < 1050; ++r)
        text += std::to_string(r + 1) + " 1e-15\n";

    std::vector<int> ticks;
    valdrin::common::TRunControl progress;
    progress.Progress = [&](int rows, int) { ticks.push_back(rows); };
    const auto full = Read(text, progress);
    EXPECT_EQ(full.Status, Status::Complete);
    EXPECT_EQ(full.Spectrum.Freq.size(), 1050u);
    ASSERT_EQ(ticks.size(), 10u);
    EXPECT_EQ(ticks.front(), 100);
    EXPECT_EQ(ticks.back(), 1000);

    std::atomic<bool> cancel { false };
    valdrin::common::TRunControl stop;
    stop.Cancel = &cancel;
    stop.Progress = [&](int rows, int) {
        if (rows == 300)
            cancel = true;
    };
    const auto cut = Read(text, stop);
    EXPECT_EQ(cut.Status, Status::Cancelled);
    EXPECT_EQ(cut.Spectrum.Freq.size(), 300u);
    EXPECT_EQ(cut.Spectrum.Data[0].size(), 300u);
}

TEST(NoiseFileLoad, FromDisk)
{
    const auto dir = std::filesystem::temp_directory_path() / "valdrin-noise-test";
    std::filesystem::create_directories(dir);

    const std::string missing = (dir / "missing.dat").string();
    const auto none = LoadNoiseFile(missing);
    EXPECT_EQ(none.Status, Status::NotFound);
    EXPECT_FALSE(none.Found());
    EXPECT_EQ(none.Message, "Файл " + missing + " не найден");

    const auto folder = LoadNoiseFile(dir.string());
    EXPECT_EQ(folder.Status, Status::ReadError);
    EXPECT_TRUE(folder.Found());

    // A pipe or a device is refused before it is opened: reading one could
    // wait for ever. The writer only lets a reader that opens it go on.
    const std::string pipe = (dir / "pipe.dat").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(::open(pipe.c_str(), O_RDWR));
    });
    const auto fromPipe = LoadNoiseFile(pipe);
    writer.join();
    EXPECT_EQ(fromPipe.Status, Status::ReadError);
    EXPECT_EQ(fromPipe.Message, "Файл " + pipe + " не является обычным файлом");
    EXPECT_EQ(LoadNoiseFile("/dev/zero").Status, Status::ReadError);

    const std::string path = (dir / "two.dat").string();
    std::ofstream(path) << "f Z\n1 2\n";
    const auto two = LoadNoiseFile(path);
    EXPECT_EQ(two.Status, Status::Complete);
    EXPECT_EQ(two.Spectrum.Freq, (std::vector<double> { 1 }));
    std::filesystem::remove_all(dir);
}

TEST(NoiseFileLoad, StationFixture)
{
    const auto load = LoadNoiseFile(VALDRIN_NOISE_DATA "/station_psd.dat");
    ASSERT_EQ(load.Status, Status::Complete) << load.Message;
    EXPECT_EQ(load.Spectrum.Names, (TChanLongNames { "Z", "N", "E" }));
    ASSERT_EQ(load.Spectrum.Freq.size(), 161u);
    EXPECT_EQ(load.Spectrum.Freq[0], 0.0); // the DC row that is never drawn
    EXPECT_DOUBLE_EQ(load.Spectrum.Freq[1], 0.01);
    EXPECT_DOUBLE_EQ(load.Spectrum.Freq.back(), 20);
    for (const auto &column : load.Spectrum.Data)
        EXPECT_EQ(column.size(), 161u);
}
