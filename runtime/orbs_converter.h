// Format conversions of the runtime.
#pragma once

#include <string>

namespace converter {

// Runs one conversion.  The only operation is "kml_to_shapefile": the outer
// ring of the first Polygon of the KML document `input` becomes a polygon
// shapefile at `output` (the .shp path; the .shx, .dbf and .prj files are
// written beside it).  The two option texts are reserved and must be
// empty.  False, with nothing written, when the document holds no usable
// polygon or the files cannot be written; the reason goes to the runtime log.
bool convert(const std::string& input, const std::string& output, const std::string& operation,
             const std::string& option1, const std::string& option2);

}  // namespace converter
