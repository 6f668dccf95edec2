// Pieces of the ENVI header shared by its writers: the key/value line
// layout and the number format of the header stream.
#pragma once

#include <string>

class CSectionDataGroup;

namespace NORBS_ENVI_HEADER {

// "key" left-aligned and padded with blanks to 25 characters, " = ",
// the value and a line feed.
std::string keyLine(const std::string& key, const std::string& value);
// A number with the given significant digits in the default floating
// format (30 is the precision of the header stream).
std::string number(double value, int digits = 30);

// The map lines of a raster: geographic, UTM and ETRS89 LAEA grids from the
// header's cartographic system, the tie points and pixel size of a raster
// in radar geometry; empty when none applies.
std::string mapLines(CSectionDataGroup& set);
// The lines of the cartographic systems resolved through the map files:
// the transverse Mercator grids of Japan and the other projections, from
// the header's cartographic system (raises as YDF_MAP::init does for a
// system that does not resolve).  x, y: upper-left corner; dx, dy: pixel
// sizes (positive).
std::string mapLinesOfProjectedSystem(CSectionDataGroup& set, double x, double y, double dx, double dy);
// The rational polynomial model of "AcquisitionParameters", when set.
std::string rpcLines(CSectionDataGroup& set);

}  // namespace NORBS_ENVI_HEADER
