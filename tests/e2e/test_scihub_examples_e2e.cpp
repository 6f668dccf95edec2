// The README's example parameter files of the product search build exactly
// the queries the README shows.
#include <regex>

#include "scihub_fixture.h"

namespace e2e {
namespace {

using ScihubExamples = ScihubGet;

TEST_F(ScihubExamples, ReadmeQueriesAreWhatTheExamplesBuild) {
    const std::string readme = readFile(fs::path(ORBS_SOURCE_DIR) / "README.md");
    const std::regex block("<!-- query of (examples/[^ ]+) -->\n```text\n([^\n]*)\n```");
    // Example paths are relative to the repository root: the service runs
    // in a copy of the examples.
    fs::copy(fs::path(ORBS_SOURCE_DIR) / "examples", scratch() / "examples", fs::copy_options::recursive);
    int examples = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), block), end; it != end; ++it, ++examples) {
        const std::string example = (*it)[1];
        std::string text = readFile(scratch() / example);
        const std::regex progress("<progress_file_name>[^<]*</progress_file_name>");
        text = std::regex_replace(text, progress, "<progress_file_name>" + progressFile.string() + "</progress_file_name>");
        writeFile(parameters, text);
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 0) << example << "\n" << r.err;
        EXPECT_EQ(query(), (*it)[2].str()) << example;
    }
    EXPECT_GE(examples, 4);
}

}  // namespace
}  // namespace e2e
