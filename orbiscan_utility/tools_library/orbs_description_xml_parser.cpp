// The XML tokeniser of parameter files and schemas: expat fed line by line,
// with the pre-processing that keeps entities and high bytes literal, and
// the flat tag list it builds.
#include <expat.h>

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

// expat is created for ISO-8859-1 so that every byte of a file is accepted
// whatever its declared encoding; it hands out UTF-8, which is turned back
// here into the file's own bytes.  Code points above 0xFF (only possible
// through character references) keep their UTF-8 form.
std::string fileBytes(const XML_Char* text, std::size_t length) {
    std::string bytes;
    bytes.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if ((lead == 0xC2 || lead == 0xC3) && i + 1 < length &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            bytes.push_back(static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F)));
            ++i;
        } else {
            bytes.push_back(static_cast<char>(lead));
        }
    }
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
    state.pending += fileBytes(text, static_cast<std::size_t>(length));
}

// Reads the next line piece: at most maxLength bytes, without its line
// terminator (a carriage return before the new line belongs to the
// terminator).  False at end of file.
bool readLinePiece(std::streambuf& input, std::string& piece, std::size_t maxLength) {
    piece.clear();
    bool readAny = false;
    while (piece.size() < maxLength) {
        const int c = input.sbumpc();
        if (c == std::char_traits<char>::eof()) return readAny;
        readAny = true;
        if (c == '\n') {
            if (!piece.empty() && piece.back() == '\r') piece.pop_back();
            return true;
        }
        piece.push_back(static_cast<char>(c));
    }
    return true;
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
    std::streambuf& input = *file.rdbuf();
    std::string raw;
    bool fedAny = false;
    while (readLinePiece(input, raw, pieceLength)) {
        fedAny = true;
        const bool last = input.sgetc() == std::char_traits<char>::eof();
        const std::string line = NORBS_PARAMETER_FILE::preprocessXmlLine(raw);
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
            out += static_cast<char>(c);
        }
        ++i;
    }
    // Accented letters of the old single-byte files become plain letters.
    for (char& ch : out) {
        switch (static_cast<unsigned char>(ch)) {
        case 0xB0: ch = 'd'; break;
        case 0xE9: ch = 'e'; break;
        case 0xF1: ch = 'n'; break;
        case 0xF6: ch = 'o'; break;
        case 0xFC: ch = 'u'; break;
        default: break;
        }
    }
    return out;
}

std::string decodeXmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
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
