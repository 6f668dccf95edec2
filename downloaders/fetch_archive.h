// Extraction of downloaded archives that never writes outside its folder.
#pragma once

#include <string>
#include <vector>

namespace NORBS_FETCH {

struct ExtractionResult {
    bool ok = false;
    std::string error;                 // why nothing (or not everything) was extracted
    std::vector<std::string> created;  // top-level names now in the destination
};

// Extracts the zip `archive` below `destination`.  The whole archive is
// refused, with nothing written, when a member would land outside it (an
// absolute name, a ".." step, a backslash) or is a symbolic link.  Members
// are extracted into a hidden staging folder first and moved into place
// when all of them are complete; an existing file or folder of the same
// name is never replaced (the result says so).
ExtractionResult extractArchive(const std::string& archive, const std::string& destination);

}  // namespace NORBS_FETCH
