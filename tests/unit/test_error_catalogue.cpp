// Error catalogue reading and code lookups.
#include "core_test_support.h"

namespace orbs_test {
namespace {

using NORBS_ERROR_MANAGER::getErrorMessage;
using NORBS_ERROR_MANAGER::getReportMessage;
using NORBS_ERROR_MANAGER::loadErrorCatalogue;

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
    EXPECT_EQ(getErrorMessage(&catalogue, 40099, primary, secondary), 0);
    EXPECT_EQ(primary, catalogue.mPECDes[4]);
    EXPECT_EQ(secondary, "GENERIC ERROR WRONG CODE");
    EXPECT_EQ(getReportMessage(&catalogue, 40099), "GENERIC ERROR WRONG CODE  :  40099 [4 : 98]");
}

}  // namespace
}  // namespace orbs_test
