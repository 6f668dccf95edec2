// Pieces shared by the commands that start a downloader.
#pragma once

#include <string>

// Error code of a value that cannot be passed to a downloader as one
// argument ("Command string not valid").
constexpr int ORBS_EC_COMMAND_TEXT = 70004;

// `word` as one word of a downloader's command text (see
// OrbsSubproc::splitCommandText): quoted, its own quotes escaped.  A value
// that cannot be written so raises 70004 from `source`.
std::string quotedCommandWord(const std::string& word, const char* source);
