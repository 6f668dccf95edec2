// Band files of an imported raster: a raster read through the
// data-abstraction reader (TIFF, BigTIFF, GeoTIFF) written out as raw files
// of the suite, each with a short ENVI header of its own.
#pragma once

#include <string>

// Writes the bands of `inputPath` at `outputPath`: all in one file when
// asked and the bands allow it, else the output path itself for a single
// band or one file per band ("<output>_001", ...).  Every data file written
// is listed in "<output>.list".  Returns 1, or 0 after tracing why.
int forbs_exportRasterBands(const std::string& inputPath, const std::string& outputPath, bool allBandsInOneFile);
