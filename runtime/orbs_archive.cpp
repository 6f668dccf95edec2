// Zip archive reading on libzip.
#include "orbs_archive.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include "orbs_runtime.h"

namespace {

void logLine(const std::string& text) { OrbsLog::write("archive: " + text); }

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

void OrbsArchive::ZipCloser::operator()(zip* archive) const {
    // Opened read-only: nothing to write back.
    zip_discard(archive);
}

OrbsArchive::~OrbsArchive() = default;

bool OrbsArchive::load(const std::string& path) {
    mPath = path;
    return load();
}

bool OrbsArchive::load() {
    mArchive.reset();
    mEntries.clear();
    int errorCode = 0;
    // No ZIP_CHECKCONS: some archivers write local headers that differ from
    // the central directory in harmless ways, and such KMZ files must open.
    // Damaged member data is still caught by the checksum on extraction.
    zip* archive = zip_open(mPath.c_str(), ZIP_RDONLY, &errorCode);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, errorCode);
        logLine("cannot open '" + mPath + "': " + zip_error_strerror(&error));
        zip_error_fini(&error);
        return false;
    }
    mArchive.reset(archive);

    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t info;
        zip_stat_init(&info);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &info) != 0 || info.name == nullptr) {
            logLine("cannot read entry " + std::to_string(i) + " of '" + mPath + "': " + zip_strerror(archive));
            mArchive.reset();
            mEntries.clear();
            return false;
        }
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        const bool link = zip_file_get_external_attributes(archive, static_cast<zip_uint64_t>(i), 0, &system,
                                                           &attributes) == 0 &&
                          system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
        mEntries.emplace_back(info.name, (info.valid & ZIP_STAT_SIZE) != 0 ? info.size : 0, link);
    }
    return true;
}

bool OrbsArchive::extractAs(unsigned index, const std::string& target) const {
    if (!mArchive || index >= mEntries.size()) {
        logLine("no entry " + std::to_string(index) + " to extract");
        return false;
    }
    const std::string& name = mEntries[index].getFilename();
    if (!name.empty() && name.back() == '/') {
        logLine("entry '" + name + "' is a folder");
        return false;
    }
    std::unique_ptr<zip_file_t, FileCloser> source(zip_fopen_index(mArchive.get(), index, 0));
    if (!source) {
        logLine("cannot read entry '" + name + "': " + zip_strerror(mArchive.get()));
        return false;
    }

    // Written beside the target and renamed at the end: a reader never sees
    // a partial file, and a failure leaves an existing target as it was.
    const std::string partial = target + ".part" + std::to_string(::getpid());
    bool written = false;
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (out) {
            char buffer[65536];
            zip_int64_t count = 0;
            while ((count = zip_fread(source.get(), buffer, sizeof buffer)) > 0)
                out.write(buffer, static_cast<std::streamsize>(count));
            out.close();
            // zip_fread reports a checksum mismatch as an error at the end.
            written = count == 0 && out.good();
            if (count < 0) logLine("entry '" + name + "' is damaged: " + zip_file_strerror(source.get()));
        }
    }
    std::error_code error;
    if (written) std::filesystem::rename(partial, target, error);
    if (!written || error) {
        logLine("cannot write '" + target + "'" + (error ? ": " + error.message() : std::string()));
        std::filesystem::remove(partial, error);
        return false;
    }
    return true;
}
