// The product search command under valgrind: a waited run in the terminal
// with each kind of area (shapefile, KML, an image list located from its
// orbit), and the run without a terminal.
#include "valgrind_support.h"

namespace e2e {
namespace {
using SearchUnderValgrind = valgrind_runs::UnderValgrindOf<ScihubGet>;

TEST_F(SearchUnderValgrind, AreasThroughTheTerminal) {
    const fs::path examples = fs::path(ORBS_SOURCE_DIR) / "examples" / "scihub";
    const std::string images = "<VectorString NumberOfElements=\"1\"><ValueString ID=\"0\">" +
                               (examples / "images" / "s1_slant_range.dat").string() + "</ValueString></VectorString>";
    for (const Fields& area : {Fields{{"input_shape", (examples / "area" / "garda.shp").string()}},
                               Fields{{"input_shape", (examples / "area" / "garda.kml").string()}},
                               Fields{{"input_file_optional_list", images}}}) {
        writeParameters(area);
        EXPECT_EQ(checked(runCommand()), 0);
        EXPECT_NE(query().find("(footprint:"), std::string::npos);
    }
}

TEST_F(SearchUnderValgrind, WithoutTerminal) {
    if (!canHideUsrBin()) GTEST_SKIP() << "cannot hide /usr/bin/xterm on this machine";
    withoutUsrBin = true;
    writeParameters();
    EXPECT_EQ(checked(runCommand()), kStatusDownloaderFailed);
}
}  // namespace
}  // namespace e2e
