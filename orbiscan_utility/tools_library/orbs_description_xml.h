// Parameter files: the XML tokeniser and the rules shared by the readers
// and writers of CSectionDataGroup (whose file operations are declared in
// orbs_description_section.h).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

class CSectionData;
class CSectionDataGroup;

constexpr int ORBS_EC_NO_PARAMETER_FILE = 40012;
constexpr int ORBS_EC_XML_NOT_PARSED = 40021;

inline constexpr const char* CORBS_XML_SOURCE = "tools_library/orbs_description_xml";

// Tokeniser limits used for parameter files.
constexpr int CORBS_XML_TAG_CAPACITY = 10000000;
constexpr int CORBS_XML_MAX_DEPTH = 20;
constexpr int CORBS_XML_MAX_LINE_LENGTH = 50000;
// Longest line piece read when a section is updated inside an existing file.
constexpr std::size_t CORBS_XML_UPDATE_MAX_LINE_LENGTH = 1000000;
// Most tokens taken from one brace group of the legacy text format.
constexpr std::size_t CORBS_TEXT_MAX_TOKENS = 100000;

inline constexpr const char* CORBS_HEADER_SCHEMA_URI = "http://schemas.orbiscan.invalid/header";
inline constexpr const char* CORBS_HEADER_SCHEMA_FILE = "OrbiscanHeaderSchema_version_1.0.xsd";

namespace NORBS_XML_STORE {

// An append-only array kept in chunks of 2^ChunkShift elements that never
// move once full: a large document never holds an old and a new copy of its
// tags at once (as a doubling array does while it grows), and no block is
// large enough for the allocator to map it afresh for every document.  The
// first chunk grows by doubling up to the chunk size, so that a small
// document costs little memory.
template <class T, unsigned ChunkShift>
class ChunkedArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>);

public:
    static constexpr std::size_t kChunkSize = std::size_t{1} << ChunkShift;

    std::size_t size() const { return mSize; }
    const T& operator[](std::size_t i) const { return mChunks[i >> ChunkShift][i & (kChunkSize - 1)]; }
    T& operator[](std::size_t i) { return mChunks[i >> ChunkShift][i & (kChunkSize - 1)]; }

    void push_back(const T& value) {
        if (mSize == mLastCapacity) grow();
        (*this)[mSize] = value;
        ++mSize;
    }

private:
    void grow() {
        if (mSize != 0 && mSize < kChunkSize) {
            // Only the first chunk is ever copied, and only while small.
            const std::size_t capacity = std::min(mLastCapacity * 2, kChunkSize);
            std::unique_ptr<T[]> bigger(new T[capacity]);
            std::copy(mChunks[0].get(), mChunks[0].get() + mSize, bigger.get());
            mChunks[0] = std::move(bigger);
            mLastCapacity = capacity;
            return;
        }
        const std::size_t capacity = mSize == 0 ? std::min<std::size_t>(kFirstCapacity, kChunkSize) : kChunkSize;
        mChunks.emplace_back(new T[capacity]);
        mLastCapacity = mSize + capacity;
    }

    static constexpr std::size_t kFirstCapacity = 16;

    std::vector<std::unique_ptr<T[]>> mChunks;
    std::size_t mSize = 0;
    std::size_t mLastCapacity = 0;  // elements that fit before the next growth
};

// The bytes of names, texts and attribute values: blocks that never move,
// each string contiguous and followed by a NUL byte (so that numbers can be
// converted in place).
class TextStore {
public:
    // Room for `length` bytes and the NUL after them.
    char* allocate(std::size_t length) {
        if (static_cast<std::size_t>(mLimit - mCursor) <= length) newBlock(length + 1);
        char* text = mCursor;
        mCursor += length + 1;
        text[length] = '\0';
        return text;
    }

    // A string built piece by piece: begin, then extend (room for `more`
    // bytes, of which `commit` tells how many were written), then finish
    // (the string, NUL-terminated).  No other string may be allocated
    // meanwhile: the run must stay contiguous.
    void beginRun() { mRunStart = mCursor; }
    char* extendRun(std::size_t more) {
        const auto used = static_cast<std::size_t>(mCursor - mRunStart);
        if (static_cast<std::size_t>(mLimit - mCursor) <= more) moveRun(used, more);
        return mCursor;
    }
    void commitRun(std::size_t written) { mCursor += written; }
    std::size_t runLength() const { return static_cast<std::size_t>(mCursor - mRunStart); }
    const char* finishRun() {
        *mCursor++ = '\0';
        return mRunStart;
    }

    // Bytes of all blocks held.
    std::size_t heldBytes() const { return mHeldBytes; }

private:
    static constexpr std::size_t kFirstBlockSize = 256;
    static constexpr std::size_t kBlockSize = std::size_t{1} << 16;

    // Opens a block of at least `needed` bytes.  The rest of the previous
    // block is left unused.
    void newBlock(std::size_t needed);
    // Moves the run being built (`used` bytes) into a block with room for
    // `more` bytes and the NUL.  The room at least doubles with each move,
    // so a text built from many small pieces is copied a bounded number of
    // times; a block that held nothing but the run is released.
    void moveRun(std::size_t used, std::size_t more);

    std::vector<std::unique_ptr<char[]>> mBlocks;
    char* mCursor = nullptr;
    char* mLimit = nullptr;
    char* mRunStart = nullptr;
    std::size_t mNextBlockSize = kFirstBlockSize;
    std::size_t mHeldBytes = 0;
};

// The distinct names of a document (tags and attributes), each stored once
// and known by its index.
class NameTable {
public:
    int find(std::string_view name) const { return find(name, hash(name)); }
    int find(std::string_view name, std::uint64_t hashValue) const;
    int intern(std::string_view name, std::uint64_t hashValue, TextStore& store);
    std::string_view name(int id) const { return mNames[static_cast<std::size_t>(id)]; }

    static std::uint64_t hash(std::string_view name);

private:
    void rehash(std::size_t slots);

    std::vector<std::string_view> mNames;
    std::vector<std::uint64_t> mHashes;
    std::vector<int> mSlots;  // ids, -1 when free; a power of two in size
};

}  // namespace NORBS_XML_STORE

// One element of a tokenised document, as the tag list stores it.  Its name
// is interned in the list (CXmlTagList::getName, getNameId); its text lives
// in the list's store and holds the file's bytes as they were after
// pre-processing (entities still encoded, see
// NORBS_PARAMETER_FILE::decodeXmlText).
struct CXmlTag {
    const char* mText;            // the first non-blank character data, NUL-terminated; null when none
    std::size_t mTextLength;
    std::size_t mFirstAttribute;  // its attributes follow those of the tags before it
    int mDepth;                   // 0 for the root
    int mNameId;
};

// One attribute of a tag: its interned name and its value, NUL-terminated.
struct CXmlAttribute {
    const char* mValue;
    std::uint32_t mValueLength;  // expat holds every string in int-sized blocks
    int mNameId;
};

// Optional conditions of CXmlTagList::findTag.
struct CXmlTagQuery {
    std::optional<std::string> attributeName;   // the tag must carry it...
    std::optional<std::string> attributeValue;  // ...with this value (when given)
    int withinSubtreeOf = -1;                   // only descendants of that tag
    int depth = -1;                             // only tags at that depth

    // Only the descendants of `tag`.
    static CXmlTagQuery inside(int tag) {
        CXmlTagQuery query;
        query.withinSubtreeOf = tag;
        return query;
    }
};

// The flat tag list of one document, in document order.
class CXmlTagList {
public:
    explicit CXmlTagList(int capacity) : mCapacity(capacity > 0 ? capacity : 1) {}

    int getTagsNbr() const { return static_cast<int>(mTags.size()); }
    const CXmlTag* getTag(int i) const { return inList(i) ? &tagAt(i) : nullptr; }
    int getDepth(int i) const { return inList(i) ? tagAt(i).mDepth : -1; }
    std::string getName(int i) const;        // "" outside the list
    std::string getText(int i) const;        // "" when absent
    bool hasText(int i) const { return inList(i) && tagAt(i).mText != nullptr; }
    std::optional<std::string> getAttribute(int i, const std::string& name) const;

    // Names as numbers, for readers that compare many tags against a few
    // names: the number of a name (-1 when no tag or attribute of the
    // document has it) and the name number of tag i (-1 outside the list).
    int findNameId(std::string_view name) const { return mNames.find(name); }
    int getNameId(int i) const { return inList(i) ? tagAt(i).mNameId : -1; }
    // The text of tag i without a copy ("" when absent); a NUL byte follows
    // the viewed bytes.  Valid as long as the list.
    std::string_view getTextView(int i) const;
    // The value of an attribute given by name number, without a copy.
    std::optional<std::string_view> getAttributeView(int i, int nameId) const;

    // First tag at or after `start` with the name and the query's
    // conditions; -1 when none.
    int findTag(int start, const std::string& name, const CXmlTagQuery& query = {}) const;
    // One past the last descendant of tag i.
    int getSubtreeEnd(int i) const;
    int countChildren(int i) const;
    int countChildren(int i, const std::string& name) const;

    // The logical capacity: the start capacity, doubled each time it fills.
    int getCapacity() const { return mCapacity; }

    // Building (used by the tokeniser, defined with it).
    class Builder;

private:
    bool inList(int i) const { return i >= 0 && i < getTagsNbr(); }
    const CXmlTag& tagAt(int i) const { return mTags[static_cast<std::size_t>(i)]; }
    // The attributes of tag i: [first, end).
    std::size_t attributesEnd(int i) const {
        return i + 1 < getTagsNbr() ? tagAt(i + 1).mFirstAttribute : mAttributes.size();
    }

    NORBS_XML_STORE::ChunkedArray<CXmlTag, 11> mTags;              // 64 KiB chunks
    NORBS_XML_STORE::ChunkedArray<CXmlAttribute, 12> mAttributes;  // 64 KiB chunks
    NORBS_XML_STORE::TextStore mTexts;
    NORBS_XML_STORE::NameTable mNames;
    int mCapacity;
};

// Tokenises an XML file; none when the path is empty or holds "NotOK", or
// when the document cannot be parsed (twice with `retry`).  `refusal`, when
// given, receives the reason in words when the file is refused on purpose
// (not a regular file, entity declarations); a syntax error leaves it empty.
std::unique_ptr<CXmlTagList> forbs_xml_parser(const std::string& path, int tagCapacity = CORBS_XML_TAG_CAPACITY,
                                              int maxDepth = CORBS_XML_MAX_DEPTH,
                                              int maxLineLength = CORBS_XML_MAX_LINE_LENGTH, bool retry = true,
                                              std::string* refusal = nullptr);

namespace NORBS_PARAMETER_FILE {

// The detail text of a file that could not be tokenised: its path, and the
// reason when it was refused on purpose.
inline std::string unparsedFileDetail(const std::string& path, const std::string& refusal) {
    return refusal.empty() ? path : path + ": " + refusal;
}

// The rewriting applied to every line before expat sees it, and its inverse
// applied to text values.
std::string preprocessXmlLine(std::string_view line);
std::string decodeXmlText(std::string_view text);
// The same into `out` (replacing its content), whose storage is reused.
void decodeXmlText(std::string_view text, std::string& out);
// Escaping of text values written to XML.
std::string escapeXmlText(const std::string& text);

// A raster or parameter path without its "_hdr" and ".sml" endings.
std::string parameterFileBase(const std::string& path);

// The data type word of element names ("Integer", "Double", "String",
// "EFDT" for any other type).
const char* typeWord(int dataTypeId);

// Doubles as written to files: 30 significant digits, "NaN".
std::string formatDouble(double value);
// Value words of both formats: "NaN"/"nan" and the two template words.
double parseDouble(const std::string& text);
int parseInteger(const std::string& text);
// The same for the `length` bytes at `text` when a NUL byte follows them
// (the texts of CXmlTagList::getTextView): converted in place, no copy.
double parseDouble(const char* text, std::size_t length);
int parseInteger(const char* text, std::size_t length);

// Rules applied around reading and writing.  Each returns true when it
// changed the set.
bool applyPolarizationRule(CSectionDataGroup& set);
bool applyChannelsDefault(CSectionDataGroup& set);
bool deriveDemCoordinates(CSectionDataGroup& set);
bool recordSoftwareVersion(CSectionDataGroup& set);

// The XML of one section (used for new files and in-place updates).
std::string sectionToXml(const CSectionData& section, int indent);

// Forces a written file to disk and waits until it can be opened again.
void syncToDisk(const std::string& path);

}  // namespace NORBS_PARAMETER_FILE
