// The XML tokeniser of parameter files and schemas: expat fed line by line,
// with the pre-processing that keeps entities and high bytes literal, and
// the flat tag list it builds.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "orbs_description_xml.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::traceDebug;

namespace {

struct EntityCode {
    const char* entity;
    const char* code;
    char character;
};

// The five predefined entities and the plain codes that stand for them
// between pre-processing and decoding.  Each code is as long as its entity.
constexpr EntityCode kEntities[] = {
    {"&quot;", "##quot", '"'}, {"&apos;", "##apos", '\''}, {"&amp;", "##amp", '&'},
    {"&lt;", "##lt", '<'},     {"&gt;", "##gt", '>'},
};

constexpr const char* kBigMark = "####BIG";
constexpr std::size_t kBigMarkLength = 7;
constexpr unsigned char kBigFirst = 0x80;
constexpr unsigned char kBigLast = 0xA4;
constexpr unsigned char kBigShift = 0x50;

bool startsAt(const std::string& text, std::size_t at, const char* prefix) {
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}

// Every code of the pre-processing begins with this character, so that a
// decoder need only look closer where it occurs.
constexpr char kCodeLead = '#';

constexpr bool allCodesBeginWithTheLead() {
    if (kBigMark[0] != kCodeLead) return false;
    for (const EntityCode& entity : kEntities) {
        if (entity.code[0] != kCodeLead) return false;
    }
    return true;
}
static_assert(allCodesBeginWithTheLead());

// A byte that the pre-processing copies unchanged whatever follows it.
bool isPlainByte(char c) { return c != '&' && static_cast<unsigned char>(c) < kBigFirst; }

// The replacement of an accented letter of the old single-byte files, or
// the byte itself.
char plainLetter(unsigned char c) {
    switch (c) {
    case 0xB0: return 'd';
    case 0xE9: return 'e';
    case 0xF1: return 'n';
    case 0xF6: return 'o';
    case 0xFC: return 'u';
    default: return static_cast<char>(c);
    }
}

// expat is created for ISO-8859-1 so that every byte of a file is accepted
// whatever its declared encoding; it hands out UTF-8, which is turned back
// here into the file's own bytes.  Code points above 0xFF (only possible
// through character references) keep their UTF-8 form.
bool isLatin1Lead(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0xC2 || byte == 0xC3;
}

void appendFileBytes(std::string& bytes, const XML_Char* text, std::size_t length) {
    for (std::size_t i = 0; i < length;) {
        // Bytes up to the next lead byte are the file's own: copied at once.
        std::size_t runEnd = i;
        while (runEnd < length && !isLatin1Lead(text[runEnd])) ++runEnd;
        if (runEnd > i) {
            bytes.append(text + i, runEnd - i);
            i = runEnd;
            continue;
        }
        const auto lead = static_cast<unsigned char>(text[i]);
        if (i + 1 < length && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            bytes.push_back(static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F)));
            i += 2;
        } else {
            bytes.push_back(static_cast<char>(lead));
            ++i;
        }
    }
}

std::string fileBytes(const XML_Char* text, std::size_t length) {
    std::string bytes;
    bytes.reserve(length);
    appendFileBytes(bytes, text, length);
    return bytes;
}

std::string fileBytes(const XML_Char* text) { return fileBytes(text, std::strlen(text)); }

struct ParseState {
    CXmlTagList* list = nullptr;
    XML_Parser parser = nullptr;
    std::vector<int> open;  // indexes of the open elements, innermost last
    std::size_t maxDepth = 0;
    bool tooDeep = false;
    // Character data of the innermost open element since the last event.
    // expat may cut one run of text into several calls (its conversion
    // buffer is small); joining them makes one chunk per run within a line.
    std::string pending;
};

void flushText(ParseState& state) {
    if (!state.pending.empty() && !state.open.empty()) {
        const std::size_t first = state.pending.find_first_not_of(" \t");
        CXmlTag& owner = state.list->tag(state.open.back());
        // Only the first chunk counts; later ones are ignored.
        if (first != std::string::npos && !owner.mText) owner.mText = state.pending.substr(first);
    }
    state.pending.clear();
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& state = *static_cast<ParseState*>(data);
    flushText(state);
    // The open-element stack is bounded: deeper documents are refused as
    // unparsable.
    if (state.open.size() >= state.maxDepth) {
        state.tooDeep = true;
        XML_StopParser(state.parser, XML_FALSE);
        return;
    }
    CXmlTag tag;
    tag.mDepth = static_cast<int>(state.open.size());
    tag.mName = fileBytes(name);
    std::size_t pairs = 0;
    while (attributes[2 * pairs] != nullptr && attributes[2 * pairs + 1] != nullptr) ++pairs;
    tag.mAttributes.reserve(pairs);
    for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
        tag.mAttributes.emplace_back(fileBytes(attributes[i]), fileBytes(attributes[i + 1]));
    }
    state.open.push_back(state.list->appendTag(std::move(tag)));
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    auto& state = *static_cast<ParseState*>(data);
    flushText(state);
    if (!state.open.empty()) state.open.pop_back();
}

void XMLCALL onCharacters(void* data, const XML_Char* text, int length) {
    auto& state = *static_cast<ParseState*>(data);
    appendFileBytes(state.pending, text, static_cast<std::size_t>(length));
}

// The lines of a file, read through a block buffer so that each line is
// found with one memchr instead of one stream call per byte.
class LineReader {
public:
    explicit LineReader(std::streambuf& input) : mInput(input), mBlock(kBlockSize) {}

    // Reads the next line piece: at most maxLength bytes (at least 1),
    // without its line terminator (a carriage return before the new line
    // belongs to the terminator).  A piece that fills maxLength leaves the
    // rest of the line, new line included, to the next call.  False at end
    // of file.
    bool next(std::string& piece, std::size_t maxLength) {
        piece.clear();
        bool readAny = false;
        while (piece.size() < maxLength) {
            if (mPosition == mLength && !refill()) return readAny;
            readAny = true;
            const char* start = mBlock.data() + mPosition;
            const std::size_t span = std::min(mLength - mPosition, maxLength - piece.size());
            const void* newLine = std::memchr(start, '\n', span);
            if (newLine != nullptr) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(newLine) - start);
                piece.append(start, length);
                mPosition += length + 1;
                if (!piece.empty() && piece.back() == '\r') piece.pop_back();
                return true;
            }
            piece.append(start, span);
            mPosition += span;
        }
        return true;
    }

    // True when no byte is left.
    bool atEnd() { return mPosition == mLength && !refill(); }

private:
    static constexpr std::size_t kBlockSize = 1 << 14;

    bool refill() {
        const std::streamsize got = mInput.sgetn(mBlock.data(), static_cast<std::streamsize>(mBlock.size()));
        mPosition = 0;
        mLength = got > 0 ? static_cast<std::size_t>(got) : 0;
        return mLength > 0;
    }

    std::streambuf& mInput;
    std::vector<char> mBlock;
    std::size_t mPosition = 0;
    std::size_t mLength = 0;
};

// Whether pre-processing would change the line: only "&" and bytes from
// 0x80 up are rewritten.
bool needsPreprocessing(const std::string& line) {
    return !std::all_of(line.begin(), line.end(), isPlainByte);
}

struct ParserDeleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

std::unique_ptr<CXmlTagList> parseOnce(const std::string& path, int tagCapacity, int maxDepth, int maxLineLength) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        traceDebug("%s : cannot be opened\n", path.c_str());
        return nullptr;
    }
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("ISO-8859-1"));
    if (!parser) return nullptr;

    auto list = std::make_unique<CXmlTagList>(tagCapacity);
    ParseState state;
    state.list = list.get();
    state.parser = parser.get();
    state.maxDepth = static_cast<std::size_t>(std::max(maxDepth, 0));
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onCharacters);

    // Lines are read in pieces of at most maxLineLength bytes, so memory
    // stays bounded whatever the file; a longer line reaches expat in
    // several pieces, which is the same text since terminators are dropped.
    const std::size_t pieceLength = static_cast<std::size_t>(std::max(maxLineLength, 1));
    LineReader lines(*file.rdbuf());
    std::string raw;
    std::string rewritten;
    bool fedAny = false;
    while (lines.next(raw, pieceLength)) {
        fedAny = true;
        const bool last = lines.atEnd();
        // Most lines hold nothing to rewrite and go to expat as they are.
        const bool rewrite = needsPreprocessing(raw);
        if (rewrite) rewritten = NORBS_PARAMETER_FILE::preprocessXmlLine(raw);
        const std::string& line = rewrite ? rewritten : raw;
        const XML_Status status = XML_Parse(parser.get(), line.data(), static_cast<int>(line.size()), last);
        flushText(state);
        if (status != XML_STATUS_OK) {
            const char* reason = state.tooDeep ? "nesting deeper than the depth limit"
                                               : XML_ErrorString(XML_GetErrorCode(parser.get()));
            traceDebug("%s\n%s at line %s\n", path.c_str(), reason, raw.c_str());
            return nullptr;
        }
    }
    if (!fedAny && XML_Parse(parser.get(), "", 0, XML_TRUE) != XML_STATUS_OK) {
        traceDebug("%s\n%s at line \n", path.c_str(), XML_ErrorString(XML_GetErrorCode(parser.get())));
        return nullptr;
    }
    return list;
}

}  // namespace

namespace NORBS_PARAMETER_FILE {

std::string preprocessXmlLine(const std::string& line) {
    std::string out;
    out.reserve(line.size() + 16);
    for (std::size_t i = 0; i < line.size();) {
        // Bytes below 0x80 other than "&" are left alone by every rewrite
        // below: a run of them is copied at once.
        std::size_t plainEnd = i;
        while (plainEnd < line.size() && isPlainByte(line[plainEnd])) ++plainEnd;
        if (plainEnd > i) {
            out.append(line, i, plainEnd - i);
            i = plainEnd;
            continue;
        }
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '&') {
            const EntityCode* match = nullptr;
            for (const EntityCode& entity : kEntities) {
                if (startsAt(line, i, entity.entity)) match = &entity;
            }
            if (match != nullptr) {
                out += match->code;
                i += std::strlen(match->entity);
            } else {
                out += '&';
                ++i;
            }
            continue;
        }
        if (c >= kBigFirst && c <= kBigLast) {
            out += kBigMark;
            out += static_cast<char>(c - kBigShift);
        } else {
            // Accented letters of the old single-byte files become plain
            // letters.  Only bytes of the line can be such letters: the
            // codes written above are plain bytes.
            out += plainLetter(c);
        }
        ++i;
    }
    return out;
}

std::string decodeXmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // No code begins before the next lead character: the bytes up to it
        // are copied at once.
        if (text[i] != kCodeLead) {
            const std::size_t lead = std::min(text.find(kCodeLead, i), text.size());
            out.append(text, i, lead - i);
            i = lead;
            continue;
        }
        if (startsAt(text, i, kBigMark) && i + kBigMarkLength < text.size()) {
            out += static_cast<char>(static_cast<unsigned char>(text[i + kBigMarkLength]) + kBigShift);
            i += kBigMarkLength + 1;
            continue;
        }
        const EntityCode* match = nullptr;
        for (const EntityCode& entity : kEntities) {
            if (startsAt(text, i, entity.code)) match = &entity;
        }
        if (match != nullptr) {
            out += match->character;
            i += std::strlen(match->code);
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace NORBS_PARAMETER_FILE

// Tag list.

const CXmlTag* CXmlTagList::getTag(int i) const {
    return (i >= 0 && i < getTagsNbr()) ? &mTags[static_cast<std::size_t>(i)] : nullptr;
}

int CXmlTagList::getDepth(int i) const {
    const CXmlTag* tag = getTag(i);
    return tag ? tag->mDepth : -1;
}

std::string CXmlTagList::getName(int i) const {
    const CXmlTag* tag = getTag(i);
    return tag ? tag->mName : std::string();
}

std::string CXmlTagList::getText(int i) const {
    const CXmlTag* tag = getTag(i);
    return (tag && tag->mText) ? *tag->mText : std::string();
}

bool CXmlTagList::hasText(int i) const {
    const CXmlTag* tag = getTag(i);
    return tag && tag->mText;
}

std::optional<std::string> CXmlTagList::getAttribute(int i, const std::string& name) const {
    const CXmlTag* tag = getTag(i);
    if (tag == nullptr) return std::nullopt;
    for (const auto& [attributeName, value] : tag->mAttributes) {
        if (attributeName == name) return value;
    }
    return std::nullopt;
}

int CXmlTagList::getSubtreeEnd(int i) const {
    const int depth = getDepth(i);
    if (depth < 0) return std::max(i + 1, 0);
    int end = i + 1;
    while (end < getTagsNbr() && mTags[static_cast<std::size_t>(end)].mDepth > depth) ++end;
    return end;
}

int CXmlTagList::findTag(int start, const std::string& name, const CXmlTagQuery& query) const {
    int end = getTagsNbr();
    if (query.withinSubtreeOf >= 0) {
        start = std::max(start, query.withinSubtreeOf + 1);
        end = getSubtreeEnd(query.withinSubtreeOf);
    }
    for (int i = std::max(start, 0); i < end; ++i) {
        const CXmlTag& tag = mTags[static_cast<std::size_t>(i)];
        if (tag.mName != name) continue;
        if (query.depth >= 0 && tag.mDepth != query.depth) continue;
        if (query.attributeName) {
            const std::optional<std::string> value = getAttribute(i, *query.attributeName);
            if (!value || (query.attributeValue && *value != *query.attributeValue)) continue;
        }
        return i;
    }
    return -1;
}

int CXmlTagList::countChildren(int i) const {
    const int depth = getDepth(i);
    int count = 0;
    for (int j = i + 1; j < getSubtreeEnd(i); ++j) {
        if (mTags[static_cast<std::size_t>(j)].mDepth == depth + 1) ++count;
    }
    return count;
}

int CXmlTagList::countChildren(int i, const std::string& name) const {
    const int depth = getDepth(i);
    int count = 0;
    for (int j = i + 1; j < getSubtreeEnd(i); ++j) {
        const CXmlTag& tag = mTags[static_cast<std::size_t>(j)];
        if (tag.mDepth == depth + 1 && tag.mName == name) ++count;
    }
    return count;
}

int CXmlTagList::appendTag(CXmlTag tag) {
    // The start capacity is a logical one: nothing is reserved up front (a
    // start capacity of ten million tags must not cost memory for a small
    // file) and the vector grows on demand.  When the count reaches the
    // capacity the capacity doubles, so a large document is never refused.
    if (getTagsNbr() >= mCapacity) mCapacity = mCapacity > INT_MAX / 2 ? INT_MAX : mCapacity * 2;
    mTags.push_back(std::move(tag));
    return getTagsNbr() - 1;
}

std::unique_ptr<CXmlTagList> forbs_xml_parser(const std::string& path, int tagCapacity, int maxDepth,
                                              int maxLineLength, bool retry) {
    if (path.empty()) {
        traceDebug("theName null or less then 1\n");
        return nullptr;
    }
    if (path.find("NotOK") != std::string::npos) {
        traceDebug("theName = %s\n", path.c_str());
        return nullptr;
    }
    std::unique_ptr<CXmlTagList> list = parseOnce(path, tagCapacity, maxDepth, maxLineLength);
    if (!list && retry) return forbs_xml_parser(path, tagCapacity, maxDepth, maxLineLength, false);
    return list;
}
