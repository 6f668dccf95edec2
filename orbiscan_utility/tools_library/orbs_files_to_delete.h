// Temporary files deleted with their companions at the end of a run, and the
// generated-file lists read by the user interface next to the work file.
#pragma once

#include <string>
#include <vector>

class CFileToDelete {
public:
    explicit CFileToDelete(int capacity);
    ~CFileToDelete();
    CFileToDelete(const CFileToDelete&) = delete;
    CFileToDelete& operator=(const CFileToDelete&) = delete;

    void insertFileToDelete(const std::string& path, bool companions);
    // Deletes (or not) every registered file and frees the register
    // (capacity 0).  The general parameters' option can veto the deletion.
    void reset(bool deleteFlag);
    // Same deletion pass; the register stays allocated.
    void commit(bool deleteFlag);
    // reset(true), then a register of the new capacity.
    void reinit(int capacity);

    int count() const { return static_cast<int>(mPaths.size()); }
    int capacity() const { return mCapacity; }
    const std::string& path(int i) const { return mPaths[static_cast<std::size_t>(i)]; }
    bool companions(int i) const { return mCompanions[static_cast<std::size_t>(i)]; }

private:
    void deletePass(bool effectiveFlag, bool fromReset);

    std::vector<std::string> mPaths;
    std::vector<bool> mCompanions;
    int mCapacity;
};

// Removes the path (when removeItself) and, with companions, its companion
// files.  Returns the result of removing the path (true when not asked).
bool deleteFile(const std::string& path, bool companions, bool removeItself);

// Generated-file lists.  listPath empty: the work file path + listSuffix.
int forbs_addFileToList(const std::string& file, const std::string& listPath, const std::string& listSuffix);
int forbs_addFileToListEstimateMean(const std::string& file, const std::string& listPath,
                                    const std::string& listSuffix);
int resetFileList(const std::string& listSuffix);

// Library start-up run right after the core set-up; returns 1.
int initCoreLibrary();

// Polarisation codes of the per-polarisation list siblings.
extern const std::vector<std::string> kPolarisationCodes;
