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

struct ExtractionOptions {
    // Not empty: every member must be this top-level name or lie below it,
    // or the whole archive is refused.
    std::string onlyBelow;
    // Replace an existing top-level file or folder of the same name: the
    // new one takes its place in one step (never a half-written one).
    bool replace = false;
};

// Extracts the zip `archive` below `destination`.  The whole archive is
// refused, with nothing written, when a member would land outside it (an
// absolute name, a ".." step, a backslash) or is a symbolic link.  Members
// are extracted into a hidden staging folder first and moved into place
// when all of them are complete; without `replace` an existing file or
// folder of the same name is never replaced (the result says so).
ExtractionResult extractArchive(const std::string& archive, const std::string& destination,
                                const ExtractionOptions& options = {});

// Puts `source` (a file or a folder) at `target` in one step, replacing
// what is there; what was there is removed.  Empty on success, else why.
std::string replaceAtomically(const std::string& source, const std::string& target);

}  // namespace NORBS_FETCH
