// Preview files of a search.
#include "hub_preview.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "fetch_failure.h"

namespace NORBS_HUB {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::string label(double degrees) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::abs(degrees) < 1e-9 ? 0.0 : degrees);
    return text;
}

std::string wkt(const std::vector<Ring>& rings) {
    auto ringText = [](const Ring& ring) {
        std::string text = "(";
        for (std::size_t i = 0; i < ring.size(); ++i)
            text += (i ? ", " : "") + number(ring[i].lon) + " " + number(ring[i].lat);
        return text + ")";
    };
    if (rings.empty()) return "";
    if (rings.size() == 1) return "POLYGON (" + ringText(rings[0]) + ")";
    std::string text = "MULTIPOLYGON (";
    for (std::size_t i = 0; i < rings.size(); ++i) text += (i ? ", (" : "(") + ringText(rings[i]) + ")";
    return text + ")";
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

nlohmann::json geometry(const std::vector<Ring>& rings) {
    auto coordinates = [](const Ring& ring) {
        nlohmann::json points = nlohmann::json::array();
        for (const LonLat& p : ring) points.push_back({p.lon, p.lat});
        return nlohmann::json::array({points});
    };
    if (rings.empty()) return nullptr;
    if (rings.size() == 1) return {{"type", "Polygon"}, {"coordinates", coordinates(rings[0])}};
    nlohmann::json polygons = nlohmann::json::array();
    for (const Ring& ring : rings) polygons.push_back(coordinates(ring));
    return {{"type", "MultiPolygon"}, {"coordinates", polygons}};
}

std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Graticule step: 1, 2 or 5 times a power of ten, about six lines a side.
double graticuleStep(double span) {
    const double raw = span / 6.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power) return factor * power;
    return 10.0 * power;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::trunc);
    out << content;
    if (!out.flush())
        throw NORBS_FETCH::CFetchFailure(NORBS_FETCH::Outcome::kBadArguments, "Cannot write the preview file " + path);
}

}  // namespace

PreviewFiles previewFilesFor(const std::string& progressFile) {
    return {progressFile + "_preview.csv", progressFile + "_preview.geojson", progressFile + "_preview.svg"};
}

std::string previewCsv(const std::vector<Product>& products) {
    std::string csv = "name,id,size,sensing_start,sensing_stop,online,footprint\n";
    for (const Product& p : products)
        csv += csvField(p.name) + "," + csvField(p.id) + "," + std::to_string(p.size) + "," + csvField(p.start) + "," +
               csvField(p.stop) + "," + (p.online ? "true" : "false") + "," + csvField(wkt(p.footprint)) + "\n";
    return csv;
}

std::string previewGeoJson(const std::vector<Product>& products, const std::optional<Ring>& area) {
    nlohmann::json features = nlohmann::json::array();
    if (area)
        features.push_back({{"type", "Feature"},
                            {"geometry", geometry({*area})},
                            {"properties", {{"role", "area of interest"}}}});
    for (const Product& p : products)
        features.push_back({{"type", "Feature"},
                            {"geometry", geometry(p.footprint)},
                            {"properties",
                             {{"role", "product"}, {"name", p.name}, {"id", p.id}, {"size", p.size},
                              {"sensing_start", p.start}, {"sensing_stop", p.stop}, {"online", p.online}}}});
    return nlohmann::json{{"type", "FeatureCollection"}, {"features", features}}.dump(1) + "\n";
}

std::string previewSvg(const std::vector<Product>& products, const std::optional<Ring>& area) {
    double west = 180, east = -180, south = 90, north = -90;
    auto extend = [&](const Ring& ring) {
        for (const LonLat& p : ring) {
            west = std::min(west, p.lon), east = std::max(east, p.lon);
            south = std::min(south, p.lat), north = std::max(north, p.lat);
        }
    };
    if (area) extend(*area);
    for (const Product& p : products)
        for (const Ring& ring : p.footprint) extend(ring);
    if (west > east) west = -180, east = 180, south = -90, north = 90;
    const double pad = std::max(0.1, 0.05 * std::max(east - west, north - south));
    west -= pad, east += pad, south -= pad, north += pad;
    // Equirectangular, shrunk in longitude by the cosine of the middle latitude.
    const double aspect = std::cos((south + north) / 2 * M_PI / 180.0);
    const double width = 800, margin = 40;
    const double scale = width / ((east - west) * aspect);
    const double height = (north - south) * scale;
    auto x = [&](double lon) { return margin + (lon - west) * aspect * scale; };
    auto y = [&](double lat) { return margin + (north - lat) * scale; };
    auto points = [&](const Ring& ring) {
        std::string text;
        for (const LonLat& p : ring) text += number(x(p.lon)) + "," + number(y(p.lat)) + " ";
        return text;
    };
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(static_cast<int>(width + 2 * margin)) + "\" height=\"" +
                      std::to_string(static_cast<int>(height + 2 * margin + 20)) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n<rect width=\"100%\" height=\"100%\" "
                      "fill=\"white\"/>\n<g id=\"graticule\" stroke=\"#bbbbbb\" stroke-width=\"0.5\">\n";
    const double step = graticuleStep(std::max(east - west, north - south));
    for (double lon = std::ceil(west / step) * step; lon <= east; lon += step)
        svg += "<line x1=\"" + number(x(lon)) + "\" y1=\"" + number(y(north)) + "\" x2=\"" + number(x(lon)) + "\" y2=\"" +
               number(y(south)) + "\"/><text x=\"" + number(x(lon) + 2) + "\" y=\"" + number(y(south) + 12) +
               "\" stroke=\"none\" fill=\"#666666\">" + label(lon) + "</text>\n";
    for (double lat = std::ceil(south / step) * step; lat <= north; lat += step)
        svg += "<line x1=\"" + number(x(west)) + "\" y1=\"" + number(y(lat)) + "\" x2=\"" + number(x(east)) + "\" y2=\"" +
               number(y(lat)) + "\"/><text x=\"" + number(x(west) - 36) + "\" y=\"" + number(y(lat) + 4) +
               "\" stroke=\"none\" fill=\"#666666\">" + label(lat) + "</text>\n";
    svg += "</g>\n<g id=\"footprints\" fill=\"#3070c0\" fill-opacity=\"0.15\" stroke=\"#3070c0\" stroke-width=\"1\">\n";
    for (const Product& p : products)
        for (const Ring& ring : p.footprint)
            svg += "<polygon points=\"" + points(ring) + "\"" + (p.online ? "" : " stroke-dasharray=\"2,2\"") +
                   "><title>" + xmlEscape(p.name + " " + p.start) + "</title></polygon>\n";
    svg += "</g>\n";
    if (area)
        svg += "<polygon id=\"area_of_interest\" points=\"" + points(*area) +
               "\" fill=\"none\" stroke=\"#d02020\" stroke-width=\"2\" stroke-dasharray=\"6,3\"><title>area of "
               "interest</title></polygon>\n";
    svg += "<text x=\"" + number(margin) + "\" y=\"" + number(height + 2 * margin + 10) + "\">" +
           std::to_string(products.size()) + " products (blue; dashed: offline)" +
           (area ? ", area of interest in red" : "") + "</text>\n</svg>\n";
    return svg;
}

PreviewFiles writePreview(const std::string& progressFile, const std::vector<Product>& products,
                          const std::optional<Ring>& area) {
    const PreviewFiles files = previewFilesFor(progressFile);
    writeFile(files.csv, previewCsv(products));
    writeFile(files.geojson, previewGeoJson(products, area));
    writeFile(files.svg, previewSvg(products, area));
    return files;
}

}  // namespace NORBS_HUB
