// Parameter files: the XML tokeniser and the rules shared by the readers
// and writers of CSectionDataGroup (whose file operations are declared in
// orbs_description_section.h).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
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

// One element of a tokenised document.  Texts hold the file's bytes as they
// were after pre-processing (entities still encoded, see
// NORBS_PARAMETER_FILE::decodeXmlText).
struct CXmlTag {
    int mDepth = 0;  // 0 for the root
    std::string mName;
    std::vector<std::pair<std::string, std::string>> mAttributes;
    std::optional<std::string> mText;  // the first non-blank character data
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
    const CXmlTag* getTag(int i) const;
    int getDepth(int i) const;               // -1 outside the list
    std::string getName(int i) const;        // "" outside the list
    std::string getText(int i) const;        // "" when absent
    bool hasText(int i) const;
    std::optional<std::string> getAttribute(int i, const std::string& name) const;

    // First tag at or after `start` with the name and the query's
    // conditions; -1 when none.
    int findTag(int start, const std::string& name, const CXmlTagQuery& query = {}) const;
    // One past the last descendant of tag i.
    int getSubtreeEnd(int i) const;
    int countChildren(int i) const;
    int countChildren(int i, const std::string& name) const;

    // The logical capacity: the start capacity, doubled each time it fills.
    int getCapacity() const { return mCapacity; }

    // Building (used by the tokeniser).
    int appendTag(CXmlTag tag);
    CXmlTag& tag(int i) { return mTags[static_cast<std::size_t>(i)]; }

private:
    std::vector<CXmlTag> mTags;
    int mCapacity;
};

// Tokenises an XML file; none when the path is empty or holds "NotOK", or
// when the document cannot be parsed (twice with `retry`).
std::unique_ptr<CXmlTagList> forbs_xml_parser(const std::string& path, int tagCapacity = CORBS_XML_TAG_CAPACITY,
                                              int maxDepth = CORBS_XML_MAX_DEPTH,
                                              int maxLineLength = CORBS_XML_MAX_LINE_LENGTH, bool retry = true);

namespace NORBS_PARAMETER_FILE {

// The rewriting applied to every line before expat sees it, and its inverse
// applied to text values.
std::string preprocessXmlLine(const std::string& line);
std::string decodeXmlText(const std::string& text);
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
