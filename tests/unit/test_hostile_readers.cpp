// Readers facing hostile inputs: memory stays proportional to what a file
// holds, whatever it announces, and no value becomes a second argument.
#include <sys/resource.h>

#include "orbs_subproc.h"
#include "test_parameter_file_support.h"

using namespace orbs_test;

namespace {

long peakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(TextStore, TextBuiltFromManyPiecesCostsLinearMemory) {
    NORBS_XML_STORE::TextStore store;
    store.allocate(10);  // the run starts inside a block holding other text
    // Enough pieces for a quadratic growth to show (hundreds of megabytes),
    // few enough for it to end.
    constexpr std::size_t kPieces = 20000;
    store.beginRun();
    for (std::size_t i = 0; i < kPieces; ++i) {
        *store.extendRun(1) = static_cast<char>('a' + i % 26);
        store.commitRun(1);
    }
    const std::string_view text(store.finishRun(), kPieces);
    EXPECT_EQ(text.substr(0, 3), "abc");
    EXPECT_EQ(text.back(), static_cast<char>('a' + (kPieces - 1) % 26));
    EXPECT_LT(store.heldBytes(), 3 * kPieces + 65536);
}

using HostileParameterFile = ParameterSetTest;

// Each read runs in a child process of its own, whose peak memory is its own.
TEST_F(HostileParameterFile, AnnouncedSizesCostNoMemory) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A vector announcing 100 000 000 texts with one given; a legacy matrix
    // of 1000 columns and 100 000 empty rows, with one value far down.
    const std::string vector =
        "<?xml version=\"1.0\"?>\n<HEADER_INFO><RasterInfo><BandName><VectorString NumberOfElements=\"100000000\">"
        "<ValueString ID=\"0\">B1</ValueString></VectorString></BandName></RasterInfo></HEADER_INFO>\n";
    std::string matrix = "[RasterInfo]\nOtherInfo = {";
    for (int column = 0; column < 1000; ++column) matrix += "k ";
    matrix += "}";
    for (int row = 1; row < 100000; ++row) matrix += row == 99999 ? "{far}" : "{}";
    writeFile(at("vector.sml"), vector);
    writeFile(at("matrix_hdr"), matrix + "\n");

    const long limitKb = peakMemoryKb() + 200 * 1024;
    EXPECT_EXIT(
        {
            CSectionDataGroup set;
            shapeHeaderSet(set);
            if (set.readXML(at("vector.sml"), false) != 1 || set["BandName"].getColNbr() != 100000000 ||
                set["BandName"].getString(0) != "B1" || set["BandName"].isElementSet(0, 1))
                std::exit(1);
            if (set.readTextSection(at("matrix_hdr"), "RasterInfo") != 1 || set["OtherInfo"].getRowNbr() != 100000 ||
                set["OtherInfo"].getString(99999, 0) != "far")
                std::exit(2);
            std::exit(peakMemoryKb() < limitKb ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(CommandWords, QuotedWordsComeBackUnchanged) {
    // Every word of up to five characters over the characters that matter
    // to the splitter, alone and between two other words.
    const std::string alphabet = "a\"\\ \t";
    std::vector<std::string> words{""};
    for (std::size_t begin = 0, length = 0; length < 5; ++length) {
        const std::size_t end = words.size();
        for (std::size_t i = begin; i < end; ++i)
            for (char c : alphabet) words.push_back(words[i] + c);
        begin = end;
    }
    for (const std::string& word : words) {
        const std::optional<std::string> quoted = OrbsSubproc::quoteWord(word);
        ASSERT_TRUE(quoted) << "[" << word << "]";
        std::vector<std::string> split;
        ASSERT_TRUE(OrbsSubproc::splitCommandText("-c " + *quoted + " \"last\"", split)) << *quoted;
        EXPECT_EQ(split, (std::vector<std::string>{"-c", word, "last"})) << "[" << word << "] as " << *quoted;
    }
}

}  // namespace
