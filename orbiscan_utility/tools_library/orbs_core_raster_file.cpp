#include "orbs_core_raster_file.h"

int CCoreRasterFile::testNumberOfOpenFiles = 0;

COpenRasterBufferList gOpenRasterBuffers;
