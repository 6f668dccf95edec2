// AuxFetch run as the service runs it, against the local example hub's
// auxiliary sources with the faults of each case.  Nothing leaves 127.0.0.1.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "local_hub.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using local_hub::Process;
using test_files::readFile;
using test_files::readLines;
using test_files::writeFile;

const char* kFolders[] = {"AUX_INS", "AUX_CAL", "AUX_POEORB", "AUX_RESORB"};
// Products of the hub's catalogue: 3 and 27 May (one restituted file), 30
// May (two restituted files joined), and an S1B one on 9 May.
const std::string kProducts =
    "S1A_IW_GRDH_1SDV_20190503T051200_20190503T051225_027036_030000_1A2F,"
    "S1B_IW_GRDH_1SDV_20190509T051214_20190509T051239_027110_030002_1A31,"
    "S1A_IW_GRDH_1SDV_20190527T051249_20190527T051314_027331_030007_1A36,"
    "S1A_IW_OCN__2SDV_20190530T051317_20190530T051342_027371_03000B_1A3A";
// What they need: counts per folder, and the reprocessed precise orbit of 3 May.
const std::vector<std::size_t> kExpectedCounts = {3, 3, 2, 3};
const std::string kReprocessed = "S1A_OPER_AUX_POEORB_OPOD_20200605T225942_V20190502T225942_20190504T005942.EOF";

using Result = local_hub::ProgramResult;

class AuxFetchRun : public local_hub::HubTest {
protected:
    void startHub(std::vector<std::string> options) {
        options.insert(options.begin(), "--aux");
        HubTest::startHub(options);
    }
    fs::path folder(int i) const { return mRoot / "aux dir" / kFolders[i]; }
    fs::path parameters() const { return mRoot / "par.sml"; }

    // The service section pointing at the hub, with the account and `scope`.
    void writeParameters(const std::string& scope = "<products_list>" + kProducts + "</products_list>",
                         bool account = true) {
        const std::string h = hub().url();
        writeFile(parameters(),
                  "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD>\n<ORBSNT_SERVICE_SENTINELQC>"
                  "<service_url>" + h + "</service_url><identity_url>" + hub().tokenUrl() + "</identity_url>"
                  "<download_url>" + h + "</download_url><bucket_url>" + h + "/s1-orbits/</bucket_url>"
                  "<adf_url>" + h + "/api/v1</adf_url>" +
                      (account ? "<username>example_user</username><password>example_password</password>" : "") +
                      scope + "</ORBSNT_SERVICE_SENTINELQC>\n</PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD>\n");
    }

    std::unique_ptr<Process> start(const std::vector<std::string>& options) {
        std::vector<std::string> argv{ORBS_AUXFETCH};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-c", parameters().string()});
        for (int i = 0; i < 4; ++i) argv.push_back(folder(i).string());
        auto env = local_hub::clientEnvironment(mRoot);
        env["ORBISCAN_WORKING_FILE"] = progress.string();
        return std::make_unique<Process>(argv, env, mRoot / "auxfetch.out");
    }
    Result run(const std::vector<std::string>& options = {}) { return finish(*start(options), mRoot / "auxfetch.out"); }

    std::set<std::string> files(int i) const {
        std::set<std::string> names;
        if (fs::exists(folder(i)))
            for (const auto& entry : fs::directory_iterator(folder(i))) names.insert(entry.path().filename().string());
        return names;
    }
    std::vector<std::size_t> counts() const {
        std::vector<std::size_t> result;
        for (int i = 0; i < 4; ++i) result.push_back(files(i).size());
        return result;
    }
    // File downloads the hub served, by where they came from.
    std::size_t downloads(const std::string& part) {
        std::size_t n = 0;
        for (const auto& r : hub().requests(part))
            n += r["path"] != "/s1-orbits/" && r["path"] != "/api/v1/" && r["path"] != "/odata/v1/Products";
        return n;
    }
    std::size_t allDownloads() { return downloads("/s1-orbits/") + downloads("/download/") + downloads("$value"); }

    fs::path progress = mRoot / "no progress file";  // the service's progress file named to AuxFetch
};

TEST_F(AuxFetchRun, FullDownloadThenOnlyWhatIsMissingThenEverythingReplacedInOneStep) {
    startHub({});
    writeParameters();
    const Result first = run();
    ASSERT_EQ(first.status, 0) << first.output;
    ASSERT_EQ(counts(), kExpectedCounts) << first.output;
    EXPECT_NE(first.output.find("two restituted orbit files joined"), std::string::npos);
    for (const std::string& safe : files(1)) EXPECT_TRUE(fs::exists(folder(1) / safe / "manifest.safe")) << safe;
    EXPECT_FALSE(fs::exists(progress));  // a progress file that is not there is not made

    // -i: a missing and a damaged file are fetched again, nothing else.
    const fs::path removed = folder(3) / *files(3).begin();
    const fs::path damaged = folder(2) / kReprocessed;
    const fs::path kept = folder(0) / *files(0).begin() / "manifest.safe";
    const fs::path emptied = folder(1) / *files(1).begin();
    fs::remove(removed);
    fs::resize_file(damaged, 100);
    fs::remove(emptied / "manifest.safe");
    writeFile(emptied / "data" / "left over by a user", "");
    struct stat before {};
    ::stat(kept.c_str(), &before);
    const std::size_t served = allDownloads();
    const Result incremental = run({"-i"});
    ASSERT_EQ(incremental.status, 0) << incremental.output;
    EXPECT_EQ(allDownloads() - served, 3u);
    EXPECT_TRUE(fs::exists(removed));
    EXPECT_GT(fs::file_size(damaged), 100u);
    EXPECT_TRUE(fs::exists(emptied / "manifest.safe"));
    EXPECT_FALSE(fs::exists(emptied / "data" / "left over by a user"));  // the folder was replaced whole
    struct stat after {};
    ::stat(kept.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // A full download over a slow link: while it runs, every file keeps
    // its final name with whole content, old or new.
    startHub({"--rate", "6000"});
    writeParameters();
    const std::uint64_t oldSize = fs::file_size(damaged);
    std::atomic<bool> done{false};
    std::atomic<int> broken{0}, looks{0};
    std::thread watcher([&] {
        while (!done) {
            std::error_code error;
            const auto size = fs::file_size(damaged, error);
            const std::string text = readFile(damaged);
            if (error || (size != oldSize && text.find("</Earth_Explorer_File>") == std::string::npos) ||
                !fs::exists(kept))
                ++broken;
            ++looks;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    const Result full = run();
    done = true;
    watcher.join();
    ASSERT_EQ(full.status, 0) << full.output;
    EXPECT_EQ(broken, 0) << "of " << looks << " looks";
    EXPECT_GT(looks, 20);
    ::stat(kept.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(counts(), kExpectedCounts);  // no partial or staging files left
}

TEST_F(AuxFetchRun, ASourceThatIsDownOrRefusesHandsOverToTheNext) {
    const std::string missingCal = "MISSING AUX_CAL for " + kProducts.substr(0, 67);
    const struct {
        std::vector<std::string> hub;
        bool account;
        int status;
        std::size_t fromBucket, fromService, fromDataSpace;
        std::string says, output;
        std::vector<std::size_t> counts;
    } cases[] = {
        {{}, true, 0, 0, 6, 5, "everything in scope", "", kExpectedCounts},
        {{"--zip-orbits"}, true, 0, 0, 6, 5, "everything in scope", "", kExpectedCounts},
        // A wrong MD5: three downloads from the Data Space, then the bucket's copy.
        {{"--wrong-checksum", "S1B_OPER_AUX_POEORB_OPOD_20190529"}, true, 0, 1, 6, 7, "everything in scope", "", kExpectedCounts},
        {{"--down", "odata"}, true, 0, 5, 6, 0, "everything in scope", "", kExpectedCounts},
        {{"--down", "adf"}, true, 0, 0, 0, 11, "everything in scope", "", kExpectedCounts},
        {{"--reject-login"}, true, 0, 5, 6, 0, "everything in scope", "", kExpectedCounts},
        {{}, false, 0, 5, 6, 0, "everything in scope", "", kExpectedCounts},
        {{"--down", "odata", "--down", "adf"}, true, 5, 5, 0, 0, "8 needs not met", missingCal, {0, 0, 2, 3}},
        {{"--down", "odata", "--down", "adf", "--down", "bucket"}, true, 7, 0, 0, 0, "no source answered", "", {0, 0, 0, 0}},
        // A hostile archive is refused, and the two other calibration files are in place.
        {{"--hostile", "S1A_AUX_CAL_V20190415T000000_G20190505"}, true, 5, 0, 6, 6, "needs not met",
         "FAILED S1A_AUX_CAL_V20190415T000000_G20190505T120000.SAFE: refused", {3, 2, 2, 3}},
    };
    for (const auto& c : cases) {
        fs::remove_all(mRoot / "aux dir");
        startHub(c.hub);
        writeParameters("<products_list>" + kProducts + "</products_list>", c.account);
        const Result result = run();
        const std::string label = ::testing::PrintToString(c.hub) + (c.account ? "" : " no account");
        EXPECT_EQ(result.status, c.status) << label << result.output;
        EXPECT_EQ(downloads("/s1-orbits/"), c.fromBucket) << label;
        EXPECT_EQ(downloads("/download/"), c.fromService) << label;
        EXPECT_EQ(downloads("$value"), c.fromDataSpace) << label;
        EXPECT_NE(result.lastLine().find(c.says), std::string::npos) << label << result.lastLine();
        EXPECT_NE(result.output.find(c.output), std::string::npos) << label << result.output;
        EXPECT_EQ(counts(), c.counts) << label;
        if (!c.account) {
            EXPECT_TRUE(hub().requests("openid-connect").empty());
            EXPECT_TRUE(hub().requests("/odata/").empty());
        }
        if (c.status == 0) {
            EXPECT_EQ(readFile(folder(2) / kReprocessed).substr(0, 5), "<?xml") << label;  // never its zip
        }
    }
}

TEST_F(AuxFetchRun, ListingsArePagedToTheirLastPage) {
    startHub({"--list-page", "3", "--down", "odata"});
    // Precise orbits are enough for the first two products: no restituted
    // orbits are listed.
    writeParameters("<products_list>" + kProducts.substr(0, 2 * 68) + "</products_list>");
    const Result result = run();
    ASSERT_EQ(result.status, 0) << result.output;
    // Both listings are sorted so that the files chosen come last.
    EXPECT_EQ(counts(), (std::vector<std::size_t>{2, 2, 2, 0}));
    EXPECT_TRUE(files(2).count(kReprocessed));
    for (const auto& r : hub().requests("/s1-orbits/"))
        EXPECT_EQ(r["query"].get<std::string>().find("AUX_RESORB"), std::string::npos) << r["query"];
    std::size_t markers = 0, pages = 0;
    for (const auto& r : hub().requests("/s1-orbits/"))
        markers += r["path"] == "/s1-orbits/" && r["query"].get<std::string>().find("marker=AUX_POEORB%2FS1A") != std::string::npos;
    for (const auto& r : hub().requests("/api/v1/")) pages += r["query"].get<std::string>().find("page=") != std::string::npos;
    EXPECT_GE(markers, 9u);  // 31 keys of S1A precise orbits, 3 a page
    EXPECT_EQ(pages, 2u);  // the second page of each type, where the chosen files are
}

TEST_F(AuxFetchRun, StopRequestEndsTheRunAndKeepsThePartialFiles) {
    startHub({"--rate", "1000"});
    writeParameters();
    progress = mRoot / "Process.working";
    writeFile(progress, "50\nDownloading (see AuxFetch terminal) ...\n");
    auto process = start({});
    ASSERT_TRUE(local_hub::waitUntil([&] {
        const std::string text = readFile(progress);
        return text.find(" files, ") != std::string::npos && text.find(", 0 B") == std::string::npos;
    }, 500)) << readFile(progress);
    writeFile(progress, "101\nstop requested\n");
    const auto status = process->waitFor(std::chrono::seconds(3));
    ASSERT_TRUE(status) << "still running 3 s after the stop request";
    EXPECT_EQ(*status, 6);
    EXPECT_EQ(readLines(progress)[0], "101");
    std::size_t partial = 0, placed = 0;
    for (int i = 0; i < 4; ++i)
        for (const std::string& name : files(i)) (name.ends_with(".incomplete") ? partial : placed) += 1;
    EXPECT_GT(partial, 0u);
    EXPECT_EQ(placed, 0u);
}

// A period: precise orbits where they exist, restituted ones after them; a
// mission without any file is only noted.
TEST_F(AuxFetchRun, PeriodTakesWhatIsValidDuringIt) {
    startHub({});
    writeParameters("<missions>S1B,S1C</missions><start_date>2019-05-25</start_date><stop_date>2019-05-28</stop_date>");
    const Result period = run();
    ASSERT_EQ(period.status, 0) << period.output;
    EXPECT_NE(period.output.find("note: no orbit file (AUX_POEORB or AUX_RESORB) for S1C"), std::string::npos);
    EXPECT_EQ(files(2).size(), 3u);  // validity starting on 24, 25 and 26 May
    EXPECT_FALSE(files(3).empty());  // reaching past the last precise one
    EXPECT_EQ(files(1), (std::set<std::string>{"S1B_AUX_CAL_V20190520T000000_G20190518T120000.SAFE"}));
}

TEST_F(AuxFetchRun, BadArgumentsEndWithStatusTwoAndSayWhy) {
    writeFile(parameters(), "<?xml version=\"1.0\" ?>\n<P><ORBSNT_SERVICE_SENTINELQC><missions>S1X</missions>"
                            "</ORBSNT_SERVICE_SENTINELQC></P>\n");
    const struct { std::vector<std::string> argv; std::string says; } cases[] = {
        {{"-c", parameters().string(), "a", "b", "c", "d"}, "S1X"},
        {{"-c", (mRoot / "none.sml").string(), "a", "b", "c", "d"}, "Cannot read the parameter file"},
        {{"-c", parameters().string(), "a", "b", "c"}, "four folders"},
        {{"-x"}, "Unknown option"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{ORBS_AUXFETCH};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        fs::remove(mRoot / "out");
        Process process(argv, local_hub::clientEnvironment(mRoot), mRoot / "out");
        EXPECT_EQ(process.wait(), 2) << c.says;
        EXPECT_NE(readFile(mRoot / "out").find(c.says), std::string::npos) << readFile(mRoot / "out");
    }
}

}  // namespace
