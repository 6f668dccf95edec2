// The few process-wide values of the raster processing library that the
// core start-up resets.  The raster processing library itself (raster files,
// buffers, quick-looks, geocoding...) lives elsewhere in the suite.
#pragma once

#include <cstddef>

class CCoreRasterFile {
public:
    // Number of raster files currently open, kept to find leaked handles.
    static int testNumberOfOpenFiles;
};

// The raster buffers the raster library keeps open between calls, held as a
// chain: its first element and its length.
struct COpenRasterBufferList {
    const void* mFirst = nullptr;
    std::size_t mCount = 0;

    void clear() {
        mFirst = nullptr;
        mCount = 0;
    }
};

extern COpenRasterBufferList gOpenRasterBuffers;
