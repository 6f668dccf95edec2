// Read access to zip archives (KMZ files are zip archives).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct zip;

class OrbsArchive {
public:
    // One member of the archive, as listed in its central directory.
    class Entry {
    public:
        Entry(std::string filename, std::uint64_t size, bool link = false)
            : mFilename(std::move(filename)), mSize(size), mLink(link) {}
        // The member's name with its folders, as stored ("files/doc.kml").
        const std::string& getFilename() const { return mFilename; }
        std::uint64_t getSize() const { return mSize; }
        // A symbolic link (stored by a Unix archiver with its link mode).
        bool isLink() const { return mLink; }

    private:
        std::string mFilename;
        std::uint64_t mSize;
        bool mLink;
    };

    // The path may be given to the constructor or to load.
    OrbsArchive() = default;
    explicit OrbsArchive(std::string path) : mPath(std::move(path)) {}
    ~OrbsArchive();
    OrbsArchive(const OrbsArchive&) = delete;
    OrbsArchive& operator=(const OrbsArchive&) = delete;

    // Opens the archive and lists its members; false (reason in the runtime
    // log) when it is missing, not a zip archive or inconsistent.
    bool load();
    bool load(const std::string& path);

    // Members in archive order; `at` throws std::out_of_range past the end.
    unsigned getNrOfEntries() const { return static_cast<unsigned>(mEntries.size()); }
    const Entry& at(unsigned index) const { return mEntries.at(index); }

    // Writes member `index` to `target`, replacing it.  False, and `target`
    // untouched, when the member cannot be read completely (bad checksum,
    // a folder entry) or the file cannot be written.
    bool extractAs(unsigned index, const std::string& target) const;

private:
    struct ZipCloser {
        void operator()(zip* archive) const;
    };

    std::string mPath;
    std::unique_ptr<zip, ZipCloser> mArchive;
    std::vector<Entry> mEntries;
};
