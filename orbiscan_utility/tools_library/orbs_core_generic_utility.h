// Generic file, path and text utilities of the core library.
//
// Paths use "/".  Functions that produced new C texts return std::string;
// a result that can be "none" is a std::optional.  Failures are returned
// (0 / false) or raised with the source
// "orbiscan_utility/tools_library/orbs_core_generic_utility".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orbs_errors.h"

// Files.
// True when the file's status can be read; errno is reset to 0 either way.
bool fdfExistFile(const std::string& path);
// Why the path cannot be read as a file of data: none for a regular file
// (or a path that does not exist: its reader reports that), else a short
// reason such as "is a directory".  Opening a pipe or a device could block
// or never end, so readers refuse them before opening.
std::optional<std::string> fdfRegularFileRefusal(const std::string& path);
// Writes `text` as the whole content of a file (or appends it); 0 when every
// byte reached the file, else the errno of the failure (a full file system
// gives ENOSPC).  A failed write leaves no half file behind a rewrite.
int fdfWriteWholeFile(const std::string& path, std::string_view text, bool append = false);
// Writes every byte of `data` to an open file (short writes and EINTR go on);
// 0, else the errno of the failure.
int fdfWriteAll(int fd, std::string_view data);
// "<path>: <system text of the errno>", the detail of a failed write.
std::string fdfWriteFailure(const std::string& path, int error);
bool fdfRemoveFile(const std::string& path);
// Sets the permissions to 0600, then removes.
void fdfForceRemoveFile(const std::string& path);
bool fdfRemoveDir(const std::string& path);
uint64_t fdfFileSize(const std::string& path);
// 1 when the file could be opened for reading within 10 attempts; otherwise
// raises 40001 (raise set) or returns 0.
int forbsFilesync(const std::string& path, bool raise);
// Binary copy in 4096-byte blocks; 0 when either file cannot be opened.
int flocalUnixCopyFile(const std::string& source, const std::string& destination);
void fdfCopyFile(const std::string& source, const std::string& destination, bool companions);
void fdfRenameFile(const std::string& source, const std::string& destination, bool companions);
// Creates every missing directory along the path; 1 on success.  A null
// path gives 0.
int fdfCreateDir(const char* path);
inline int fdfCreateDir(const std::string& path) { return fdfCreateDir(path.c_str()); }

// Paths.
void fdfSplitPath(const std::string& path, std::string& drive, std::string& directory,
                  std::string& name, std::string& extension);

// Texts.
// The two texts joined; a carriage return ends either text (in the first it
// becomes a line feed).
std::string fdfConcat(const std::string& text, const std::string& suffix);
std::string fdfFormat(const char* format, ...) ORBS_PRINTF(1, 2);
bool fdfEndsWith(const std::string& text, const std::string& suffix);
void fdfRemoveSuffix(std::string& text, const std::string& suffix);
std::string& fdfToUpper(std::string& text);
int fdfCompareNoCase(const std::string& a, const std::string& b);
int fdfCompareNullable(const char* a, const char* b);
// Blanks and tabs removed at both ends; none for an absent, empty or blank text.
std::optional<std::string> fdfTrim(const char* text);
inline std::optional<std::string> fdfTrim(const std::string& text) { return fdfTrim(text.c_str()); }
void fdfCutAtChar(std::string& text, char character, char replacement);
// The lines of a text file (see the implementation for the rules); none when
// the file does not exist.
std::optional<std::vector<std::string>> fdfReadTextLines(const std::string& path, bool trim, char endCharacter);

// Numbers.
double fdfMetresPerLongitudeDegree(double latitudeDegrees);
float fdfHalfToFloat(uint16_t half);
void fdfHalfToFloat(const uint16_t* input, float* output, std::size_t count);
