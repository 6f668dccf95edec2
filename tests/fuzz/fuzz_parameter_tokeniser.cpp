// The XML tokeniser of parameter files: any bytes give a tag list or none,
// and every accessor of a list stays inside it.  A second pass with a start
// capacity of one tag and short line pieces drives the capacity doubling
// and the joining of pieces.
#include "fuzz_support.h"
#include "orbs_description_xml.h"

namespace {
void walk(const CXmlTagList& tags) {
    const int count = tags.getTagsNbr();
    if (tags.getCapacity() < count) std::abort();
    std::string decoded;
    for (int i = 0; i < count; ++i) {
        const int end = tags.getSubtreeEnd(i);
        if (end <= i || end > count) std::abort();
        tags.countChildren(i);
        const std::string name = tags.getName(i);
        if (tags.getNameId(i) != tags.findNameId(name)) std::abort();
        const std::string_view text = tags.getTextView(i);
        if (text.data()[text.size()] != '\0') std::abort();
        NORBS_PARAMETER_FILE::decodeXmlText(text, decoded);
        tags.getAttribute(i, "NumberOfElements");
        tags.findTag(i, name, CXmlTagQuery::inside(i));
    }
    tags.getName(count);
    tags.getTextView(-1);
}
}  // namespace

ORBS_FUZZ_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("tokens.sml", data, size);
    orbs_fuzz::tolerateRaise([&] {
        std::string refusal;
        if (const auto tags = forbs_xml_parser(path, CORBS_XML_TAG_CAPACITY, CORBS_XML_MAX_DEPTH,
                                               CORBS_XML_MAX_LINE_LENGTH, false, &refusal))
            walk(*tags);
        const int pieceLength = size > 0 ? 1 + data[0] % 64 : 1;
        if (const auto tags = forbs_xml_parser(path, 1, CORBS_XML_MAX_DEPTH, pieceLength, false, &refusal))
            walk(*tags);
    });
    NORBS_PARAMETER_FILE::preprocessXmlLine(orbs_fuzz::asText(data, size));
    return 0;
}
