#include "orbs_files_to_delete.h"
#include "orbs_general_parameters.h"

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <optional>

#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_core_raster_file.h"
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_raster_header.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceAtLevel;
using NORBS_ERROR_MANAGER::traceDebug;

const std::vector<std::string> kPolarisationCodes{"HH", "HV", "VH", "VV", "RH", "RV", "LH", "LV"};

namespace {

constexpr int kListOpenAttempts = 10;
constexpr double kListPauseSeconds = 0.0001;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

const char* flagText(bool flag) { return flag ? "true" : "false"; }

// True when the general parameters ask to keep the temporary files of the run.
// Loaded general parameters whose delete option is off keep the files; the
// getter answers true while none are loaded.
bool generalParametersVetoDeletion() { return !NorvikCore::get_delete_temporary_files(); }

// The polarisation of a listed raster, read from its header: the fourth
// token of its scene data, or its first channel description.
std::optional<std::string> polarisationOfListedFile(const std::string& file) {
    CSectionDataGroup header;
    if (readRasterHeader(header, file, false, kRasterHeaderInfoSections) == 0) {
        traceDebug("Auxiliary file inconsistency for image : %s\n", file.c_str());
        return std::nullopt;
    }
    std::vector<std::string> tokens;
    if (const std::optional<std::string> scene = headerString(header, "RasterInfo.product_information")) {
        std::size_t start = 0;
        while (start < scene->size()) {
            const std::size_t end = std::min(scene->find_first_of("|,\t\n\r", start), scene->size());
            if (end > start) tokens.push_back(scene->substr(start, end - start));
            start = end + 1;
        }
    }
    if (!tokens.empty()) return tokens.size() >= 4 ? std::optional(tokens[3]) : std::nullopt;
    const auto descriptions = headerStrings(header, "ChannelInfo.Description");
    if (descriptions && !descriptions->empty()) return descriptions->front();
    return std::nullopt;
}

// Statistics estimate of a listed raster; the raster processing library runs it.
void estimateRasterStatistics(const std::string& /*file*/) {}

// Appends the file to a generated-file list, creating the list when needed.
// The user interface reads the lists while we write them, so opening may
// briefly fail.
bool appendToList(const std::string& file, const std::string& listPath) {
    FilePtr list;
    int lastErrno = 0;
    for (int attempt = 0; attempt < kListOpenAttempts && !list; ++attempt) {
        list.reset(std::fopen(listPath.c_str(), "a"));
        if (!list) {
            lastErrno = errno;
            fdfPauseSeconds(kListPauseSeconds);
        }
    }
    if (!list) {
        traceDebug("TRACE cannot open the list file : %s\n", listPath.c_str());
        traceDebug("TRACE errno : %d\n", lastErrno);
        return false;
    }
    traceAtLevel(15, "VT]TRACE forbs_addFileToList : %s\n", file.c_str());
    traceAtLevel(15, "Into : %s\n", listPath.c_str());
    const std::string line = file + "\n";
    std::fwrite(line.data(), 1, line.size(), list.get());
    list.reset();
    fdfPauseSeconds(kListPauseSeconds);
    return true;
}

std::string formatWithArguments(const char* format, va_list arguments) {
    va_list sizing;
    va_copy(sizing, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// TIFF library messages go to the process trace instead of the standard
// error stream, which nobody watches while the user interface runs us.
void forbsTIFFErrorHandler(const char* module, const char* format, va_list arguments) {
    std::string message;
    if (module != nullptr && *module != '\0') {
        message = std::string(module) + "  :  ";
    }
    message += formatWithArguments(format, arguments);
    traceDebug("%s\n", message.c_str());
}

void forbsTIFFErrorHandlerExt(thandle_t /*handle*/, const char* module, const char* format, va_list arguments) {
    forbsTIFFErrorHandler(module, format, arguments);
}

}  // namespace

// ---------------------------------------------------------------------------
// Temporary-file register

CFileToDelete::CFileToDelete(int capacity) : mCapacity(std::max(capacity, 0)) {
    mPaths.reserve(static_cast<std::size_t>(mCapacity));
    mCompanions.reserve(static_cast<std::size_t>(mCapacity));
}

CFileToDelete::~CFileToDelete() { reset(true); }

void CFileToDelete::insertFileToDelete(const std::string& path, bool companions) {
    if (count() >= mCapacity) {
        // A register emptied by reset() has no room left; it starts again at 1.
        mCapacity = mCapacity > 0 ? 2 * mCapacity : 1;
        mPaths.reserve(static_cast<std::size_t>(mCapacity));
        mCompanions.reserve(static_cast<std::size_t>(mCapacity));
    }
    traceAtLevel(15, "VT]%d] insertFileToDelete(%s , %s )\n", count(), path.c_str(), flagText(companions));
    mPaths.push_back(path);
    mCompanions.push_back(companions);
}

void CFileToDelete::reset(bool deleteFlag) {
    deletePass(deleteFlag && !generalParametersVetoDeletion(), true);
    mPaths.shrink_to_fit();
    mCompanions.shrink_to_fit();
    mCapacity = 0;
}

void CFileToDelete::commit(bool deleteFlag) { deletePass(deleteFlag, false); }

void CFileToDelete::reinit(int capacity) {
    reset(true);
    mCapacity = std::max(capacity, 0);
    mPaths.reserve(static_cast<std::size_t>(mCapacity));
    mCompanions.reserve(static_cast<std::size_t>(mCapacity));
}

void CFileToDelete::deletePass(bool effectiveFlag, bool fromReset) {
    if (fromReset) {
        traceAtLevel(15, "VT]CFileToDelete::reset() NUMBER of file to delete : %d\n", count());
    } else {
        traceAtLevel(15, "VT]CFileToDelete::commit() NUMBER of file to delete : %d\n", count());
    }
    traceAtLevel(15, "VT]DELETE flag : %s\n", flagText(effectiveFlag));

    // Deleting a file with its companions registers its extracted parameters
    // in the process register, which may be this very object: walk by index
    // so that those late entries are handled by the same pass.
    for (std::size_t i = 0; i < mPaths.size(); ++i) {
        const std::string path = mPaths[i];  // the vectors may grow below
        const int companions = mCompanions[i] ? 1 : 0;
        const int level = fromReset ? 15 : 10;
        const char* tag = fromReset ? "VT]" : "";
        if (effectiveFlag) {
            traceAtLevel(level, "%s%zu] deleteFile(%s , %d )\n", tag, i, path.c_str(), companions);
            deleteFile(path, companions != 0, true);
        } else {
            traceAtLevel(level, "%s%zu] NO deleteFile(%s , %d )\n", tag, i, path.c_str(), companions);
        }
    }
    mPaths.clear();
    mCompanions.clear();
}

bool deleteFile(const std::string& path, bool companions, bool removeItself) {
    const bool result = removeItself ? fdfRemoveFile(path) : true;
    if (!companions) {
        return result;
    }
    const auto removeIfPresent = [](const std::string& file) {
        if (fdfExistFile(file)) {
            fdfRemoveFile(file);
        }
    };
    const auto removeCompanions = [&](const std::string& base, std::initializer_list<const char*> suffixes) {
        for (const char* suffix : suffixes) {
            removeIfPresent(fdfConcat(base, suffix));
        }
    };

    removeCompanions(path, {"_ql.tif", "_ql.tif.hdr", "_ql.tif.sml", "_hdr", ".hdr", ".sml", "_orb.sml", ".xls",
                            ".shx"});
    if (const std::string shape = fdfConcat(path, ".shp"); fdfExistFile(shape)) {
        fdfRemoveFile(shape);
        if (const std::string shapeHeader = fdfConcat(shape, ".sml"); fdfExistFile(shapeHeader)) {
            deleteFile(shapeHeader, false, true);
        }
    }
    removeCompanions(path, {".prj", ".shp.sml", ".kml", ".shp_hdr", ".shp.hdr", ".dbf", ".xml", ".txt", ".old.hdr",
                            ".old.sml", "_old.hdr", "_old.sml", ".OrbiscanParameterExtracted"});

    // Extracted parameters may still be read by a later step of the run: they
    // go with the other temporary files at its end (at once if there is no
    // register any more).
    if (const std::string extracted = fdfConcat(path, ".OrbiscanParameterExtracted.sml"); fdfExistFile(extracted)) {
        if (NorvikCore::insertFileToDelete(extracted.c_str(), false) == 0) {
            fdfRemoveFile(extracted);
        }
    }

    // Products derived from a raw, SLC or ground-range image leave the
    // extracted parameters and header of the base name behind.  When the path
    // has none of those endings the base is the path itself, whose extracted
    // parameters were just registered and must survive until the end.
    std::string base = path;
    for (const char* ending : {"_raw", "_slc", "_gr"}) {
        fdfRemoveSuffix(base, ending);
    }
    if (base != path) {
        removeCompanions(base, {".OrbiscanParameterExtracted.sml", ".hdr"});
    }

    removeCompanions(path, {"_hdr.old.hdr", "_hdr.old.sml", "_tmp_hdr.hdr", "_tmp_hdr.sml", "_hdr_tmp.hdr",
                            "_hdr_tmp.sml"});
    return result;
}

// ---------------------------------------------------------------------------
// Generated-file lists

int forbs_addFileToList(const std::string& file, const std::string& listPath, const std::string& listSuffix) {
    traceDebug("forbs_addFileToList() = %s\n", file.c_str());
    const std::string list = listPath.empty() ? NorvikCore::get_work_file() + listSuffix : listPath;
    if (!fdfExistFile(file)) {
        return 0;
    }
    if (!appendToList(file, list)) {
        return 0;
    }
    // The user interface also shows the products of each polarisation apart.
    if (const std::optional<std::string> polarisation = polarisationOfListedFile(file);
        polarisation && polarisation->size() >= 2) {
        appendToList(file, list + *polarisation);
    }
    return 1;
}

int forbs_addFileToListEstimateMean(const std::string& file, const std::string& listPath,
                                    const std::string& listSuffix) {
    const int listed = forbs_addFileToList(file, listPath, listSuffix);
    if (listed == 1) {
        estimateRasterStatistics(file);
    }
    return listed;
}

int resetFileList(const std::string& listSuffix) {
    const std::string list = NorvikCore::get_work_file() + listSuffix;
    const auto removeIfPresent = [](const std::string& file) { return !fdfExistFile(file) || fdfRemoveFile(file); };
    if (!removeIfPresent(list)) {
        return 0;
    }
    for (const std::string& code : kPolarisationCodes) {
        if (!removeIfPresent(list + code)) {
            return 0;
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Library start-up

int initCoreLibrary() {
    CCoreRasterFile::testNumberOfOpenFiles = 0;
    TIFFSetErrorHandler(forbsTIFFErrorHandler);
    TIFFSetWarningHandler(forbsTIFFErrorHandler);
    TIFFSetErrorHandlerExt(forbsTIFFErrorHandlerExt);
    TIFFSetWarningHandlerExt(forbsTIFFErrorHandlerExt);
    // The user interface shows the lists of this command only.
    resetFileList("_generated_files.list");
    resetFileList("_generated_slc_list_files.list");
    gOpenRasterBuffers.clear();
    forbsSetRasterHeaderMapReader(forbsReadRasterHeaderMap);
    return 1;
}
