// Map definition files: the parameter files of ORBISCAN_MAP_FILES_DIR that
// give the admissible names and the parameters of cartographic systems.
//
// "map_list" names the files, one per line, up to the end or the first line
// beginning with '#'.  Each file is a parameter file with one section "Map"
// whose fields are the keys of YDF_MAP: "state" (String), "hemisphere",
// "projection", "zone", "ellipsoid", "datumshift" (String vectors: the
// admissible names), "abw", "abg", "abl" (at least 2 values), "ak0", "bk0",
// "k0", "phi0", "phi1", "cm", "x0", "y0" (Double scalars, angles in
// degrees), "cx", "cy", "dx", "dy" (at least 12), "dsp" (at least 9), "ex"
// (at least 11) and "rmat" (a matrix of at least 9 values, read as 3 x 3).
//
// Files are named "<kind>_<NAME>_map": state_, hemisphere_, projection_,
// zone_<HEMISPHERE>_, ellipsoid_ and datumshift_.  They are read in that
// order, and a field is taken from the first file that sets it.
#pragma once

#include <memory>
#include <string>

class CSectionData;

inline constexpr const char* CORBS_MAP_LIST_FILE = "map_list";
inline constexpr const char* CORBS_MAP_SECTION = "Map";
// Root element of the map files written by the generator.
inline constexpr const char* CORBS_MAP_FILE_ROOT = "MAP_INFO";
inline constexpr const char* CORBS_MAP_FILE_TEXT = "Wrong map field. Please check.";

// The "Map" section with every key of a map file, unset.
std::unique_ptr<CSectionData> forbsCreateMapSection();
