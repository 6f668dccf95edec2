// The XML tokeniser: the flat tag list, the pre-processing and decoding of
// texts, and the limits.
#include "test_parameter_file_support.h"

using namespace orbs_test;

namespace {

class XmlTokeniser : public ParameterSetTest {
protected:
    std::string write(const std::string& name, const std::string& text) {
        writeFile(at(name), text);
        return at(name);
    }
};

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<e" + std::to_string(i) + ">";
    for (int i = depth - 1; i >= 0; --i) text += "</e" + std::to_string(i) + ">";
    return text;
}

}  // namespace

TEST_F(XmlTokeniser, BuildsTheFlatTagListWithDepthsAttributesAndFirstText) {
    const std::string path = write("doc.xml",
                                   "<?xml version=\"1.0\"?>\n<root>\n  <a id = \"1\" kind=\"x\">\t first</a>\n"
                                   "  <b><a id=\"2\">second<c/>tail</a></b>\n"
                                   "  <a id=\"3\"/>\n</root>\n");
    const auto tags = forbs_xml_parser(path);
    ASSERT_TRUE(tags);
    ASSERT_EQ(tags->getTagsNbr(), 6);
    EXPECT_EQ(tags->getDepth(3), 2);
    EXPECT_EQ(tags->getText(1), "first");  // leading blanks and tabs skipped
    EXPECT_EQ(tags->getText(3), "second");  // later chunks ignored
    EXPECT_FALSE(tags->hasText(2));
    EXPECT_EQ(tags->getAttribute(1, "kind").value_or("?"), "x");
    EXPECT_FALSE(tags->getAttribute(1, "none"));

    EXPECT_EQ(tags->findTag(0, "a"), 1);
    EXPECT_EQ(tags->findTag(2, "a"), 3);
    EXPECT_EQ(tags->findTag(0, "a", CXmlTagQuery::inside(2)), 3);
    EXPECT_EQ(tags->findTag(4, "a", CXmlTagQuery::inside(2)), -1);
    EXPECT_EQ(tags->getSubtreeEnd(2), 5);
}

TEST_F(XmlTokeniser, KeepsEntitiesAndHighBytesLiteralUntilDecoded) {
    EXPECT_EQ(NORBS_PARAMETER_FILE::preprocessXmlLine("\xB0\xE9\xF1\xF6\xFC"), "denou");
    EXPECT_EQ(NORBS_PARAMETER_FILE::decodeXmlText("##quot##apos##amp##lt##gt####BIG5#"), "\"'&<>\x85#");
    // A mark the pre-processing never writes stays as it is.
    EXPECT_EQ(NORBS_PARAMETER_FILE::decodeXmlText("####BIG\xC6"), "####BIG\xC6");

    // UTF-8 text passes whole: its continuation bytes 0x80-0xA4 are coded
    // and decoded like any other.
    const std::string path =
        write("doc.xml", "<r><v k=\"a&amp;b\">x&lt;y&quot;&quot; \x85\xC3\xA9\xE2\x82\xAC\xE9</v></r>");
    const auto tags = forbs_xml_parser(path);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->getText(1), "x##lty##quot##quot ####BIG5\xC3\xA9\xE2####BIG2\xAC" "e");
    EXPECT_EQ(NORBS_PARAMETER_FILE::decodeXmlText(tags->getText(1)), "x<y\"\" \x85\xC3\xA9\xE2\x82\xAC" "e");
    EXPECT_EQ(tags->getAttribute(1, "k").value_or(""), "a##ampb");
}

TEST_F(XmlTokeniser, TakesTheBytesWhateverTheDeclaredEncoding) {
    for (const char* encoding : {"UTF-8", "ISO-8859-1", "windows-1252"}) {
        const auto tags = forbs_xml_parser(write(
            "enc.xml", std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n<r>caf\xC3\xA9 \xC3</r>\n"));
        ASSERT_TRUE(tags) << encoding;
        EXPECT_EQ(tags->getText(0), "caf\xC3\xA9 \xC3") << encoding;
    }
    // A byte order mark changes nothing.
    const auto marked = forbs_xml_parser(write("bom.xml", "\xEF\xBB\xBF<r>caf\xC3\xA9 \xA5</r>\n"));
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->getText(0), "caf\xC3\xA9 \xA5");
    // Only the first line of a text counts, also after a root tag written
    // over several lines (expat must parse every line as it comes).
    const auto split = forbs_xml_parser(write("split.xml", "<HEADER_INFO xmlns=\"u\"\n\txmlns:xsi=\"v\">\n<f>ab\ncd</f>\n</HEADER_INFO>\n"));
    ASSERT_TRUE(split);
    EXPECT_EQ(split->getText(1), "ab");
    // Carriage returns end lines like new lines do.
    const auto tags = forbs_xml_parser(write("crlf.xml", "<r>\r\n<v>abc\r\n</v></r>\r\n"));
    ASSERT_TRUE(tags);
    EXPECT_FALSE(tags->hasText(0));
    EXPECT_EQ(tags->getText(1), "abc");
}

TEST_F(XmlTokeniser, RefusesMissingAndNotOKFiles) {
    EXPECT_FALSE(forbs_xml_parser(write("NotOK.xml", "<r/>")));
    EXPECT_FALSE(forbs_xml_parser(at("missing.xml")));
}

TEST_F(XmlTokeniser, DepthLimitRefusesDeeperDocuments) {
    EXPECT_TRUE(forbs_xml_parser(write("twenty.xml", nested(20))));
    EXPECT_FALSE(forbs_xml_parser(write("deeper.xml", nested(21))));
    EXPECT_FALSE(forbs_xml_parser(write("three.xml", nested(3)), 100, 2, 100, true));
}

TEST_F(XmlTokeniser, LongLinesAndSmallCapacitiesGiveTheSameList) {
    std::string text = "<root>";
    for (int i = 0; i < 40; ++i) text += "<v id=\"" + std::to_string(i) + "\">" + std::to_string(i * 7) + "</v>";
    text += "</root>\r\n";
    const std::string path = write("long.xml", text);

    const auto whole = forbs_xml_parser(path);
    const auto pieces = forbs_xml_parser(path, 2, 20, 3, true);  // 3-byte line pieces
    ASSERT_TRUE(whole && pieces);
    ASSERT_EQ(whole->getTagsNbr(), 41);
    ASSERT_EQ(pieces->getTagsNbr(), 41);
    for (int i = 1; i < 41; ++i) {
        EXPECT_EQ(whole->getText(i), std::to_string((i - 1) * 7));
        EXPECT_EQ(pieces->getAttribute(i, "id"), whole->getAttribute(i, "id"));
    }
    // A text cut by a line piece keeps only its first chunk.
    EXPECT_EQ(pieces->getText(40), whole->getText(40).substr(0, pieces->getText(40).size()));
}
