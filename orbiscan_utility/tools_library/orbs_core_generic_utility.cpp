#include "orbs_core_generic_utility.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <string_view>

#include "orbs_files_to_delete.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceAtLevel;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

constexpr const char* kSource = "orbiscan_utility/tools_library/orbs_core_generic_utility";

// Path splitting works on a copy of at most CORBS_MAX_PATH_LEN characters and
// keeps at most this many components; anything beyond is ignored.
constexpr std::size_t kMaxPathComponents = 50;
constexpr std::size_t kCopyBlockSize = 4096;
// Formatted texts are cut at this size (terminating zero included).
constexpr std::size_t kFormatBufferSize = 25000;
constexpr int kSyncAttempts = 10;
constexpr double kSyncPauseSeconds = 0.1;
constexpr double kRenameRetryPauseSeconds = 0.3;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

// The "/"-separated components of a path.  Empty fields ("//") are skipped;
// a path ending in "/" gets an empty last component; a path without "/" has
// none.
std::vector<std::string> splitComponents(const std::string& path) {
    std::vector<std::string> components;
    if (path.find('/') == std::string::npos) {
        return components;
    }
    std::size_t start = 0;
    while (start < path.size() && components.size() < kMaxPathComponents) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            components.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    if (path.back() == '/' && components.size() < kMaxPathComponents) {
        components.emplace_back();
    }
    return components;
}

void copyOrRaise(const std::string& source, const std::string& destination, int line) {
    if (flocalUnixCopyFile(source, destination) == 0) {
        raiseError(ORBS_EC_COPY_FAILED, kSource, line, destination);
    }
}

// Renames, falling back on a copy when the rename is refused (another file
// system, for instance).  The source is left to the caller.
void moveFile(const std::string& source, const std::string& destination, int copyFailureLine) {
    fdfRemoveFile(destination);
    traceAtLevel(15, "VT]rename(%s,%s) \n", source.c_str(), destination.c_str());
    if (std::rename(source.c_str(), destination.c_str()) != 0) {
        traceDebug("errno = %d\n", errno);
        fdfPauseSeconds(kRenameRetryPauseSeconds);
        copyOrRaise(source, destination, copyFailureLine);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Files

bool fdfExistFile(const std::string& path) {
    struct stat status {};
    const bool exists = ::stat(path.c_str(), &status) == 0;
    // Callers test errno after their own calls; a missing file is not an error.
    errno = 0;
    return exists;
}

std::optional<std::string> fdfRegularFileRefusal(const std::string& path) {
    struct stat status {};
    const bool known = ::stat(path.c_str(), &status) == 0;
    errno = 0;
    if (!known || S_ISREG(status.st_mode)) return std::nullopt;
    if (S_ISDIR(status.st_mode)) return "is a directory, not a file";
    if (S_ISFIFO(status.st_mode)) return "is a pipe, not a regular file";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

int fdfWriteWholeFile(const std::string& path, std::string_view text, bool append) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0) return errno;
    int error = fdfWriteAll(fd, text);
    if (::close(fd) != 0 && error == 0) error = errno;
    // A rewrite that stopped half-way would leave a file that looks valid
    // to its reader (a cut schema, a progress file without its step).
    if (error != 0 && !append && ::truncate(path.c_str(), 0) != 0) errno = error;
    return error;
}

int fdfWriteAll(int fd, std::string_view data) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written < 0 && errno != EINTR)
            return errno;
    }
    return 0;
}

std::string fdfWriteFailure(const std::string& path, int error) { return path + ": " + std::strerror(error); }

bool fdfRemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

void fdfForceRemoveFile(const std::string& path) {
    ::chmod(path.c_str(), S_IRUSR | S_IWUSR);
    std::remove(path.c_str());
}

bool fdfRemoveDir(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

uint64_t fdfFileSize(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size);
}

// Waits until a file written by another process can be opened.
int forbsFilesync(const std::string& path, bool raise) {
    int lastErrno = 0;
    for (int attempt = 0; attempt < kSyncAttempts; ++attempt) {
        if (FilePtr file{std::fopen(path.c_str(), "rb")}) {
            return 1;
        }
        lastErrno = errno;
        fdfPauseSeconds(kSyncPauseSeconds);
    }
    traceDebug("errno = %d\n", lastErrno);
    traceDebug("ERROR in forbsFilesync(%s\n", path.c_str());
    if (raise) {
        raiseError(ORBS_EC_FILE_NOT_OPENED, kSource, 1250, path);
    }
    return 0;
}

int flocalUnixCopyFile(const std::string& source, const std::string& destination) {
    FilePtr input{std::fopen(source.c_str(), "rb")};
    if (!input) {
        return 0;
    }
    FilePtr output{std::fopen(destination.c_str(), "wb")};
    if (!output) {
        return 0;
    }
    traceDebug("flocalUnixCopyFile(%s  ,  %s)\n", source.c_str(), destination.c_str());

    std::vector<char> block(kCopyBlockSize);
    for (;;) {
        const std::size_t read = std::fread(block.data(), 1, block.size(), input.get());
        if (read > 0 && read < block.size()) {
            traceDebug(" ; Last block size = %zu\n", read);
        }
        if (read > 0 && std::fwrite(block.data(), 1, read, output.get()) != read) {
            raiseError(ORBS_EC_WRITE_FAILED, kSource, 1558, destination);
        }
        if (read < block.size()) {
            break;
        }
    }
    // A source that cannot be read to its end would leave a truncated copy.
    if (std::ferror(input.get()) != 0) {
        return 0;
    }
    // Buffered data is written by the close: a full disk shows up here.
    if (std::fclose(output.release()) != 0) {
        raiseError(ORBS_EC_WRITE_FAILED, kSource, 1558, destination);
    }
    return 1;
}

void fdfCopyFile(const std::string& source, const std::string& destination, bool companions) {
    if (!companions && !fdfExistFile(source)) {
        // Header names: the parameter file beside the raster is what is copied.
        std::string sourceHeader = source;
        std::string destinationHeader = destination;
        fdfRemoveSuffix(sourceHeader, "_hdr");
        fdfRemoveSuffix(destinationHeader, "_hdr");
        sourceHeader += ".sml";
        destinationHeader += ".sml";
        traceDebug("Src : %s\n", sourceHeader.c_str());
        traceDebug("Dest : %s\n", destinationHeader.c_str());
        if (!fdfExistFile(sourceHeader)) {
            raiseError(ORBS_EC_FILE_NOT_FOUND, kSource, 1640, source);
        }
        fdfRemoveFile(destinationHeader);
        copyOrRaise(sourceHeader, destinationHeader, 1631);
        return;
    }

    copyOrRaise(source, destination, 1892);
    if (!companions) {
        return;
    }
    struct Companion {
        const char* suffix;
        int copyFailureLine;
        bool alwaysClearDestination;  // a stale header would describe the wrong raster
    };
    static constexpr Companion kCompanions[] = {
        {"_hdr", 1905, true}, {".hdr", 1912, true},  {".shp", 1928, false}, {".shx", 1939, false},
        {".dbf", 1950, false}, {".xml", 1961, false}, {".sml", 1972, false},
    };
    for (const Companion& companion : kCompanions) {
        const std::string from = source + companion.suffix;
        const std::string to = destination + companion.suffix;
        if (fdfExistFile(from)) {
            fdfRemoveFile(to);
            copyOrRaise(from, to, companion.copyFailureLine);
        } else if (companion.alwaysClearDestination) {
            fdfRemoveFile(to);
        }
    }
}

void fdfRenameFile(const std::string& source, const std::string& destination, bool companions) {
    if (!fdfExistFile(source)) {
        raiseError(ORBS_EC_FILE_NOT_FOUND, kSource, 2047, source);
    }
    moveFile(source, destination, 2074);
    if (companions) {
        struct Companion {
            const char* suffix;
            int copyFailureLine;
        };
        static constexpr Companion kCompanions[] = {{"_hdr", 2112}, {".hdr", 2136}, {".sml", 2162}};
        for (const Companion& companion : kCompanions) {
            const std::string from = source + companion.suffix;
            if (fdfExistFile(from)) {
                moveFile(from, destination + companion.suffix, companion.copyFailureLine);
            }
        }
    }
    // Whatever is left of the source (a copied file, companions that were not
    // moved) no longer belongs to anything.
    deleteFile(source, true, true);
}

int fdfCreateDir(const char* path) {
    if (path == nullptr) {
        return 0;
    }
    const std::string text(path);
    if (text.size() >= 2 && text.size() < 4 && text[1] == ':') {
        return 1;  // a drive root
    }
    const std::vector<std::string> components = splitComponents(text.substr(0, CORBS_MAX_PATH_LEN));
    if (components.empty()) {
        traceDebug("Cannot create the dir = %s\n", path);
        return 0;
    }
    // Only the directory asked for must be created by us; a parent may be
    // created concurrently or be unreadable while its child is not.  A
    // trailing "/" adds an empty component that names nothing.
    std::size_t lastNamed = components.size() - 1;
    if (components[lastNamed].empty() && lastNamed > 0) {
        --lastNamed;
    }
    // A relative path stays relative to the current directory.
    std::string partial = text.front() == '/' ? "/" : "";
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (components[i].empty()) {
            continue;
        }
        partial += components[i];
        if (!fdfExistFile(partial)) {
            if (::mkdir(partial.c_str(), 0) == 0) {
                ::chmod(partial.c_str(), 0777);
            } else if (i == lastNamed && errno != EEXIST) {
                const int error = errno;
                traceDebug("Cannot create the part = %s\n", partial.c_str());
                traceDebug("Cannot create the dir = %s\n", path);
                traceDebug("Error Code = %d\n", error);
                return 0;
            }
        }
        partial += '/';
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Paths

void fdfSplitPath(const std::string& path, std::string& drive, std::string& directory, std::string& name,
                  std::string& extension) {
    const std::string copy = path.substr(0, CORBS_MAX_PATH_LEN);
    const std::vector<std::string> components = splitComponents(copy);
    drive.clear();
    directory.clear();
    extension.clear();
    if (components.empty()) {
        name = copy;
    } else {
        if (copy.front() == '/') {
            const bool network = copy.starts_with("//") && !copy.starts_with("//?");
            drive = network ? "//" : "/";
            // "/name" has a single component, which is the name, not a directory.
            directory = components.size() == 1 ? drive : drive + components.front() + "/";
        } else {
            drive = components.front();
            directory = components.front() + "/";
        }
        for (std::size_t i = 1; i + 1 < components.size(); ++i) {
            directory += components[i] + "/";
        }
        name = components.back();
    }
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) {
        extension = name.substr(dot);
    }
    traceAtLevel(15, "VT]\n\nPath = %s\n", path.c_str());
    traceAtLevel(15, "VT]theDrive = %s\n", drive.c_str());
    traceAtLevel(15, "VT]theDir = %s\n", directory.c_str());
    traceAtLevel(15, "VT]theExt = %s\n", extension.c_str());
    traceAtLevel(15, "VT]theName = %s\n", name.c_str());
}

// ---------------------------------------------------------------------------
// Texts

std::string fdfConcat(const std::string& text, const std::string& suffix) {
    // Texts read from files written on other systems may still carry a
    // carriage return; nothing after it belongs to the text.
    std::string result;
    if (const std::size_t cr = text.find('\r'); cr != std::string::npos) {
        result = text.substr(0, cr);
        result += '\n';
    } else {
        result = text;
    }
    result.append(suffix, 0, suffix.find('\r'));
    return result;
}

std::string fdfFormat(const char* format, ...) {
    std::string buffer(kFormatBufferSize, '\0');
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    va_end(arguments);
    if (length < 0) {
        return {};
    }
    buffer.resize(std::min(static_cast<std::size_t>(length), kFormatBufferSize - 1));
    return buffer;
}

bool fdfEndsWith(const std::string& text, const std::string& suffix) {
    if (text.size() <= suffix.size()) {
        return false;
    }
    const std::string_view tail = std::string_view(text).substr(text.size() - suffix.size());
    return tail == suffix || equalNoCase(tail, suffix);
}

void fdfRemoveSuffix(std::string& text, const std::string& suffix) {
    if (fdfEndsWith(text, suffix)) {
        text.resize(text.size() - suffix.size());
    }
}

std::string& fdfToUpper(std::string& text) {
    std::transform(text.begin(), text.end(), text.begin(), upper);
    return text;
}

int fdfCompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(upper(a[i]));
        const auto y = static_cast<unsigned char>(upper(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

int fdfCompareNullable(const char* a, const char* b) {
    if (a == nullptr) {
        return b == nullptr ? 0 : -1;
    }
    if (b == nullptr) {
        return 1;
    }
    return fdfCompareNoCase(a, b);
}

std::optional<std::string> fdfTrim(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const std::string_view view(text);
    const std::size_t first = view.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t last = view.find_last_not_of(" \t");
    return std::string(view.substr(first, last - first + 1));
}

void fdfCutAtChar(std::string& text, char character, char replacement) {
    const std::size_t position = text.find(character);
    if (position == std::string::npos) {
        return;
    }
    if (replacement == '\0') {
        text.resize(position);  // a zero replacement ends the text there
    } else {
        text[position] = replacement;
        text.resize(position + 1);
    }
}

// Lines of any length are returned whole rather than split at a fixed size,
// so that one long line never turns into several entries.  A carriage return ends a line before it is trimmed, so that files
// written with CR LF line ends read like the others.  An end character of
// '\0' reads the whole file.
namespace {

// Lines longer than this are read as several lines, as by the suite's
// fixed line buffer: a line never costs more memory than this.
constexpr std::size_t kMaxTextLineLength = 2000000;

// The next line of `in` without its line feed, cut after `limit`
// characters (the rest comes as the next line); false at the end.
bool readLinePiece(std::streambuf& in, std::string& line, std::size_t limit) {
    line.clear();
    for (int c = in.sbumpc(); c != std::char_traits<char>::eof(); c = in.sbumpc()) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
        if (line.size() == limit) return true;
    }
    return !line.empty();
}

}  // namespace

std::optional<std::vector<std::string>> fdfReadTextLines(const std::string& path, bool trim, char endCharacter) {
    std::string resolved = path;
    if (!fdfExistFile(resolved)) {
        std::string drive;
        std::string directory;
        std::string name;
        std::string extension;
        fdfSplitPath(path, drive, directory, name, extension);
        std::string workingDir;
        if (fdfGetEnv(workingDir, "ORBISCAN_WORKING_DIR") != 0) {
            raiseError(ORBS_EC_ENVIRONMENT, kSource, 5784, "ORBISCAN_WORKING_DIR");
        }
        resolved = workingDir + name;
    }
    // A device or a pipe is no text file: it could be read for ever.
    if (const std::optional<std::string> refusal = fdfRegularFileRefusal(resolved)) {
        NORBS_ERROR_MANAGER::traceToDebugFile("NOT READ =%s (%s)\n", resolved.c_str(), refusal->c_str());
        return std::nullopt;
    }
    std::ifstream input(resolved, std::ios::binary);
    if (!input.is_open()) {
        const int error = errno;
        NORBS_ERROR_MANAGER::traceToDebugFile("errno=%d\n", error);
        NORBS_ERROR_MANAGER::traceToDebugFile("NOT FOUND =%s\n", resolved.c_str());
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::string line;
    while (readLinePiece(*input.rdbuf(), line, kMaxTextLineLength)) {
        if (const std::size_t cr = line.find('\r'); cr != std::string::npos) {
            line.resize(cr);
        }
        if (trim) {
            line = fdfTrim(line).value_or(std::string());
        }
        if (endCharacter != '\0' && !line.empty() && line.front() == endCharacter) {
            break;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// ---------------------------------------------------------------------------
// Numbers

double fdfMetresPerLongitudeDegree(double latitudeDegrees) {
    return std::cos(latitudeDegrees * std::numbers::pi / 180.0) * 111142.56676699892;
}

float fdfHalfToFloat(uint16_t half) {
    const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
    const uint32_t exponent = (half >> 10) & 0x1Fu;
    uint32_t mantissa = half & 0x3FFu;
    uint32_t bits = 0;
    if (exponent == 0x1Fu) {
        bits = sign | 0x7F800000u | (mantissa << 13);  // infinities and NaN keep their payload
    } else if (exponent != 0) {
        bits = sign | ((exponent + 127 - 15) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign;
    } else {
        // Subnormal: shift until the implicit bit appears, lowering the exponent.
        uint32_t shift = 0;
        while ((mantissa & 0x400u) == 0) {
            mantissa <<= 1;
            ++shift;
        }
        bits = sign | ((127 - 14 - shift) << 23) | ((mantissa & 0x3FFu) << 13);
    }
    return std::bit_cast<float>(bits);
}

void fdfHalfToFloat(const uint16_t* input, float* output, std::size_t count) {
    std::transform(input, input + count, output, [](uint16_t half) { return fdfHalfToFloat(half); });
}
