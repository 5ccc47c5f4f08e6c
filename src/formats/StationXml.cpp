// FDSN StationXML at station level: FDSNStationXML/Network/Station with
// Latitude, Longitude (degrees) and Elevation (m); channels are ignored.
// Element names are matched without their namespace prefix.
#include <cstring>
#include <pugixml.hpp>

#include "formats/Stations.h"
#include "formats/TextInput.h"

namespace valdrin::formats {

namespace {

std::string_view LocalName(const pugi::xml_node &node)
{
    std::string_view name = node.name();
    const auto colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node &parent, std::string_view name)
{
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c) == name)
            return c;
    return {};
}

long LineAt(std::string_view bytes, std::ptrdiff_t offset)
{
    if (offset < 0)
        return 0;
    const auto end = std::min(bytes.size(), static_cast<std::size_t>(offset));
    long line = 1;
    for (std::size_t i = 0; i < end; ++i)
        line += bytes[i] == '\n';
    return line;
}

std::string_view TrimXml(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

TStationTable ParseStationXml(std::string_view bytes, const std::string &fileName)
{
    if (bytes.size() > kMaxFileBytes)
        Fail(fileName, 0, "файл больше " + std::to_string(kMaxFileBytes >> 20) + " МБ");
    if (!IsValidUtf8(bytes))
        Fail(fileName, 0, "текст не в кодировке UTF-8");
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed
        = doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        Fail(fileName, LineAt(bytes, parsed.offset),
            std::string("ошибка XML: ") + parsed.description());
    const pugi::xml_node root = doc.document_element();
    if (LocalName(root) != "FDSNStationXML")
        Fail(fileName, LineAt(bytes, root.offset_debug()), "это не файл StationXML");

    TStationTable table;
    table.Degrees = true;
    std::size_t stations = 0;
    for (pugi::xml_node net = root.first_child(); net; net = net.next_sibling()) {
        if (net.type() != pugi::node_element || LocalName(net) != "Network")
            continue;
        const std::string netCode(TrimXml(net.attribute("code").value()));
        for (pugi::xml_node st = net.first_child(); st; st = st.next_sibling()) {
            if (st.type() != pugi::node_element || LocalName(st) != "Station")
                continue;
            // Counted only for a message: a 10 MB file has no time for a count per station.
            auto line = [&] { return LineAt(bytes, st.offset_debug()); };
            if (++stations > static_cast<std::size_t>(kMaxImportStations))
                continue; // counted for the message below
            TStationRow row;
            row.Name = std::string(TrimXml(st.attribute("code").value()));
            if (row.Name.empty())
                Fail(fileName, line(), "у станции нет кода (атрибут code)");
            row.Network = netCode;
            auto number = [&](const char *element, const char *what) {
                const pugi::xml_node n = Child(st, element);
                if (!n)
                    Fail(fileName, line(), "у станции " + row.Name + " нет значения: " + what);
                const std::string_view text = TrimXml(n.child_value());
                const auto v = ParseReal(text);
                if (!v)
                    Fail(fileName, LineAt(bytes, n.offset_debug()),
                        std::string(what) + " не число: «" + std::string(text.substr(0, 40)) + "»");
                return *v;
            };
            row.Y = number("Latitude", "широта");
            row.X = number("Longitude", "долгота");
            row.Z = number("Elevation", "высота");
            if (!(row.Y >= -90 && row.Y <= 90))
                Fail(fileName, line(), "широта вне диапазона -90..90°");
            if (!(row.X >= -180 && row.X <= 360))
                Fail(fileName, line(), "долгота вне диапазона -180..360°");
            if (const pugi::xml_node site = Child(st, "Site"))
                row.Site = std::string(TrimXml(Child(site, "Name").child_value()));
            table.Rows.push_back(std::move(row));
        }
    }
    if (stations > static_cast<std::size_t>(kMaxImportStations))
        Fail(fileName, 0,
            "в файле " + std::to_string(stations) + " станций, а в таблице помещается не больше "
                + std::to_string(kMaxImportStations));
    if (stations == 0)
        Fail(fileName, 0, "в файле нет станций");
    return table;
}

} // namespace valdrin::formats
