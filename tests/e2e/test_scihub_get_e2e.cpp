// The product search command end to end: the query it builds (also those
// the README shows for its examples: every filter set, a box, an area), the
// command text and terminal it starts HubFetch with, and how it ends.
#include <regex>
#include "e2e_support.h"

namespace e2e {
namespace {
TEST_F(ScihubGet, QueryClausesInOrderQuotedAndTrimmed) {
    const std::string box = "(footprint:\"Intersects(POLYGON((12.00000 46.00000,10.00000 46.00000,10.00000 44.00000,"
                            "12.00000 44.00000,12.00000 46.00000)))\")";
    const struct { Fields fields; std::string query; } cases[] = {
        {{}, ""},
        {{{"platformname", "ALL"}, {"sensoroperationalmode", "IW"}, {"polarisationmode", "VV"},
          {"ascending_or_descending", "DESCENDING"}, {"relativeorbitnumber", "117"}},
         "sensorOperationalMode:\"IW\" AND polarisationMode:VV AND orbitDirection:\"DESCENDING\" AND "
         "(relativeOrbitNumber:\"117\")"},
        {{{"relativeorbitnumber", "0"}}, "(relativeOrbitNumber:\"0\")"},
        // Below the smallest single-precision number a corner is no corner.
        {{{"south_coord", "1e-39"}}, ""},
        {{{"south_coord", "1e-30"}},
         "(footprint:\"Intersects(POLYGON((0.00000 0.00000,0.00000 0.00000,0.00000 0.00000,0.00000 0.00000,0.00000 "
         "0.00000)))\")"},
        {{{"west_coord", "10"}, {"north_coord", "46"}, {"east_coord", "12"}, {"south_coord", "44"},
          {"initial_date_interval", "2019-05-01"}, {"final_date_interval", "31-MAY-2019"}},
         box + " AND (beginPosition:[2019-05-01T00:00:00.000Z TO 2019-05-31T23:59:59.999Z])"},
        {{{"initial_date_interval", "2019-05-01"}, {"final_date_interval", "[empty]"}},
         "(beginPosition:[2019-05-01T00:00:00.000Z TO NOW])"},
        {{{"initial_date_interval", "01-JAN-1970"}, {"final_date_interval", "2019-05-31"}},
         "(beginPosition:[* TO 2019-05-31T23:59:59.999Z])"},
    };
    for (const auto& c : cases) {
        writeParameters(c.fields);
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(query(), c.query);
        EXPECT_EQ(received().back(), c.query);
        fs::remove(record);
    }
}

TEST_F(ScihubGet, CommandTextOptionsAndTerminal) {
    // Waiting, every option: +hold, no -w; the unzip folder is the parent of
    // unzip_to_dir; a query quote is escaped in the command text.
    writeParameters({{"preview_only", "OK"}, {"unzip_files", "OK"}, {"delete_zipped_files", "OK"},
                     {"unzip_to_dir", (scratch() / "unzip").string() + "/"}, {"producttype", "GRD"}});
    RunResult r = runCommand();
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string exe = (root() / "bin" / "HubFetch").string();
    EXPECT_EQ(received(), (std::vector<std::string>{"-p", "-u", (scratch() / "unzip").string(), "-d", "-c",
                                                    parameters.string(), "-f", progressFile.string(),
                                                    "productType:\"GRD\""}));
    EXPECT_NE(trace().find("XTerm command = '\"" + exe + "\" -p -u \"" + (scratch() / "unzip").string() +
                           "\" -d -c \"" + parameters.string() + "\" -f \"" + progressFile.string() +
                           "\" \"productType:\\\"GRD\\\"\"'\n\n"),
              std::string::npos)
        << trace();
    EXPECT_NE(trace().find("started /usr/bin/xterm +hold -e as pid"), std::string::npos);
    EXPECT_FALSE(fs::exists(work() / "Process.working"));

    // Not waiting: -w, no +hold; an unset unzip folder is the progress
    // file's folder and is passed on only with unzip_files; an unzip_to_dir
    // without a slash has no parent (so the progress file's folder), an
    // empty one is ".".
    fs::remove(record);
    writeParameters({{"wait_until_finish_flag", "ok"}});
    r = runCommand();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received(), (std::vector<std::string>{"-w", "-c", parameters.string(), "-f", progressFile.string(), ""}));
    EXPECT_NE(trace().find("started /usr/bin/xterm -e as pid"), std::string::npos);
    EXPECT_NE(trace().find("set m_unzip_to_dir = " + (scratch() / "run").string() + "\n"), std::string::npos);
    for (const auto& [value, folder] :
         {std::pair<std::string, std::string>{"name", (scratch() / "run").string()}, {"&quot;&quot;", "."}}) {
        fs::remove(record);
        writeParameters({{"unzip_files", "OK"}, {"unzip_to_dir", value}});
        ASSERT_EQ(runCommand().status, 0);
        const std::vector<std::string> arguments = received();
        ASSERT_GE(arguments.size(), 2u);
        EXPECT_EQ(arguments[0] + " " + arguments[1], "-u " + folder) << value;
    }
}

TEST_F(ScihubGet, DownloaderFailureStopRequestAndMissingTerminal) {
    writeParameters();
    env["ORBS_DOUBLE_EXIT"] = "1";
    EXPECT_EQ(runCommand().status, kStatusDownloaderFailed);
    EXPECT_EQ(errorText(), "-1\nExternal program failed [EC : 260004]\nError in HubFetch execution!\n");

    env.erase("ORBS_DOUBLE_EXIT");
    env["ORBS_DOUBLE_PROGRESS"] = (work() / "Process.working").string();
    env["ORBS_DOUBLE_AWAIT"] = "50";
    env["ORBS_DOUBLE_STOP"] = "1";
    EXPECT_EQ(runCommand().status, 50000 & 0xFF);
    EXPECT_EQ(readLines(record.string() + ".progress"),
              (std::vector<std::string>{"50", "Downloading (see HubFetch terminal) ..."}));

    if (!canHideUsrBin()) return;
    env.erase("ORBS_DOUBLE_STOP");
    withoutUsrBin = true;
    EXPECT_EQ(runCommand().status, kStatusDownloaderFailed);
    EXPECT_EQ(errorText(), "-1\nExternal program failed [EC : 260004]\nXTerm not found/installed under /usr/bin/xterm.\n");
}

TEST_F(ScihubGet, MandatoryFieldsAndBadDates) {
    const struct { Fields main, user; int code; std::string detail; } cases[] = {
        {{}, {{"username", std::nullopt}}, 130005, "username"},
        {{{"north_coord", std::nullopt}}, {}, 130005, "north_coord"},
        {{{"progress_file_name", std::nullopt}}, {}, 130005, "progress_file_name"},
        {{{"initial_date_interval", "tomorrow"}}, {}, 70006, "the sensing date is not a date: tomorrow"},
    };
    for (const auto& c : cases) {
        writeParameters(c.main, c.user);
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, c.code & 0xFF) << c.detail;
        EXPECT_NE(errorText().find(c.detail), std::string::npos) << errorText();
        EXPECT_FALSE(fs::exists(record));
    }
}

// Values holding shell syntax, quotes and backslashes reach HubFetch inside
// its query argument, literally, and run nothing.
TEST_F(ScihubGet, HostileValuesReachHubFetchLiterally) {
    const fs::path marker = scratch() / "marker";
    const std::string hostile = "GRD$(touch " + marker.string() + ")`touch " + marker.string() + "`;touch " +
                                marker.string() + "|x\"y\\\" -w \\";
    writeParameters({{"producttype", hostile}, {"platformname", "a\\"}});
    ASSERT_EQ(runCommand().status, 0);
    const std::vector<std::string> arguments = received();
    ASSERT_EQ(arguments.size(), 5u);
    EXPECT_EQ(arguments.back(), "productType:\"" + hostile + "\" AND platformname:\"a\\\"");
    EXPECT_FALSE(fs::exists(marker));
}

// The completed copy of the parameters validates against the shipped
// schema, only its owner may read it, and the password is in no other file.
TEST_F(ScihubGet, CompletedCopyAndCredentials) {
    if (!fs::exists("/usr/bin/xmllint")) GTEST_SKIP() << "xmllint is not installed";
    writeParameters({{"producttype", "SLC"}});
    env["ORBS_DOUBLE_EXIT"] = "3";  // a failed run writes its reports too
    EXPECT_EQ(runCommand().status, kStatusDownloaderFailed);
    const fs::path copy = scratch() / "run" / "updated_in_parameters.sml";
    const std::string schema = (fs::path(ORBS_SOURCE_DIR) / "auxiliary/xml_schema_files" /
                                "PARAMETERS_INFO_SCI_HUB_GET_CMD.xsd").string();
    EXPECT_EQ(std::system(("xmllint --noout --nonet --schema '" + schema + "' '" + copy.string() + "' 2>/dev/null").c_str()), 0);
    const std::string text = readFile(copy);
    EXPECT_NE(text.find("<temp_directory>" + (scratch() / "run").string() + "</temp_directory>"), std::string::npos);
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    for (const fs::path& dir : {work(), scratch() / "run"})
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            if (entry.is_regular_file() && entry.path() != copy) {
                EXPECT_EQ(readFile(entry.path()).find("s3cret-Pa55"), std::string::npos) << entry.path();
            }
}

// The README's example parameter files build exactly the queries it shows.
TEST_F(ScihubGet, ReadmeQueriesAreWhatTheExamplesBuild) {
    const std::string readme = readFile(fs::path(ORBS_SOURCE_DIR) / "README.md");
    const std::regex block("<!-- query of (examples/[^ ]+) -->\n```text\n([^\n]*)\n```");
    const std::regex progress("<progress_file_name>[^<]*</progress_file_name>");
    // Example paths are relative to the repository root: the service runs in a copy.
    fs::copy(fs::path(ORBS_SOURCE_DIR) / "examples", scratch() / "examples", fs::copy_options::recursive);
    int examples = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), block), end; it != end; ++it, ++examples) {
        const std::string example = (*it)[1];
        writeFile(parameters, std::regex_replace(readFile(scratch() / example), progress,
                                                 "<progress_file_name>" + progressFile.string() + "</progress_file_name>"));
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 0) << example << "\n" << r.err;
        EXPECT_EQ(query(), (*it)[2].str()) << example;
    }
    EXPECT_GE(examples, 4);
}
}  // namespace
}  // namespace e2e
