// Error catalogue reading and code lookups.
#include "core_test_support.h"

namespace orbs_test {
namespace {

using NORBS_ERROR_MANAGER::getErrorMessage;
using NORBS_ERROR_MANAGER::getReportMessage;
using NORBS_ERROR_MANAGER::loadErrorCatalogue;

CErrorCatalogue load(const std::string& text) {
    TempDir dir;
    writeFile(dir.path() / "catalog.des", text);
    CErrorCatalogue catalogue;
    EXPECT_EQ(loadErrorCatalogue(catalogue, (dir.path() / "catalog.des").string(), true), 1);
    return catalogue;
}

CErrorCatalogue shipped() {
    CErrorCatalogue catalogue;
    EXPECT_EQ(loadErrorCatalogue(
                  catalogue, std::string(ORBS_SOURCE_DIR) + "/auxiliary/description_files/orbs_errors_catalog.des",
                  true),
              1);
    return catalogue;
}

TEST(ErrorCatalogue, ShippedCatalogueDescribesEveryCodeTheSystemRaises) {
    const CErrorCatalogue catalogue = shipped();
    ASSERT_GE(catalogue.mPECNbr, 27);
    std::vector<int> codes = {10000, 20000, 30000, 50000, 70000, 70003, 70034, 90002, 120000, 140000, 260004};
    for (int code = 40000; code <= 40021; ++code) codes.push_back(code);
    for (int code = 130000; code <= 130007; ++code) codes.push_back(code);
    for (int code : codes) {
        std::string primary, secondary;
        EXPECT_EQ(getErrorMessage(&catalogue, code, primary, secondary), 1) << code;
        EXPECT_FALSE(primary.empty()) << code;
        EXPECT_FALSE(secondary.empty()) << code;
        EXPECT_EQ(getReportMessage(&catalogue, code).find("GENERIC ERROR"), std::string::npos) << code;
    }
    // Primary names must not be prefixes of each other: a section is found
    // by the first line whose name starts with "ErrorCodeInfo_" + name.
    for (int a = 0; a < catalogue.mPECNbr; ++a)
        for (int b = 0; b < catalogue.mPECNbr; ++b)
            if (a != b) {
                EXPECT_NE(catalogue.mPECName[b].rfind(catalogue.mPECName[a], 0), 0u) << a << " " << b;
            }
}

// The split of a code into its texts is checked in the report block.
TEST(ErrorCatalogue, WholeAndWrongCodes) {
    const CErrorCatalogue catalogue = shipped();
    std::string primary, secondary;
    // A multiple of 10000 has only its primary text.
    ASSERT_EQ(getErrorMessage(&catalogue, 120000, primary, secondary), 1);
    EXPECT_EQ(secondary, primary);
    EXPECT_EQ(getReportMessage(&catalogue, 120000), primary);

    // Outside the catalogue: the wrong-code texts, never a failure.
    EXPECT_EQ(getErrorMessage(&catalogue, 999990000, primary, secondary), 0);
    EXPECT_EQ(primary + "|" + secondary, "GENERIC ERROR WRONG CODE|");
    EXPECT_EQ(getReportMessage(&catalogue, 990000), "");
    EXPECT_EQ(getErrorMessage(&catalogue, 40099, primary, secondary), 0);
    EXPECT_EQ(primary, catalogue.mPECDes[4]);
    EXPECT_EQ(secondary, "GENERIC ERROR WRONG CODE");
    EXPECT_EQ(getReportMessage(&catalogue, 40099), "GENERIC ERROR WRONG CODE  :  40099 [4 : 98]");
}

TEST(ErrorCatalogue, EmptyCatalogueGivesTheInitTexts) {
    for (const CErrorCatalogue& catalogue : {load("0\n"), load(""), CErrorCatalogue{}}) {
        EXPECT_EQ(catalogue.mPECNbr, 0);
        std::string primary, secondary;
        EXPECT_EQ(getErrorMessage(&catalogue, 70003, primary, secondary), 0);
        EXPECT_EQ(primary + "|" + secondary, "AN ERROR OCCUR DURING Orbiscan INIT|");
        EXPECT_EQ(getReportMessage(&catalogue, 70003), "AN ERROR OCCUR DURING Orbiscan INIT  : [70003]");
    }
    // A missing file is looked for in the working directory too.
    TempDir working;
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    fdfSetEnv(working.str() + "/", "ORBISCAN_WORKING_DIR");
    CErrorCatalogue missing;
    EXPECT_EQ(loadErrorCatalogue(missing, "/nonexistent/catalog.des", true), 0);
    EXPECT_EQ(missing.mPECNbr, 0);
    destroyEnvironmentTable();
}

TEST(ErrorCatalogue, LayoutRules) {
    // Trimmed lines, CRs removed, sections in any order (the first matching
    // one wins), a PEC without section, reading stops at "#".
    const CErrorCatalogue catalogue = load(
        "3\nnames\n  ZERO , extra\n\tONE\r\nTWO\ndescriptions\n  Zero text  \nOne text\r\nTwo text\n"
        "[ErrorCodeInfo_TWO]\n2\ntwo-a\ntwo-b\n[ErrorCodeInfo_ONE]\n1\none-a " + std::string(2000, 'x') + "\n"
        "[ErrorCodeInfo_TWO]\n1\nignored\n# [ErrorCodeInfo_ZERO]\n1\nnever read\n");
    ASSERT_EQ(catalogue.mPECNbr, 3);
    EXPECT_EQ(catalogue.mPECName[0] + "|" + catalogue.mPECDes[0] + "|" + catalogue.mPECDes[1],
              "ZERO|Zero text|One text");
    EXPECT_EQ(catalogue.mSECNbr[0] * 10 + catalogue.mSECNbr[2], 2);
    EXPECT_EQ(catalogue.mSECDes[2][1], "two-b");
    EXPECT_EQ(catalogue.mSECDes[1][0].size(), 1025u);  // cut
}

TEST(ErrorCatalogue, CatalogueShorterThanAnnounced) {
    // Five codes announced, two descriptions: two codes; a section cut short.
    const CErrorCatalogue catalogue = load("5\nnames\nA\nB\nC\nD\nE\ndescriptions\nA text\nB text\n");
    EXPECT_EQ(catalogue.mPECNbr, 2);
    std::string primary, secondary;
    EXPECT_EQ(getErrorMessage(&catalogue, 40001, primary, secondary), 0);  // beyond the codes read
    EXPECT_EQ(primary, "GENERIC ERROR WRONG CODE");
    const CErrorCatalogue cut = load("1\nnames\nA\ndescriptions\nA text\n[ErrorCodeInfo_A]\n10\none\n");
    ASSERT_EQ(cut.mPECNbr, 1);
    EXPECT_EQ(cut.mSECNbr[0], 1);
    EXPECT_EQ(load("1\nnames\n").mPECNbr, 0);
}

}  // namespace
}  // namespace orbs_test
