// KML to shapefile conversion on expat and shapelib.
#include "orbs_converter.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

#include <expat.h>
#include <shapefil.h>

#include "orbs_runtime.h"

namespace {

void logLine(const std::string& text) { OrbsLog::write("converter: " + text); }

struct Vertex {
    double lon;
    double lat;
};

// Walks the KML document and keeps the text of the coordinates of the first
// Polygon's outer ring.  Elements are matched by local name, so documents
// with or without the KML namespace, or with a prefix, are read alike.
class RingReader {
public:
    bool read(const std::string& path);
    const std::string& coordinates() const { return mCoordinates; }
    bool found() const { return mFound; }

private:
    static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**);
    static void XMLCALL onEnd(void* data, const XML_Char* name);
    static void XMLCALL onText(void* data, const XML_Char* text, int length);

    XML_Parser mParser = nullptr;
    int mPolygonDepth = 0;  // Polygon elements open (nested ones are not KML, but are tolerated)
    bool mInOuter = false;
    bool mInCoordinates = false;
    bool mFound = false;
    std::string mCoordinates;
};

std::string_view localName(const XML_Char* name) {
    const std::string_view full(name);
    const std::size_t separator = full.rfind('|');
    return separator == std::string_view::npos ? full : full.substr(separator + 1);
}

void RingReader::onStart(void* data, const XML_Char* name, const XML_Char**) {
    auto* self = static_cast<RingReader*>(data);
    const std::string_view local = localName(name);
    if (local == "Polygon") {
        ++self->mPolygonDepth;
    } else if (self->mPolygonDepth > 0 && local == "outerBoundaryIs") {
        self->mInOuter = true;
    } else if (self->mInOuter && local == "coordinates") {
        self->mInCoordinates = true;
    }
}

void RingReader::onEnd(void* data, const XML_Char* name) {
    auto* self = static_cast<RingReader*>(data);
    const std::string_view local = localName(name);
    if (local == "coordinates" && self->mInCoordinates) {
        // The first outer ring is all that is wanted: stop reading.
        self->mInCoordinates = false;
        self->mFound = true;
        XML_StopParser(self->mParser, XML_FALSE);
    } else if (local == "outerBoundaryIs") {
        self->mInOuter = false;
    } else if (local == "Polygon" && self->mPolygonDepth > 0) {
        --self->mPolygonDepth;
        // The first Polygon had no outer ring: the document is not taken,
        // rather than a later polygon being passed off as the area.
        if (self->mPolygonDepth == 0) XML_StopParser(self->mParser, XML_FALSE);
    }
}

void RingReader::onText(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<RingReader*>(data);
    if (self->mInCoordinates) self->mCoordinates.append(text, static_cast<std::size_t>(length));
}

bool RingReader::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        logLine("cannot open '" + path + "'");
        return false;
    }
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreateNS(nullptr, '|'),
                                                                          &XML_ParserFree);
    if (!parser) return false;
    mParser = parser.get();
    XML_SetUserData(mParser, this);
    XML_SetElementHandler(mParser, &RingReader::onStart, &RingReader::onEnd);
    XML_SetCharacterDataHandler(mParser, &RingReader::onText);

    char buffer[65536];
    bool last = false;
    while (!last) {
        in.read(buffer, sizeof buffer);
        const std::streamsize count = in.gcount();
        last = count < static_cast<std::streamsize>(sizeof buffer);
        if (XML_Parse(mParser, buffer, static_cast<int>(count), last ? XML_TRUE : XML_FALSE) == XML_STATUS_ERROR) {
            if (XML_GetErrorCode(mParser) == XML_ERROR_ABORTED) break;  // stopped on purpose
            logLine("'" + path + "' is not a readable KML document: " + XML_ErrorString(XML_GetErrorCode(mParser)) +
                    " at line " + std::to_string(XML_GetCurrentLineNumber(mParser)));
            return false;
        }
    }
    return true;
}

// "lon,lat[,alt]" tuples separated by white space.  Altitudes are dropped:
// the area of interest is a footprint on the ground.
bool parseCoordinates(const std::string& text, std::vector<Vertex>& ring) {
    std::istringstream tuples(text);
    std::string tuple;
    while (tuples >> tuple) {
        double values[3] = {0.0, 0.0, 0.0};
        std::size_t count = 0;
        const char* cursor = tuple.data();
        const char* end = tuple.data() + tuple.size();
        while (true) {
            if (count == 3) return false;
            const auto [next, error] = std::from_chars(cursor, end, values[count]);
            if (error != std::errc() || next == cursor) return false;
            ++count;
            if (next == end) break;
            if (*next != ',') return false;
            cursor = next + 1;
        }
        if (count < 2) return false;
        if (values[0] < -180.0 || values[0] > 180.0 || values[1] < -90.0 || values[1] > 90.0) return false;
        ring.push_back({values[0], values[1]});
    }
    // KML rings repeat the first vertex at the end; a ring that does not is
    // closed here, as shapefile rings must be.
    if (!ring.empty() && (ring.front().lon != ring.back().lon || ring.front().lat != ring.back().lat))
        ring.push_back(ring.front());
    return ring.size() >= 4;
}

// WGS-84 geographic coordinates in degrees, in the ESRI form of .prj files.
constexpr const char* kWgs84Prj =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

void removeOutputs(const std::string& base) {
    std::error_code ignored;
    for (const char* extension : {".shp", ".shx", ".dbf", ".prj"}) std::filesystem::remove(base + extension, ignored);
}

bool writeShapefile(const std::string& base, std::vector<Vertex> ring) {
    std::vector<double> x;
    std::vector<double> y;
    for (const Vertex& vertex : ring) {
        x.push_back(vertex.lon);
        y.push_back(vertex.lat);
    }

    bool written = false;
    {
        std::unique_ptr<SHPInfo, decltype(&SHPClose)> shp(SHPCreate((base + ".shp").c_str(), SHPT_POLYGON), &SHPClose);
        std::unique_ptr<DBFInfo, decltype(&DBFClose)> dbf(DBFCreate((base + ".dbf").c_str()), &DBFClose);
        std::unique_ptr<SHPObject, decltype(&SHPDestroyObject)> polygon(
            SHPCreateSimpleObject(SHPT_POLYGON, static_cast<int>(x.size()), x.data(), y.data(), nullptr),
            &SHPDestroyObject);
        if (shp && dbf && polygon) {
            // Shapefile outer rings run clockwise, whereas KML asks for
            // counter-clockwise: let shapelib orient the ring.
            SHPRewindObject(shp.get(), polygon.get());
            const int field = DBFAddField(dbf.get(), "ID", FTInteger, 10, 0);
            written = field >= 0 && SHPWriteObject(shp.get(), -1, polygon.get()) == 0 &&
                      DBFWriteIntegerAttribute(dbf.get(), 0, field, 1) != 0;
        }
    }
    std::ofstream prj(base + ".prj", std::ios::trunc);
    prj << kWgs84Prj;
    prj.close();
    return written && prj.good();
}

bool kmlToShapefile(const std::string& input, const std::string& output) {
    RingReader reader;
    if (!reader.read(input)) return false;
    if (!reader.found()) {
        logLine("no polygon with an outer ring in '" + input + "'");
        return false;
    }
    std::vector<Vertex> ring;
    if (!parseCoordinates(reader.coordinates(), ring)) {
        logLine("the outer ring of '" + input + "' is not a ring of lon,lat[,alt] degrees");
        return false;
    }

    std::string base = output;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".shp") == 0) base.resize(base.size() - 4);
    if (!writeShapefile(base, std::move(ring))) {
        logLine("cannot write the shapefile '" + base + ".shp'");
        removeOutputs(base);
        return false;
    }
    return true;
}

}  // namespace

namespace converter {

bool convert(const std::string& input, const std::string& output, const std::string& operation,
             const std::string& option1, const std::string& option2) {
    if (operation != "kml_to_shapefile") {
        logLine("unknown operation '" + operation + "'");
        return false;
    }
    if (!option1.empty() || !option2.empty()) {
        logLine("kml_to_shapefile takes no options");
        return false;
    }
    return kmlToShapefile(input, output);
}

}  // namespace converter
