// The preview of a search: the product list as CSV and GeoJSON, and an SVG
// drawing of the footprints over the area of interest with a graticule.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hub_catalogue.h"

namespace NORBS_HUB {

struct PreviewFiles {
    std::string csv;
    std::string geojson;
    std::string svg;
};

// The three files beside the progress file: PROG_preview.csv, .geojson, .svg.
PreviewFiles previewFilesFor(const std::string& progressFile);

std::string previewCsv(const std::vector<Product>& products);
std::string previewGeoJson(const std::vector<Product>& products, const std::optional<Ring>& area);
std::string previewSvg(const std::vector<Product>& products, const std::optional<Ring>& area);

// Writes the three files; throws CFetchFailure(kBadArguments) when one
// cannot be written.
PreviewFiles writePreview(const std::string& progressFile, const std::vector<Product>& products,
                          const std::optional<Ring>& area);

}  // namespace NORBS_HUB
