#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "TempDirFixture.h"
#include "common/Error.h"
#include "formats/Stations.h"

using namespace valdrin::formats;
using valdrin::common::TValdrinError;

namespace {

// The message of the error the call throws; empty when it does not throw.
template<class F> std::string ErrorOf(F &&f)
{
    try {
        f();
    } catch (const TValdrinError &e) {
        return e.what();
    }
    return {};
}

template<class W> std::string Written(W writer, const TStationTable &t)
{
    std::ostringstream out;
    writer(out, t);
    return out.str();
}

std::string ManyCsvRows(int n)
{
    std::string s = "name,x,y,z\n";
    for (int i = 0; i < n; ++i) {
        s += 'S';
        s += std::to_string(i);
        s += ",0,0,0\n";
    }
    return s;
}

const char *const kFdsnStations
    = "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n"
      "KZ|ABK|43.2|76.9|1340|Алма-Ата, обсерватория|2001-01-01T00:00:00|\n"
      "XX|ARA0|69.5346|25.5058|403|Арабский|2010-01-01T00:00:00|\n"
      "KZ|KKAR|43.1|70.5|1020.5||2001-01-01T00:00:00|2030-01-01T00:00:00\n";

} // namespace

TEST(StationsCsv, RoundTripsThroughTheListAndTheTables)
{
    const std::string metres = "name,x,y,z,a0,a1,a2,a3,an,snr\n"
                               "ARA0,0,0,403,1,1.3,0.0001,0.4,0.01,4\n"
                               "Пункт-1,-1250.5,3e+06,-12.25,0.9,1.1,2e-05,0.5,0.125,3\n"
                               "\"Scott, \"\"Base\"\"\",1,2,3,1,1.3,0.0001,0.4,0.01,4\n";
    const std::string degrees = "name,longitude,latitude,elevation_m,a0,a1,a2,a3,an,snr\n"
                                "ABK,76.9,43.2,1340,1,1.3,0.0001,0.4,0.01,4\n";
    for (const std::string *file : { &metres, &degrees }) {
        const std::string &text = *file;
        const TStationTable t = ParseStationsCsv(text, "a.csv");
        EXPECT_EQ(t.Degrees, file == &degrees);
        EXPECT_EQ(Written(WriteStationsCsv, t), text);
        // Through the window's tables, with a decimal comma, and back.
        const auto tables = StationsToTables(t, ',');
        EXPECT_EQ(tables.CooGrid.RowCount(), static_cast<int>(t.Rows.size()) + 1);
        const TStationTable back
            = StationsFromTables(tables.CooGrid, tables.StrGrid, ',', t.Degrees);
        EXPECT_EQ(Written(WriteStationsCsv, back), text);
    }
    EXPECT_EQ(ParseStationsCsv(metres, "a.csv").Rows[2].Name, "Scott, \"Base\"");
}

TEST(StationsCsv, HeadersAsSpreadsheetsWriteThem)
{
    // Elevation in km, ground noise in nm: An is mm on a Wood-Anderson record.
    const auto t
        = ParseStationsCsv("\xEF\xBB\xBFstation,longitude,latitude,elevation_km,noise [nm]\r\n"
                           "ABK,76.9,43.2,1.34,5\r\n\r\n",
            "a.csv");
    ASSERT_EQ(t.Rows.size(), 1u);
    EXPECT_TRUE(t.Degrees);
    EXPECT_EQ(t.Rows[0].X, 76.9);
    EXPECT_DOUBLE_EQ(t.Rows[0].Z, 1340);
    ASSERT_TRUE(t.Rows[0].Attenuation);
    EXPECT_DOUBLE_EQ((*t.Rows[0].Attenuation)[4], 5e-6 * 2080);
    EXPECT_EQ((*t.Rows[0].Attenuation)[0], kDefaultAttenuation[0]);
    EXPECT_EQ((*t.Rows[0].Attenuation)[5], kDefaultAttenuation[5]);

    // Semicolons with decimal commas, Russian names, units in brackets, an extra column.
    const auto r = ParseStationsCsv("Код;Комментарий;X;Y;Высота (км);SNR\n"
                                    "Б1;новая;10,5;-2;0,4;5\n",
        "b.csv");
    ASSERT_EQ(r.Rows.size(), 1u);
    EXPECT_FALSE(r.Degrees);
    EXPECT_EQ(r.Rows[0].Name, "Б1");
    EXPECT_EQ(r.Rows[0].X, 10.5);
    EXPECT_DOUBLE_EQ(r.Rows[0].Z, 400);
    EXPECT_EQ((*r.Rows[0].Attenuation)[5], 5);

    // No attenuation columns: the rows take the table's defaults.
    const auto plain = ParseStationsCsv("NAME,X,Y,ELEV\nA,1,2,3\n", "c.csv");
    EXPECT_FALSE(plain.Rows[0].Attenuation);
    const auto tables = StationsToTables(plain, '.');
    EXPECT_EQ(tables.StrGrid.Rows[1],
        (valdrin::common::TCellRow { "A", "1", "1.3", "0.0001", "0.4", "0.010", "4" }));
}

TEST(StationsCsv, RefusesWhatItCannotReadWhole)
{
    const std::pair<std::string, std::string> cases[] = {
        { "name,x,y\nA,1,2\n", "нет столбца высоты" },
        { "name,x,y,z\nA,1,2,3\nB,1,zwei,3\n",
            "«a.csv», строка 3: в столбце «y» не число: «zwei»" },
        { "name,x,y,z\nA,1,2,nan\n", "строка 2" },
        { "name,x,y,z\n\"A,1,2,3\n", "строка 2: не закрыта кавычка" },
        { "name,x,y,z\nA,1,2\n", "строка 2: полей 3" },
        { "name,x,y,z,z_km\nA,1,2,3,4\n", "несколькими столбцами" },
        { "name,x,latitude,z\nA,1,2,3\n", "метры и градусы" },
        { "name,lon,lat,z\nA,1,91,3\n", "широта вне диапазона" },
        { "name,x,y,z,station\nA,1,2,3,B\n", "«name» и «station»" },
        { "name,x,y,z\n\xC0\xE1,1,2,3\n", "строка 2: текст не в кодировке UTF-8" },
        { "name,x,y,z\n", "нет станций" },
        { "", "нет станций" },
        { "name,x,y,z\n,1,2,3\n", "пустое имя" },
        { ManyCsvRows(101), "в файле 101 станций" },
        { "name,x,y,z\nA,1,2,3\n" + std::string(70000, 'x') + "\n", "строка 3: строка длиннее" },
    };
    for (const auto &[text, message] : cases) {
        const std::string e = ErrorOf([&text = text] { ParseStationsCsv(text, "a.csv"); });
        EXPECT_NE(e.find(message), std::string::npos) << text.substr(0, 60) << " -> " << e;
    }
    EXPECT_EQ(ParseStationsCsv(ManyCsvRows(100), "a.csv").Rows.size(), 100u);
}

TEST(StationsFdsn, StationAndChannelLevels)
{
    const auto t = ParseStations(kFdsnStations, "st.txt");
    ASSERT_EQ(t.Rows.size(), 3u);
    EXPECT_TRUE(t.Degrees);
    EXPECT_EQ(t.Rows[0].Network, "KZ");
    EXPECT_EQ(t.Rows[0].Site, "Алма-Ата, обсерватория");
    EXPECT_EQ(t.Rows[1].Name, "ARA0");
    EXPECT_EQ(t.Rows[1].X, 25.5058);
    EXPECT_EQ(t.Rows[1].Y, 69.5346);
    EXPECT_EQ(t.Rows[2].Z, 1020.5);
    EXPECT_FALSE(t.Rows[2].Attenuation);
    // Our own FDSN text reads back to the same list.
    EXPECT_EQ(ParseFdsnText(Written(WriteFdsnText, t), "back.txt"), t);

    const char *channels
        = "#Network | Station | Location | Channel | Latitude | Longitude | Elevation | Depth\n"
          "IU|ANMO|00|BHZ|34.9459|-106.4572|1850|100\n"
          "IU|ANMO|00|BH1|34.9459|-106.4572|1850|100\n"
          "II|ANMO|00|BHZ|1|2|3|0\n"
          "IU|COLA|10|BHZ|64.8736|-147.8616|200|0\n";
    const auto c = ParseStations(channels, "ch.txt");
    ASSERT_EQ(c.Rows.size(), 3u);
    EXPECT_EQ(c.Rows[1].Network, "II");
    EXPECT_EQ(c.Rows[2].Name, "COLA");

    const std::string header
        = "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n";
    std::string many = header;
    for (int i = 0; i < 101; ++i)
        many += "XX|S" + std::to_string(i) + "|1|2|3|||\n";
    EXPECT_NE(
        ErrorOf([&] { ParseFdsnText(many, "m.txt"); }).find("101 станций"), std::string::npos);
    EXPECT_NE(ErrorOf([&] {
        ParseFdsnText(header + "XX|A|1|2|3|||\nXX|B|1|2||||\n", "e.txt");
    }).find("«e.txt», строка 3: нет значения: высота"),
        std::string::npos);
    EXPECT_NE(
        ErrorOf([&] { ParseFdsnText(header + "XX|A|1|2|3\n", "e.txt"); }).find("строка 2: полей 5"),
        std::string::npos);
}

TEST(StationsXml, NetworksStationsAndRefusals)
{
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<FDSNStationXML xmlns="http://www.fdsn.org/xml/station/1" schemaVersion="1.1">
  <Source>test</Source>
  <Network code="KZ">
    <Station code="ABK" startDate="2001-01-01T00:00:00">
      <Latitude>43.2</Latitude><Longitude> 76.9 </Longitude><Elevation unit="M">1340</Elevation>
      <Site><Name>Алма-Ата &amp; окрестности</Name></Site>
      <Channel code="BHZ" locationCode="00"><Latitude>0</Latitude><Longitude>0</Longitude><Elevation>0</Elevation><Depth>0</Depth></Channel>
    </Station>
  </Network>
  <Network code="XX">
    <Station code="ARA0"><Latitude>69.5346</Latitude><Longitude>25.5058</Longitude><Elevation>403</Elevation></Station>
  </Network>
</FDSNStationXML>
)";
    const auto t = ParseStations(xml, "st.xml");
    ASSERT_EQ(t.Rows.size(), 2u);
    EXPECT_TRUE(t.Degrees);
    EXPECT_EQ(
        t.Rows[0], (TStationRow { "ABK", "KZ", "Алма-Ата & окрестности", 76.9, 43.2, 1340, {} }));
    EXPECT_EQ(t.Rows[1].Network, "XX");

    // Prefixed elements read the same.
    const std::string prefixed
        = R"(<s:FDSNStationXML xmlns:s="http://www.fdsn.org/xml/station/1"><s:Network code="N">
<s:Station code="A"><s:Latitude>1</s:Latitude><s:Longitude>2</s:Longitude><s:Elevation>3</s:Elevation></s:Station>
</s:Network></s:FDSNStationXML>)";
    EXPECT_EQ(ParseStationXml(prefixed, "p.xml").Rows.at(0).Z, 3);

    std::string many = "<FDSNStationXML><Network code=\"XX\">";
    for (int i = 0; i < 101; ++i)
        many += "<Station code=\"S" + std::to_string(i)
            + "\"><Latitude>1</Latitude><Longitude>2</Longitude><Elevation>3</Elevation></Station>";
    many += "</Network></FDSNStationXML>";
    const std::pair<std::string, std::string> cases[] = {
        { many, "в файле 101 станций" },
        { "<FDSNStationXML><Network code=\"X\">\n<Station "
          "code=\"A\">\n<Latitude>1</Latitude><Longitude>2</Longitude>\n</Station></Network></"
          "FDSNStationXML>",
            "«e.xml», строка 2: у станции A нет значения: высота" },
        { "<FDSNStationXML><Network code=\"X\">\n<Station "
          "code=\"A\"><Latitude>1</Latitude>\n<Longitude>east</Longitude><Elevation>3</Elevation></"
          "Station></Network></FDSNStationXML>",
            "строка 3: долгота не число: «east»" },
        { "<FDSNStationXML>\n<Network>\n<Station code='A'>\n</Network>", "строка 4: ошибка XML" },
        { "<kml></kml>", "это не файл StationXML" },
        { "<FDSNStationXML/>", "нет станций" },
    };
    for (const auto &[text, message] : cases) {
        const std::string e = ErrorOf([&text = text] { ParseStationXml(text, "e.xml"); });
        EXPECT_NE(e.find(message), std::string::npos) << text.substr(0, 80) << " -> " << e;
    }
}

TEST(StationsOut, MapFormatsEscapeTextAndNeedDegrees)
{
    TStationTable t;
    t.Degrees = true;
    t.Rows.push_back({ "A<&>\"'", "N", "Имя \"в\" \\ кавычках\x01", 76.5, 43.25, 1340, {} });
    const std::string kml = Written(WriteKml, t);
    EXPECT_NE(kml.find("<name>A&lt;&amp;&gt;&quot;&apos;</name>"), std::string::npos);
    EXPECT_NE(kml.find("<coordinates>76.5,43.25,1340</coordinates>"), std::string::npos);
    const std::string json = Written(WriteGeoJson, t);
    EXPECT_NE(json.find("\"name\":\"A<&>\\\"'\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"site\":\"Имя \\\"в\\\" \\\\ кавычках\\u0001\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"coordinates\":[76.5,43.25,1340]"), std::string::npos);
    EXPECT_NE(ErrorOf([&] {
        Written(WriteFdsnText, TStationTable { { { "A|B", "", "", 0, 0, 0, {} } }, true });
    }).find("«|»"),
        std::string::npos);

    t.Degrees = false;
    for (auto writer : { WriteFdsnText, WriteKml, WriteGeoJson })
        EXPECT_NE(ErrorOf([&] { Written(writer, t); }).find("в метрах"), std::string::npos);
}

class StationFiles : public TempDirFixture {
protected:
    StationFiles()
        : TempDirFixture("formats_stations_")
    {
    }
};

TEST_F(StationFiles, ReadsByContentAndRefusesOtherThanFiles)
{
    WriteBytes(Path("st.txt"), kFdsnStations);
    EXPECT_EQ(ReadStationsFile(Path("st.txt")).Rows.size(), 3u);
    EXPECT_NE(ErrorOf([&] { ReadStationsFile(m_dir.string()); }).find("не обычный файл"),
        std::string::npos);
    EXPECT_NE(
        ErrorOf([&] { ReadStationsFile(Path("none.csv")); }).find("не найден"), std::string::npos);
}
