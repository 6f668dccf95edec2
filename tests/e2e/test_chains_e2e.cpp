// The whole chains: the installed service starts the installed downloader in
// xterm on a private X server, and the downloader fetches from the local
// example hub on 127.0.0.1.
#include <chrono>
#include <memory>
#include <regex>
#include <thread>
#include "e2e_support.h"
#include "local_hub.h"

namespace e2e {
namespace {
class Chain : public Installation {
protected:
    void start(const std::vector<std::string>& hubOptions) {
        if (!PrivateXServer::start()) GTEST_SKIP() << "no xterm or no Xvfb to run a terminal";
        hub = std::make_unique<local_hub::LocalHub>(scratch() / "hub", hubOptions);
        for (const auto& [name, value] : local_hub::clientEnvironment(scratch())) env[name] = value;
    }
    void TearDown() override {
        hub.reset();
        Installation::TearDown();
    }
    std::string serviceFields() const {
        return "<service_url>" + hub->url() + "</service_url><identity_url>" + hub->tokenUrl() +
               "</identity_url><download_url>" + hub->url() + "</download_url>";
    }
    // The shipped example with the fields set, and `more` inserted before `at`.
    fs::path parameters(const std::string& example, const std::vector<std::pair<std::string, std::string>>& fields,
                        const std::string& at, const std::string& more) const {
        std::string text = readFile(fs::path(ORBS_SOURCE_DIR) / "examples" / example);
        for (const auto& [field, value] : fields)
            text = std::regex_replace(text, std::regex("<" + field + ">[^<]*</" + field + ">"),
                                      "<" + field + ">" + value + "</" + field + ">");
        writeFile(scratch() / "parameters.sml", text.insert(text.find(at), more));
        return scratch() / "parameters.sml";
    }

    std::unique_ptr<local_hub::LocalHub> hub;
};

// The search: the box example, waiting and unzipping.
TEST_F(Chain, ServiceTerminalHubFetchAndTheLocalHub) {
    start({});
    if (IsSkipped()) return;
    const fs::path run = scratch() / "run";
    const fs::path file = parameters("scihub/box.sml",
                                     {{"progress_file_name", (run / "progress").string()},
                                      {"unzip_to_dir", (run / "products").string() + "/"}, {"preview_only", "NotOK"},
                                      {"unzip_files", "OK"}, {"wait_until_finish_flag", "OK"}},
                                     "   <ORBSNT_USER_SCIHUB>", "<ORBSNT_SERVICE_SCIHUB>" + serviceFields() + "</ORBSNT_SERVICE_SCIHUB>\n");
    const RunResult r = Installation::run({"main_scihub_get#" + file.string()});
    ASSERT_EQ(r.status, 0) << r.err << readFile(work() / "Process.working_error");

    std::vector<std::string> archives, products;
    for (const auto& entry : fs::directory_iterator(run))
        if (entry.path().extension() == ".zip") archives.push_back(entry.path().stem().string());
    for (const auto& entry : fs::directory_iterator(run / "products"))
        if (entry.path().extension() == ".SAFE") products.push_back(entry.path().stem().string());
    std::sort(archives.begin(), archives.end());
    std::sort(products.begin(), products.end());
    EXPECT_FALSE(archives.empty());
    EXPECT_EQ(archives, products);
    for (const std::string& name : archives) {
        EXPECT_NE(name.find("S1"), std::string::npos) << name;
        EXPECT_NE(name.find("_GRD"), std::string::npos) << name;
        EXPECT_TRUE(fs::exists(run / "products" / (name + ".SAFE") / "manifest.safe")) << name;
    }
    // One login for the whole run, and HubFetch's last progress.
    EXPECT_EQ(hub->requests("/protocol/openid-connect/token").size(), 1u);
    EXPECT_EQ(readLines(run / "progress").at(0), "100");
}

class AuxFetchChain : public Chain {
protected:
    void SetUp() override {
        Chain::SetUp();
        start({"--aux"});
        env["ORBISCAN_WORKING_DIR"] = work().string();  // AuxFetch reports into the service's progress file
    }
    RunResult runWith(const std::string& method, const std::string& wait) {
        const fs::path file = parameters(
            "sentinel_auxiliaries.sml", {{"output_folder", output().string()}, {"download_method", method}, {"wait_until_finish_flag", wait}},
            "<missions>", serviceFields() + "<bucket_url>" + hub->url() + "/s1-orbits</bucket_url><adf_url>" + hub->url() +
                              "/api/v1</adf_url><username>example_user</username><password>example_password</password>");
        return run({"main_sentinel_auxiliaries#" + file.string()});
    }
    // The complete files in the four folders, in their order.
    std::vector<std::size_t> arrived() const {
        std::vector<std::size_t> counts;
        for (const char* folder : {"AUX_INS", "AUX_CAL", "AUX_POEORB", "AUX_RESORB"}) {
            counts.push_back(0);
            if (fs::exists(output() / folder))
                for (const auto& entry : fs::directory_iterator(output() / folder))
                    counts.back() += !entry.path().string().ends_with(".incomplete");
        }
        return counts;
    }

    fs::path output() const { return scratch() / "aux out"; }
    const std::vector<std::size_t> expected{3, 3, 3, 2};  // what the four example products need
};

TEST_F(AuxFetchChain, ServiceRunsAuxFetchInATerminalAndTheFilesArrive) {
    const RunResult r = runWith("full_download", "OK");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(arrived(), expected);
    EXPECT_FALSE(hub->requests("/download/").empty());
    EXPECT_FALSE(fs::exists(work() / "Process.working"));  // removed by the service after its success
    EXPECT_NE(trace().find("XTerm command = '\"" + (root() / "bin" / "AuxFetch").string() + "\" -c"), std::string::npos);
}

// Without waiting, AuxFetch (-w -i) outlives the service: the files still
// arrive, and the progress file the service removed is not brought back.
TEST_F(AuxFetchChain, AuxFetchOutlivesAServiceThatDoesNotWait) {
    const RunResult r = runWith("incremental", "NotOK");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 1500 && arrived() != expected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(arrived(), expected);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // AuxFetch's last progress report
    EXPECT_FALSE(fs::exists(work() / "Process.working"));
    EXPECT_NE(trace().find("AuxFetch\" -w -i -c"), std::string::npos) << trace();
}
}  // namespace
}  // namespace e2e
