// The area of interest of the product search: KML and KMZ areas become a
// temporary shapefile; a list of images becomes a bounding box.
#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_errors.h"
#include "orbs_generic_geo_utility.h"
#include "orbs_runtime_services.h"
#include "orbs_scihub_get.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceDebug;
using NORBS_ERROR_MANAGER::traceInfo;

namespace {

struct SplitPath {
    std::string directory, name, extension;
};

// The parts of a path; its folder is created when missing.
SplitPath split(const std::string& path) {
    SplitPath parts;
    std::string drive;
    fdfSplitPath(path, drive, parts.directory, parts.name, parts.extension);
    if (!parts.directory.empty() && !fdfExistFile(parts.directory)) fdfCreateDir(parts.directory);
    return parts;
}

// The name without its extension.
std::string stem(const SplitPath& parts) {
    return parts.name.substr(0, parts.name.size() - parts.extension.size());
}

// The KML of a KMZ archive, extracted next to the output: the first entry
// whose name holds ".kml", in archive order.  None when the archive cannot
// be opened; an empty path when the extraction failed.
std::optional<std::string> extractKml(const std::string& kmz, const std::string& kml) {
    OrbsArchive archive;
    if (!archive.load(kmz)) {
        traceDebug("Error in reading area of interest file: %s\n", kmz.c_str());
        return std::nullopt;
    }
    for (unsigned i = 0; i < archive.getNrOfEntries(); ++i) {
        if (archive.at(i).getFilename().find(".kml") == std::string::npos) continue;
        if (archive.extractAs(i, kml)) return kml;
        traceInfo("[!] Unable to extract file to '%s'\n", kml.c_str());
        return std::string();
    }
    return kml;
}

}  // namespace

bool convertAreaFile(const std::string& input, const std::string& outputBase, std::string& shapefile) {
    const SplitPath in = split(input);
    const SplitPath out = split(outputBase);
    if (in.extension == ".kmz") {
        const std::optional<std::string> kml = extractKml(input, out.directory + stem(in) + ".kml");
        if (!kml) return false;
        traceDebug("tempFileKml : %s\n", kml->c_str());
        const SplitPath kmlParts = split(*kml);
        shapefile = kmlParts.directory + stem(kmlParts) + ".shp";
        traceDebug("call kml_to_shapefile : %s\n", shapefile.c_str());
        // A failed conversion shows when the query reads the shapefile.
        converter::convert(*kml, shapefile, "kml_to_shapefile", "", "");
        traceDebug("outputfile : %s\n", shapefile.c_str());
    } else if (in.extension == ".kml") {
        shapefile = out.directory + out.name + ".shp";
        converter::convert(input, shapefile, "kml_to_shapefile", "", "");
    } else {
        shapefile = input;
        return true;
    }
    // The converted shapefile is the run's own: it goes at the end (the .prj
    // our converter writes beside it too).  The extracted KML stays.
    const std::string base = shapefile.substr(0, shapefile.size() - 4);
    for (const char* part : {".shp", ".shx", ".dbf", ".prj"}) NorvikCore::insertFileToDelete((base + part).c_str(), false);
    return true;
}

void boundingBoxOfImages(CHubSearchRequest& request, const std::vector<std::string>& images) {
    if (NorvikCore::get_trace_level() >= 5) {
        traceInfo("Select zone from image list:\n");
        for (std::size_t i = 0; i < images.size(); ++i) traceInfo("%zu : %s\n", i, images[i].c_str());
    }
    const CImageListBox list = forbsImageListBox(images);
    CMapRectangle box = list.box;
    // The hubs take footprints in degrees only: a geocoded first image in a
    // projected system (UTM and the like) gives its snapped box in metres,
    // which is turned into degrees through its border.  A geographic first
    // image is unaffected.
    if (!list.slantRange && !list.system.isGeographic()) {
        traceInfo("Image list box in the map system of %s : West %.6f North %.6f East %.6f South %.6f\n",
                  images.front().c_str(), box.west, box.north, box.east, box.south);
        box = forbsRectangleToDegrees(list.system, box);
        traceInfo("Image list box in degrees : West %.9f North %.9f East %.9f South %.9f\n", box.west, box.north,
                  box.east, box.south);
    }
    request.m_west = box.west;
    request.m_north = box.north;
    request.m_east = box.east;
    request.m_south = box.south;
    request.m_coordinates_given = true;
}
