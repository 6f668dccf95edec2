// The XML tokeniser of parameter files and schemas: expat fed line by line,
// with the pre-processing that keeps entities and high bytes literal, and
// the flat tag list it builds.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>

#include "orbs_core_generic_utility.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::traceDebug;

namespace {

struct EntityCode {
    std::string_view entity;
    std::string_view code;
    char character;
};

// The five predefined entities and the plain codes that stand for them
// between pre-processing and decoding.  Each code is as long as its entity.
constexpr EntityCode kEntities[] = {
    {"&quot;", "##quot", '"'}, {"&apos;", "##apos", '\''}, {"&amp;", "##amp", '&'},
    {"&lt;", "##lt", '<'},     {"&gt;", "##gt", '>'},
};

constexpr std::string_view kBigMark = "####BIG";
constexpr unsigned char kBigFirst = 0x80;
constexpr unsigned char kBigLast = 0xA4;
constexpr unsigned char kBigShift = 0x50;

// Every code of the pre-processing begins with these two characters, so that
// a decoder need only look closer where they occur.
constexpr char kCodeLead = '#';

constexpr bool allCodesBeginWithTwoLeads() {
    if (kBigMark[0] != kCodeLead || kBigMark[1] != kCodeLead) return false;
    for (const EntityCode& entity : kEntities) {
        if (entity.code[0] != kCodeLead || entity.code[1] != kCodeLead) return false;
        if (entity.entity[0] != '&' || entity.code.size() != entity.entity.size()) return false;
    }
    return true;
}
static_assert(allCodesBeginWithTwoLeads());

// Byte scans eight bytes at a time: most of a parameter file is plain ASCII
// without "&", which neither the pre-processing nor the conversion of
// expat's output changes, and a byte loop over it would cost as much as a
// good part of expat's own work.
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;

std::uint64_t loadWord(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// The number of leading bytes below 0x80.
std::size_t asciiPrefix(const char* bytes, std::size_t length) {
    std::size_t i = 0;
    while (i + 8 <= length && (loadWord(bytes + i) & kHighBits) == 0) i += 8;
    while (i < length && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
    return i;
}

// A byte that the pre-processing copies unchanged whatever follows it.
bool isPlainByte(char c) { return c != '&' && static_cast<unsigned char>(c) < kBigFirst; }

// The number of leading plain bytes.
std::size_t plainPrefix(const char* bytes, std::size_t length) {
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const std::uint64_t word = loadWord(bytes + i);
        const std::uint64_t amp = word ^ (kLowBits * '&');  // a zero byte where "&" is
        if ((((amp - kLowBits) & ~amp) | word) & kHighBits) break;
    }
    while (i < length && isPlainByte(bytes[i])) ++i;
    return i;
}

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

// The entity that begins at `at` ("&" there), or none.
const EntityCode* entityAt(std::string_view line, std::size_t at) {
    const std::string_view rest = line.substr(at);
    for (const EntityCode& entity : kEntities) {
        if (rest.starts_with(entity.entity)) return &entity;
    }
    return nullptr;
}

// The pre-processing of one line, appended to `out`.
void appendPreprocessed(std::string& out, std::string_view line) {
    for (std::size_t i = 0; i < line.size();) {
        // Bytes below 0x80 other than "&" are left alone by every rewrite
        // below: a run of them is copied at once.
        const std::size_t plainEnd = i + plainPrefix(line.data() + i, line.size() - i);
        if (plainEnd > i) {
            out.append(line.data() + i, plainEnd - i);
            i = plainEnd;
            continue;
        }
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '&') {
            if (const EntityCode* match = entityAt(line, i)) {
                out += match->code;
                i += match->entity.size();
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
}

// expat is created for ISO-8859-1 so that every byte of a file is accepted
// whatever its declared encoding; it hands out UTF-8, which is turned back
// here into the file's own bytes.  Code points above 0xFF (only possible
// through character references) keep their UTF-8 form.  Writes at most
// `length` bytes to `out` and returns how many.
std::size_t copyFileBytes(char* out, const XML_Char* text, std::size_t length) {
    char* const start = out;
    for (std::size_t i = 0; i < length;) {
        // Bytes below 0x80 are the file's own: copied at once.
        const std::size_t plain = asciiPrefix(text + i, length - i);
        if (plain > 0) {
            std::memcpy(out, text + i, plain);
            out += plain;
            i += plain;
            continue;
        }
        const auto lead = static_cast<unsigned char>(text[i]);
        if ((lead == 0xC2 || lead == 0xC3) && i + 1 < length &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            *out++ = static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            i += 2;
        } else {
            *out++ = static_cast<char>(lead);
            ++i;
        }
    }
    return static_cast<std::size_t>(out - start);
}

}  // namespace

// Appends tags to a list as expat reports them.  Texts are built in the
// list's store as they arrive, so that a text is copied once.
class CXmlTagList::Builder {
public:
    explicit Builder(CXmlTagList& list) : mList(list) {}

    // No text may be under construction (see beginText).
    int appendTag(int depth, const XML_Char* name, const XML_Char** attributes) {
        CXmlTag tag;
        tag.mText = nullptr;
        tag.mTextLength = 0;
        tag.mFirstAttribute = mList.mAttributes.size();
        tag.mDepth = depth;
        tag.mNameId = internRecent(recentSlot(depth, 0), name);
        for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
            CXmlAttribute attribute;
            attribute.mNameId = internRecent(recentSlot(depth, i / 2 + 1), attributes[i]);
            const std::size_t length = std::strlen(attributes[i + 1]);
            char* value = mList.mTexts.allocate(length);
            const std::size_t written = copyFileBytes(value, attributes[i + 1], length);
            value[written] = '\0';
            attribute.mValue = value;
            attribute.mValueLength = static_cast<std::uint32_t>(written);
            mList.mAttributes.push_back(attribute);
        }
        // The start capacity is a logical one: nothing is reserved up front
        // (a start capacity of ten million tags must not cost memory for a
        // small file) and the chunked store grows on demand.  When the count
        // reaches the capacity the capacity doubles, so a large document is
        // never refused.
        if (mList.getTagsNbr() >= mList.mCapacity)
            mList.mCapacity = mList.mCapacity > INT_MAX / 2 ? INT_MAX : mList.mCapacity * 2;
        mList.mTags.push_back(tag);
        return mList.getTagsNbr() - 1;
    }

    bool hasText(int i) const { return mList.tagAt(i).mText != nullptr; }

    // A text is built from the character data of one run: begun at its
    // first non-blank byte, extended by each later piece, then given to its
    // tag.
    void beginText() { mList.mTexts.beginRun(); }
    void extendText(const XML_Char* text, std::size_t length) {
        char* out = mList.mTexts.extendRun(length);
        mList.mTexts.commitRun(copyFileBytes(out, text, length));
    }
    void finishText(int owner) {
        CXmlTag& tag = mList.mTags[static_cast<std::size_t>(owner)];
        tag.mTextLength = mList.mTexts.runLength();
        tag.mText = mList.mTexts.finishRun();
    }

private:
    // A document repeats the same names at the same places (the element of
    // a depth, its first attributes): the name last seen at a place is
    // compared first, as expat hands it out, before the name table is
    // searched.
    struct RecentName {
        std::string raw;  // as expat handed it out
        int id = -1;
    };
    static constexpr std::size_t kRecentAttributes = 2;
    static constexpr int kRecentDepths = 64;  // deeper elements are rare: searched directly

    static std::size_t recentSlot(int depth, int position) {
        if (depth >= kRecentDepths || static_cast<std::size_t>(position) > kRecentAttributes) return SIZE_MAX;
        return static_cast<std::size_t>(depth) * (kRecentAttributes + 1) + static_cast<std::size_t>(position);
    }

    int internRecent(std::size_t slot, const XML_Char* name) {
        if (slot == SIZE_MAX) return intern(name);
        if (slot >= mRecent.size()) mRecent.resize(slot + 1);
        RecentName& recent = mRecent[slot];
        if (recent.id >= 0 && std::strcmp(recent.raw.c_str(), name) == 0) return recent.id;
        recent.raw.assign(name);
        recent.id = intern(name);
        return recent.id;
    }

    int intern(const XML_Char* name) {
        std::string_view view(name);
        if (asciiPrefix(view.data(), view.size()) != view.size()) {
            mScratch.resize(view.size());
            view = std::string_view(mScratch.data(), copyFileBytes(mScratch.data(), view.data(), view.size()));
        }
        return mList.mNames.intern(view, NORBS_XML_STORE::NameTable::hash(view), mList.mTexts);
    }

    CXmlTagList& mList;
    std::string mScratch;
    std::vector<RecentName> mRecent;  // by place, see recentSlot
};

namespace {

struct ParseState {
    CXmlTagList::Builder* builder = nullptr;
    XML_Parser parser = nullptr;
    std::vector<int> open;  // indexes of the open elements, innermost last
    std::size_t maxDepth = 0;
    bool tooDeep = false;
    // Character data of the innermost open element since the last event is
    // one chunk: expat may cut one run of text into several calls (its
    // conversion buffer is small), and joining them makes one chunk per run
    // within a line.  Only the first non-blank chunk of an element counts,
    // so a run is collected only while the element has no text.
    bool ownerTakesText = false;
    bool inText = false;  // a non-blank chunk is being collected
    bool declaresEntity = false;
};

void updateOwner(ParseState& state) {
    state.ownerTakesText = !state.open.empty() && !state.builder->hasText(state.open.back());
}

void flushText(ParseState& state) {
    if (!state.inText) return;
    state.builder->finishText(state.open.back());
    state.inText = false;
    state.ownerTakesText = false;
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
    state.open.push_back(state.builder->appendTag(static_cast<int>(state.open.size()), name, attributes));
    state.ownerTakesText = true;
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    auto& state = *static_cast<ParseState*>(data);
    flushText(state);
    if (!state.open.empty()) state.open.pop_back();
    updateOwner(state);
}

void XMLCALL onCharacters(void* data, const XML_Char* text, int length) {
    auto& state = *static_cast<ParseState*>(data);
    if (!state.ownerTakesText) return;
    auto size = static_cast<std::size_t>(length);
    if (!state.inText) {
        // Leading blanks and tabs of a chunk are not part of its text.
        while (size > 0 && (*text == ' ' || *text == '\t')) {
            ++text;
            --size;
        }
        if (size == 0) return;
        state.builder->beginText();
        state.inText = true;
    }
    state.builder->extendText(text, size);
}

// Markup without a handler of its own (comments, declarations, processing
// instructions) is a parse event too, so that the position of the last
// event moves past it.
void XMLCALL onOtherMarkup(void*, const XML_Char*, int) {}

// Parameter files never need entities of their own.  A document that
// declares one is refused before it is used: nested declarations expand a
// few hundred bytes into gigabytes of text.
void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    auto& state = *static_cast<ParseState*>(data);
    state.declaresEntity = true;
    XML_StopParser(state.parser, XML_FALSE);
}

// The lines of a file, read through a block buffer so that each line is
// found with one memchr, and handed out in place when it lies in one block.
class LineReader {
public:
    explicit LineReader(std::streambuf& input) : mInput(input), mBlock(kBlockSize) {}

    // Reads the next line piece: at most maxLength bytes (at least 1),
    // without its line terminator (a carriage return before the new line
    // belongs to the terminator).  A piece that fills maxLength leaves the
    // rest of the line, new line included, to the next call.  False at end
    // of file.  The piece stays valid until the next call of next or atEnd.
    bool next(std::string_view& piece, std::size_t maxLength) {
        mCarry.clear();
        bool readAny = false;
        while (mCarry.size() < maxLength) {
            if (mPosition == mLength && !refill()) {
                piece = mCarry;
                return readAny;
            }
            readAny = true;
            const char* start = mBlock.data() + mPosition;
            const std::size_t span = std::min(mLength - mPosition, maxLength - mCarry.size());
            const void* newLine = std::memchr(start, '\n', span);
            if (newLine != nullptr) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(newLine) - start);
                mPosition += length + 1;
                if (mCarry.empty()) {
                    piece = std::string_view(start, length);
                } else {
                    mCarry.append(start, length);
                    piece = mCarry;
                }
                if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
                return true;
            }
            if (mCarry.empty() && span == maxLength) {
                // A whole piece without a line end, inside the block.
                mPosition += span;
                piece = std::string_view(start, span);
                return true;
            }
            mCarry.append(start, span);
            mPosition += span;
        }
        piece = mCarry;
        return true;
    }

    // True when no byte is left.  A piece handed out in place is moved out
    // of the block before the block is refilled.
    bool atEnd(std::string_view& piece) {
        if (mPosition != mLength) return false;
        // std::less orders pointers into different objects too.
        const std::less<const char*> before;
        if (!before(piece.data(), mBlock.data()) && before(piece.data(), mBlock.data() + mBlock.size())) {
            mCarry.assign(piece);
            piece = mCarry;
        }
        return !refill();
    }

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
    std::string mCarry;  // a piece that spans blocks
    std::size_t mPosition = 0;
    std::size_t mLength = 0;
};

// The longest markup token (tag, comment, declaration) a file may hold;
// texts of any length are read in pieces.
constexpr std::uint64_t kLongestMarkup = 256 * 1024;

struct ParserDeleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

std::unique_ptr<CXmlTagList> parseOnce(const std::string& path, int tagCapacity, int maxDepth, int maxLineLength,
                                       std::string& refusal) {
    // A directory, a pipe or a device is no parameter file: reading one
    // would fail in odd ways or never end.
    if (const std::optional<std::string> notRegular = fdfRegularFileRefusal(path)) {
        refusal = *notRegular;
        traceDebug("%s : %s\n", path.c_str(), refusal.c_str());
        return nullptr;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        traceDebug("%s : cannot be opened\n", path.c_str());
        return nullptr;
    }
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("ISO-8859-1"));
    if (!parser) return nullptr;

    auto list = std::make_unique<CXmlTagList>(tagCapacity);
    CXmlTagList::Builder builder(*list);
    ParseState state;
    state.builder = &builder;
    state.parser = parser.get();
    state.maxDepth = static_cast<std::size_t>(std::max(maxDepth, 0));
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onCharacters);
    XML_SetEntityDeclHandler(parser.get(), onEntityDeclaration);
    XML_SetDefaultHandlerExpand(parser.get(), onOtherMarkup);
#ifdef ORBS_HAVE_EXPAT_REPARSE_DEFERRAL
    // Each line must be parsed as soon as it is fed: a deferred parse would
    // join the text of several lines into one piece, and only the first
    // piece of a text counts.
    XML_SetReparseDeferralEnabled(parser.get(), XML_FALSE);
#endif

    // Lines are read in pieces of at most maxLineLength bytes, so memory
    // stays bounded whatever the file; a longer line reaches expat in
    // several pieces, which is the same text since terminators are dropped.
    const std::size_t pieceLength = static_cast<std::size_t>(std::max(maxLineLength, 1));
    LineReader lines(*file.rdbuf());
    std::string_view raw;
    std::string rewritten;
    bool fedAny = false;
    std::uint64_t fed = 0;
    while (lines.next(raw, pieceLength)) {
        // A UTF-8 byte order mark would switch expat away from the byte
        // encoding that keeps every byte of the file as it is.
        if (!fedAny && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
        fedAny = true;
        const bool last = lines.atEnd(raw);
        // Most lines hold nothing to rewrite and go to expat as they are.
        std::string_view line = raw;
        if (plainPrefix(raw.data(), raw.size()) != raw.size()) {
            rewritten.clear();
            appendPreprocessed(rewritten, raw);
            line = rewritten;
        }
        const XML_Status status = XML_Parse(parser.get(), line.data(), static_cast<int>(line.size()), last);
        fed += line.size();
        flushText(state);
        // expat keeps an unfinished tag or comment and scans it again with
        // every piece fed: one of many megabytes would cost time quadratic
        // in its length and memory in proportion.  What was fed since the
        // last event starts is that markup and at most the event before.
        const XML_Index lastEvent = std::max<XML_Index>(XML_GetCurrentByteIndex(parser.get()), 0);
        if (status == XML_STATUS_OK && fed - static_cast<std::uint64_t>(lastEvent) > kLongestMarkup) {
            refusal = "holds a tag or comment longer than " + std::to_string(kLongestMarkup / 1024) + " KiB";
            traceDebug("%s\n%s\n", path.c_str(), refusal.c_str());
            return nullptr;
        }
        if (status != XML_STATUS_OK) {
            if (state.declaresEntity) refusal = "declares entities, which parameter files do not accept";
            const char* reason = state.tooDeep          ? "nesting deeper than the depth limit"
                                 : state.declaresEntity ? refusal.c_str()
                                                        : XML_ErrorString(XML_GetErrorCode(parser.get()));
            traceDebug("%s\n%s at line %s\n", path.c_str(), reason, std::string(raw).c_str());
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

std::string preprocessXmlLine(std::string_view line) {
    std::string out;
    out.reserve(line.size() + 16);
    appendPreprocessed(out, line);
    return out;
}

std::string decodeXmlText(std::string_view text) {
    std::string out;
    decodeXmlText(text, out);
    return out;
}

void decodeXmlText(std::string_view text, std::string& out) {
    out.clear();
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
        const std::string_view rest = text.substr(i);
        // A mark before a character past 0xFF - 0x50 was never written by the
        // pre-processing (a file's own text): shifting it would wrap to a
        // control character that no parameter file can hold.
        if (rest.size() > kBigMark.size() && rest.starts_with(kBigMark) &&
            static_cast<unsigned char>(rest[kBigMark.size()]) <= 0xFF - kBigShift) {
            out += static_cast<char>(static_cast<unsigned char>(rest[kBigMark.size()]) + kBigShift);
            i += kBigMark.size() + 1;
            continue;
        }
        const EntityCode* match = nullptr;
        if (rest.size() > 1 && rest[1] == kCodeLead) {
            for (const EntityCode& entity : kEntities) {
                if (rest.starts_with(entity.code)) match = &entity;
            }
        }
        if (match != nullptr) {
            out += match->character;
            i += match->code.size();
        } else {
            out += text[i++];
        }
    }
}

}  // namespace NORBS_PARAMETER_FILE

// Stores of the tag list.

namespace NORBS_XML_STORE {

void TextStore::newBlock(std::size_t needed) {
    const std::size_t size = std::max(mNextBlockSize, needed);
    mBlocks.emplace_back(new char[size]);
    mHeldBytes += size;
    mCursor = mBlocks.back().get();
    mLimit = mCursor + size;
    mNextBlockSize = std::min(mNextBlockSize * 2, kBlockSize);
}

void TextStore::moveRun(std::size_t used, std::size_t more) {
    const char* const oldRun = mRunStart;
    const bool runOwnsBlock = !mBlocks.empty() && mBlocks.back().get() == oldRun;
    const std::size_t size = std::max({mNextBlockSize, used + more + 1, 2 * used});
    std::unique_ptr<char[]> block(new char[size]);
    if (used > 0) std::memcpy(block.get(), oldRun, used);
    mHeldBytes += size;
    if (runOwnsBlock) {
        mHeldBytes -= static_cast<std::size_t>(mLimit - oldRun);
        mBlocks.back() = std::move(block);
    } else {
        mBlocks.push_back(std::move(block));
    }
    mRunStart = mBlocks.back().get();
    mCursor = mRunStart + used;
    mLimit = mRunStart + size;
}

std::uint64_t NameTable::hash(std::string_view name) {
    constexpr std::uint64_t kMultiplier = 0xFF51AFD7ED558CCDULL;
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ name.size();
    std::size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        h = (h ^ loadWord(name.data() + i)) * kMultiplier;
        h ^= h >> 32;
    }
    if (i < name.size()) {
        std::uint64_t tail = 0;
        std::memcpy(&tail, name.data() + i, name.size() - i);
        h = (h ^ tail) * kMultiplier;
    }
    h ^= h >> 33;
    h *= kMultiplier;
    h ^= h >> 33;
    return h;
}

int NameTable::find(std::string_view name, std::uint64_t hashValue) const {
    if (mSlots.empty()) return -1;
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t slot = hashValue & mask;; slot = (slot + 1) & mask) {
        const int id = mSlots[slot];
        if (id < 0) return -1;
        const auto at = static_cast<std::size_t>(id);
        if (mHashes[at] == hashValue && mNames[at] == name) return id;
    }
}

int NameTable::intern(std::string_view name, std::uint64_t hashValue, TextStore& store) {
    const int known = find(name, hashValue);
    if (known >= 0) return known;
    // At most half the slots are taken, so that searches stay short.
    if (2 * (mNames.size() + 1) > mSlots.size()) rehash(std::max<std::size_t>(64, 2 * mSlots.size()));
    char* copy = store.allocate(name.size());
    std::memcpy(copy, name.data(), name.size());
    const int id = static_cast<int>(mNames.size());
    mNames.emplace_back(copy, name.size());
    mHashes.push_back(hashValue);
    const std::size_t mask = mSlots.size() - 1;
    std::size_t slot = hashValue & mask;
    while (mSlots[slot] >= 0) slot = (slot + 1) & mask;
    mSlots[slot] = id;
    return id;
}

void NameTable::rehash(std::size_t slots) {
    mSlots.assign(slots, -1);
    const std::size_t mask = slots - 1;
    for (std::size_t id = 0; id < mNames.size(); ++id) {
        std::size_t slot = mHashes[id] & mask;
        while (mSlots[slot] >= 0) slot = (slot + 1) & mask;
        mSlots[slot] = static_cast<int>(id);
    }
}

}  // namespace NORBS_XML_STORE

// Tag list.

std::string CXmlTagList::getName(int i) const {
    return inList(i) ? std::string(mNames.name(tagAt(i).mNameId)) : std::string();
}

std::string CXmlTagList::getText(int i) const { return std::string(getTextView(i)); }

std::string_view CXmlTagList::getTextView(int i) const {
    if (!inList(i) || tagAt(i).mText == nullptr) return "";
    return {tagAt(i).mText, tagAt(i).mTextLength};
}

std::optional<std::string_view> CXmlTagList::getAttributeView(int i, int nameId) const {
    if (!inList(i) || nameId < 0) return std::nullopt;
    const std::size_t end = attributesEnd(i);
    for (std::size_t a = tagAt(i).mFirstAttribute; a < end; ++a) {
        const CXmlAttribute& attribute = mAttributes[a];
        if (attribute.mNameId == nameId) return std::string_view(attribute.mValue, attribute.mValueLength);
    }
    return std::nullopt;
}

std::optional<std::string> CXmlTagList::getAttribute(int i, const std::string& name) const {
    const std::optional<std::string_view> value = getAttributeView(i, findNameId(name));
    if (!value) return std::nullopt;
    return std::string(*value);
}

int CXmlTagList::getSubtreeEnd(int i) const {
    const int depth = getDepth(i);
    if (depth < 0) return std::max(i + 1, 0);
    int end = i + 1;
    while (end < getTagsNbr() && tagAt(end).mDepth > depth) ++end;
    return end;
}

int CXmlTagList::findTag(int start, const std::string& name, const CXmlTagQuery& query) const {
    // A name (or attribute name) that no tag carries matches nothing.
    const int nameId = findNameId(name);
    if (nameId < 0) return -1;
    int attributeId = -1;
    if (query.attributeName) {
        attributeId = findNameId(*query.attributeName);
        if (attributeId < 0) return -1;
    }
    int end = getTagsNbr();
    if (query.withinSubtreeOf >= 0) {
        start = std::max(start, query.withinSubtreeOf + 1);
        end = getSubtreeEnd(query.withinSubtreeOf);
    }
    for (int i = std::max(start, 0); i < end; ++i) {
        const CXmlTag& tag = tagAt(i);
        if (tag.mNameId != nameId) continue;
        if (query.depth >= 0 && tag.mDepth != query.depth) continue;
        if (query.attributeName) {
            const std::optional<std::string_view> value = getAttributeView(i, attributeId);
            if (!value || (query.attributeValue && *value != *query.attributeValue)) continue;
        }
        return i;
    }
    return -1;
}

// A tag outside the list has no children.
int CXmlTagList::countChildren(int i) const {
    if (!inList(i)) return 0;
    const int depth = getDepth(i);
    const int end = getSubtreeEnd(i);
    int count = 0;
    for (int j = i + 1; j < end; ++j) {
        if (tagAt(j).mDepth == depth + 1) ++count;
    }
    return count;
}

int CXmlTagList::countChildren(int i, const std::string& name) const {
    const int nameId = findNameId(name);
    if (nameId < 0 || !inList(i)) return 0;
    const int depth = getDepth(i);
    const int end = getSubtreeEnd(i);
    int count = 0;
    for (int j = i + 1; j < end; ++j) {
        const CXmlTag& tag = tagAt(j);
        if (tag.mDepth == depth + 1 && tag.mNameId == nameId) ++count;
    }
    return count;
}

std::unique_ptr<CXmlTagList> forbs_xml_parser(const std::string& path, int tagCapacity, int maxDepth,
                                              int maxLineLength, bool retry, std::string* refusal) {
    std::string reason;
    if (refusal == nullptr) refusal = &reason;
    if (path.empty()) {
        traceDebug("theName null or less then 1\n");
        return nullptr;
    }
    if (path.find("NotOK") != std::string::npos) {
        traceDebug("theName = %s\n", path.c_str());
        return nullptr;
    }
    std::unique_ptr<CXmlTagList> list = parseOnce(path, tagCapacity, maxDepth, maxLineLength, *refusal);
    // A refusal is final: reading the file again would refuse it again.
    if (!list && retry && refusal->empty())
        return forbs_xml_parser(path, tagCapacity, maxDepth, maxLineLength, false, refusal);
    return list;
}
