#include "orbs_downloader_command.h"

#include "orbs_errors.h"
#include "orbs_subproc.h"

std::string quotedCommandWord(const std::string& word, const char* source) {
    const std::optional<std::string> quoted = OrbsSubproc::quoteWord(word);
    if (!quoted)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_COMMAND_TEXT, source, __LINE__,
                                        "cannot be passed to the downloader as one argument: " + word);
    return *quoted;
}
