// HubFetch run as a user runs it, against the local example hub with the
// faults of each case.  Nothing leaves 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "local_hub.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using local_hub::Process;
using test_files::readFile;
using test_files::readLines;
using test_files::writeFile;

// The query the search command builds for the example parameter file.
const std::string kExampleQuery =
    R"(productType:"GRD" AND platformname:"Sentinel-1" AND sensorOperationalMode:"IW" AND polarisationMode:VV AND )"
    R"(orbitDirection:"ASCENDING" AND (relativeOrbitNumber:"117") AND (footprint:"Intersects(POLYGON((12.00000 )"
    R"~(46.25000,10.50000 46.25000,10.50000 44.75000,12.00000 44.75000,12.00000 46.25000)))") AND )~"
    R"((beginPosition:[2019-05-01T00:00:00.000Z TO 2019-05-31T23:59:59.999Z]))";
const char* kFirstProduct = "1A2F";  // a name part of one of the three products the example query finds

using HubFetchResult = local_hub::ProgramResult;

class HubFetchRun : public local_hub::HubTest {
protected:
    void SetUp() override { clearOut(); }
    void startHub(std::vector<std::string> options) {
        options.insert(options.end(), {"--user", user, "--password", password});
        HubTest::startHub(options);
    }
    fs::path out() const { return mRoot / "out"; }
    fs::path progress() const { return out() / "prog"; }
    fs::path parameters() const { return mRoot / "par.sml"; }
    void clearOut() {
        fs::remove_all(out());
        fs::create_directories(out());
    }

    // The parameter file: the hub's addresses (legacy grammar below /dhus
    // when `legacy`), the account, and the extra service fields.
    void writeParameters(bool legacy = false) {
        std::string service = "<service_url>" + hub().url() + (legacy ? "/dhus" : "") + "</service_url>";
        if (!legacy)
            service += "<identity_url>" + hub().tokenUrl() + "</identity_url><download_url>" + hub().url() + "</download_url>";
        for (const auto& [field, value] : serviceFields) service += "<" + field + ">" + value + "</" + field + ">";
        writeFile(parameters(), "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SCI_HUB_GET_CMD>\n<MAIN_SCI_HUB_GET_CMD>"
                                "<OrbiscanEnvironment>IDL_ENVI_ENV</OrbiscanEnvironment><progress_file_name>" + progress().string() +
                                "</progress_file_name></MAIN_SCI_HUB_GET_CMD>\n<ORBSNT_SERVICE_SCIHUB>" + service +
                                "</ORBSNT_SERVICE_SCIHUB>\n<ORBSNT_USER_SCIHUB><username>" + user + "</username><password>" +
                                password + "</password></ORBSNT_USER_SCIHUB>\n</PARAMETERS_INFO_SCI_HUB_GET_CMD>\n");
    }

    std::unique_ptr<Process> start(const std::vector<std::string>& options, const std::string& query) {
        std::vector<std::string> argv{ORBS_HUBFETCH};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-c", parameters().string(), "-f", progress().string(), query});
        return std::make_unique<Process>(argv, local_hub::clientEnvironment(mRoot, pauseScale), mRoot / "hubfetch.out");
    }
    HubFetchResult run(const std::vector<std::string>& options, const std::string& query = kExampleQuery) {
        return finish(*start(options, query), mRoot / "hubfetch.out");
    }

    // Names of the products in the preview list (name,id,... lines).
    std::set<std::string> previewNames() const {
        std::set<std::string> names;
        const auto lines = readLines(out() / "prog_preview.csv");
        for (std::size_t i = 1; i < lines.size(); ++i) names.insert(lines[i].substr(0, lines[i].find(',')));
        return names;
    }
    std::vector<fs::path> files(const std::string& ending) const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(out()))
            if (entry.path().string().ends_with(ending)) found.push_back(entry.path());
        return found;
    }
    // Downloads (with their statuses); only those of kFirstProduct, known by
    // the id a preview run gave it (recordFirstId), when `firstOnly`.
    std::vector<nlohmann::json> downloads(bool firstOnly = false) {
        std::vector<nlohmann::json> found;
        for (const auto& r : hub().requests("$value"))
            if (!firstOnly || r["path"].get<std::string>().find(mFirstId) != std::string::npos) found.push_back(r);
        return found;
    }
    void recordFirstId() {
        ASSERT_EQ(run({"-p"}).status, 0);
        for (const auto& line : readLines(out() / "prog_preview.csv"))
            if (line.find(kFirstProduct) < line.find(',')) mFirstId = line.substr(line.find(',') + 1, 36);
        ASSERT_EQ(mFirstId.size(), 36u);
        fs::remove(out() / "prog_preview.csv");
    }

    std::string user = "example_user";
    std::string password = "example_password";
    std::map<std::string, std::string> serviceFields;
    std::string pauseScale = "0";

private:
    std::string mFirstId;
};

TEST_F(HubFetchRun, BothGrammarsFindTheProductsTheQueryDescribes) {
    startHub({});
    const struct { std::string query; std::size_t count; } cases[] = {
        {kExampleQuery, 3},
        {std::string(kExampleQuery).replace(kExampleQuery.find("GRD"), 3, "SLC"), 1},
        {R"(productType:"RAW" AND platformname:"Sentinel-1")", 1},
        {R"(productType:"OCN" AND platformname:"Sentinel-1")", 1},
        {R"(platformname:"Sentinel-1" AND polarisationMode:HH)", 2},
        {R"(platformname:"Sentinel-1" AND (relativeOrbitNumber:"168" OR relativeOrbitNumber:"44"))", 2},
        {R"(platformname:"Sentinel-1" AND orbitDirection:"DESCENDING")", 1},
        {R"(platformname:"Sentinel-1" AND (beginPosition:[* TO 2019-05-10T23:59:59.999Z]))", 5},
        {R"(platformname:"Sentinel-1" AND (beginPosition:[2019-05-20T00:00:00.000Z TO NOW]))", 4},
        {R"(productType:"S2MSI1C" AND platformname:"Sentinel-2")", 1},
        {R"~(platformname:"Sentinel-1" AND (footprint:"Intersects(POLYGON((29 59,31 59,31 61,29 61,29 59)))"))~", 1},
        // A second channel, lower case and a ring written open.
        {R"(platformname:"Sentinel-1" AND polarisationMode:VV VH)", 9},
        {R"(productType:"IW_GRDH_1S" AND platformname:"Sentinel-1")", 8},
        {R"(platformname:"Sentinel-1" AND orbitDirection:"descending")", 1},
        {R"~(platformname:"Sentinel-1" AND (footprint:"Intersects(POLYGON((29 59,31 59,31 61,29 61)))"))~", 1},
    };
    for (const auto& c : cases) {
        writeParameters(false);
        ASSERT_EQ(run({"-p"}, c.query).status, 0) << c.query;
        const auto odata = previewNames();
        writeParameters(true);
        ASSERT_EQ(run({"-p"}, c.query).status, 0) << c.query;
        const auto legacy = previewNames();
        EXPECT_EQ(odata.size(), c.count) << c.query;
        // The legacy hub lists names without ".SAFE".
        std::set<std::string> odataBases;
        for (const auto& name : odata) odataBases.insert(name.substr(0, name.size() - 5));
        EXPECT_EQ(odataBases, legacy) << c.query;
    }
}

TEST_F(HubFetchRun, PreviewWritesListFootprintsAndDrawing) {
    startHub({});
    writeParameters();
    const HubFetchResult result = run({"-p"});
    ASSERT_EQ(result.status, 0) << result.output;
    const auto geojson = nlohmann::json::parse(readFile(out() / "prog_preview.geojson"));
    ASSERT_EQ(geojson["features"].size(), 4u);
    EXPECT_EQ(geojson["features"][0]["properties"]["role"], "area of interest");
    EXPECT_EQ(geojson["features"][0]["geometry"]["coordinates"][0].size(), 5u);
    EXPECT_EQ(geojson["features"][1]["geometry"]["type"], "Polygon");
    EXPECT_EQ(std::system(("xmllint --noout '" + (out() / "prog_preview.svg").string() + "'").c_str()), 0);
    EXPECT_NE(readFile(out() / "prog_preview.svg").find("id=\"area_of_interest\""), std::string::npos);
    EXPECT_TRUE(downloads().empty());
    EXPECT_EQ(readLines(progress())[0], "100");
}

TEST_F(HubFetchRun, PagingGoesPastTheHubsSkipLimitByNarrowingTheDates) {
    startHub({"--filler", "2500", "--max-skip", "1000"});
    writeParameters();
    ASSERT_EQ(run({"-p"}, R"(platformname:"Sentinel-1")").status, 0);
    EXPECT_EQ(previewNames().size(), 2512u);
    EXPECT_EQ(readLines(out() / "prog_preview.csv").size(), 2513u);  // no duplicate lines
    bool narrowed = false;
    for (const auto& r : hub().requests("/odata/v1/Products"))
        narrowed |= r["query"].get<std::string>().find("ContentDate%2FStart%20ge%20") != std::string::npos;
    EXPECT_TRUE(narrowed);
}

TEST_F(HubFetchRun, DownloadsExtractsAndSkipsWhatIsAlreadyThere) {
    startHub({"--redirect"});
    writeParameters();
    const fs::path unz = mRoot / "unz";
    HubFetchResult first = run({"-u", unz.string(), "-d"});
    ASSERT_EQ(first.status, 0) << first.output;
    EXPECT_EQ(std::distance(fs::directory_iterator(unz), fs::directory_iterator()), 3);
    for (const auto& safe : fs::directory_iterator(unz)) {
        EXPECT_TRUE(fs::exists(safe.path() / "manifest.safe"));
        EXPECT_TRUE(fs::is_directory(safe.path() / "measurement"));
    }
    EXPECT_TRUE(files(".zip").empty());  // -d
    EXPECT_TRUE(files(".incomplete").empty());
    // Redirected to a storage host on another port: no credentials there.
    ASSERT_EQ(hub().requests("/store/", "storage").size(), 3u);
    for (const auto& r : hub().requests("/store/", "storage")) EXPECT_FALSE(r["auth"].get<bool>());
    for (const auto& r : downloads()) EXPECT_TRUE(r["auth"].get<bool>());

    const std::size_t before = hub().requests("/store/").size();
    HubFetchResult second = run({"-u", unz.string(), "-d"});
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(hub().requests("/store/").size(), before);
}

TEST_F(HubFetchRun, TokenIsRefreshedDuringALongRunWithOneLogin) {
    startHub({"--token-lifetime", "1", "--rate", "400000"});
    serviceFields["parallel_downloads"] = "1";
    writeParameters();
    const HubFetchResult result = run({});
    ASSERT_EQ(result.status, 0) << result.output;
    int logins = 0, refreshes = 0;
    for (const auto& r : hub().requests("/openid-connect/token")) {
        logins += r["grant"] == "password";
        refreshes += r["grant"] == "refresh_token";
    }
    EXPECT_EQ(logins, 1);
    EXPECT_GE(refreshes, 1);
    for (const auto& r : downloads()) EXPECT_EQ(r["status"], 200);
}

TEST_F(HubFetchRun, ACutTransferResumesOrRestartsAndIsVerified) {
    for (const bool rangeHonoured : {true, false}) {
        clearOut();
        std::vector<std::string> options{"--cut-after", "120000"};
        if (!rangeHonoured) options.push_back("--no-range");
        startHub(options);
        writeParameters();
        const HubFetchResult result = run({});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(files(".zip").size(), 3u);
        const auto requests = downloads();
        ASSERT_EQ(requests.size(), 6u);
        int resumed = 0;
        for (const auto& r : requests) resumed += r["range"] == "bytes=120000-";
        EXPECT_EQ(resumed, 3);
        for (const auto& r : requests) EXPECT_TRUE(r["range"].is_null() || r["status"] == (rangeHonoured ? 206 : 200)) << r;
    }
}

TEST_F(HubFetchRun, ChecksumMismatchIsRetriedThenFailsOrWarnsByPolicy) {
    for (const std::string policy : {"fail", "warn"}) {
        clearOut();
        startHub({"--wrong-checksum", kFirstProduct});
        serviceFields["checksum_mismatch"] = policy;
        writeParameters();
        recordFirstId();
        const HubFetchResult result = run({});
        EXPECT_EQ(downloads(true).size(), 3u) << policy;
        EXPECT_EQ(files(".zip").size(), policy == "fail" ? 2u : 3u);
        EXPECT_TRUE(files(".incomplete").empty());
        EXPECT_EQ(result.status, policy == "fail" ? 5 : 0) << result.output;
        EXPECT_NE(result.output.find(policy == "fail" ? "FAILED" : "WARNING"), std::string::npos) << result.output;
    }
}

TEST_F(HubFetchRun, TooManySessionsWaitsAsTheHubAsks) {
    startHub({"--throttle", "2", "--retry-after", "1"});
    pauseScale = "0.2";  // Retry-After 1 s becomes 0.2 s
    writeParameters();
    const HubFetchResult result = run({});
    ASSERT_EQ(result.status, 0) << result.output;
    const auto requests = downloads();
    ASSERT_EQ(requests.size(), 5u);
    double firstRefusal = -1, lastStart = 0;
    for (const auto& r : requests) {
        if (r["status"] == 429 && firstRefusal < 0) firstRefusal = r["t"].get<double>();
        if (r["status"] == 200) lastStart = std::max(lastStart, r["t"].get<double>());
    }
    EXPECT_GE(lastStart - firstRefusal, 0.18);
}

TEST_F(HubFetchRun, OfflineProductsAreReportedOrComeBackOnline) {
    const struct { bool legacy; std::string waitMinutes; int status; std::size_t requestsOfOffline; } cases[] = {
        {false, "30", 5, 0},  // OData: cannot be ordered here, reported by name
        {true, "30", 0, 3},   // legacy: 202 twice, then online
        {true, "0", 5, 1},    // legacy, no time to wait
    };
    for (const auto& c : cases) {
        clearOut();
        startHub({"--offline", kFirstProduct, "--offline-polls", "2"});
        serviceFields["offline_wait_minutes"] = c.waitMinutes;
        writeParameters(c.legacy);
        recordFirstId();
        const HubFetchResult result = run({});
        EXPECT_EQ(result.status, c.status) << result.output;
        std::size_t offlineRequests = 0;
        for (const auto& r : downloads(true)) offlineRequests += r["path"].get<std::string>().find("Checksum") == std::string::npos;
        EXPECT_EQ(offlineRequests, c.requestsOfOffline) << result.output;
        if (c.status != 0) {
            EXPECT_NE(result.output.find(kFirstProduct), std::string::npos) << result.output;
        }
        EXPECT_EQ(files(".zip").size(), c.status == 0 ? 3u : 2u);
    }
}

TEST_F(HubFetchRun, StopRequestEndsTheRunAndALaterRunResumes) {
    startHub({"--rate", "100000"});
    writeParameters();
    auto process = start({}, kExampleQuery);
    // Bytes have arrived once the progress file counts some.
    ASSERT_TRUE(local_hub::waitUntil([&] {
        const std::string text = readFile(progress());
        return text.find("products, ") != std::string::npos && text.find(", 0 B of") == std::string::npos;
    }, 250)) << readFile(progress());
    writeFile(progress(), "101\nstop requested\n");
    const auto status = process->waitFor(std::chrono::seconds(3));
    ASSERT_TRUE(status) << "still running 3 s after the stop request";
    EXPECT_EQ(*status, 6);
    EXPECT_EQ(readLines(progress())[0], "101");
    EXPECT_TRUE(files(".zip").empty());
    std::set<std::string> ranges;
    for (const auto& f : files(".incomplete"))
        if (fs::file_size(f) > 0) ranges.insert("bytes=" + std::to_string(fs::file_size(f)) + "-");
    ASSERT_FALSE(ranges.empty());

    writeFile(progress(), "0\nresume\n");
    const std::size_t before = downloads().size();
    serviceFields["parallel_downloads"] = "4";
    const HubFetchResult resumed = run({});
    ASSERT_EQ(resumed.status, 0) << resumed.output;
    // The hub logs a request once it has answered it: on a loaded machine
    // the last entries may come just after HubFetch has ended.
    std::set<std::string> asked;
    local_hub::waitUntil([&] {
        const auto requests = downloads();
        for (std::size_t i = before; i < requests.size(); ++i)
            if (!requests[i]["range"].is_null()) asked.insert(requests[i]["range"].get<std::string>());
        return std::includes(asked.begin(), asked.end(), ranges.begin(), ranges.end());
    }, 150);
    for (const auto& range : ranges) EXPECT_TRUE(asked.count(range)) << range;
}

// In no file HubFetch writes; its command line has none (see start()).
TEST_F(HubFetchRun, CredentialsAppearInNoFile) {
    user = "user-Xk7unique";
    password = "pw-Zq9unique";
    startHub({});
    writeParameters();
    const HubFetchResult result = run({"-u", (mRoot / "unz").string()});
    ASSERT_EQ(result.status, 0) << result.output;
    std::size_t checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(mRoot)) {
        if (!entry.is_regular_file() || entry.path() == parameters() || entry.path().parent_path() == mRoot / "hub")
            continue;
        const std::string text = readFile(entry.path());
        EXPECT_EQ(text.find(password), std::string::npos) << entry.path();
        EXPECT_EQ(text.find(user), std::string::npos) << entry.path();
        ++checked;
    }
    EXPECT_GE(checked, 7u);  // progress, output, archives, extracted files
}

TEST_F(HubFetchRun, EachKindOfFailureHasItsExitStatusAndALastLine) {
    const struct {
        std::vector<std::string> hubOptions;
        std::map<std::string, std::string> fields;
        bool legacy;
        std::string query;
        int status;
        std::string says;
    } cases[] = {
        {{"--reject-login"}, {}, false, kExampleQuery, 3, "refused the login"},
        {{"--reject-login"}, {}, true, kExampleQuery, 3, "refused the search"},
        {{}, {}, false, R"(platformname:"Sentinel-1" AND cloudcoverpercentage:[0 TO 30])", 4,
         "cloudcoverpercentage:[0 TO 30]"},
        {{}, {{"service_url", "http://127.0.0.1:1"}, {"max_attempts", "2"}}, false, kExampleQuery, 7, "does not answer"},
        {{}, {{"parallel_downloads", "many"}}, false, kExampleQuery, 2, "parallel_downloads"},
        {{}, {{"api", "soap"}}, false, kExampleQuery, 2, "api"},
    };
    for (const auto& c : cases) {
        startHub(c.hubOptions);
        serviceFields = c.fields;
        writeParameters(c.legacy);
        const HubFetchResult result = run({}, c.query);
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.lastLine().find(c.says), std::string::npos) << result.lastLine();
        EXPECT_EQ(result.output.find(password), std::string::npos);
    }
    fs::remove(parameters());
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"-x"}).status, 2);
}

}  // namespace
