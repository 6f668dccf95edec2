// The whole chain of the auxiliary files command: the installed service
// starts the installed AuxFetch in xterm on a private X server, and AuxFetch
// fetches from the local example hub on 127.0.0.1 into the four folders.
#include <chrono>
#include <optional>
#include <thread>

#include "e2e_support.h"
#include "local_hub.h"
#include "private_x_server.h"

namespace e2e {
namespace {

class AuxFetchChain : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        if (!PrivateXServer::start()) GTEST_SKIP() << "no xterm or no Xvfb to run a terminal";
        output = scratch() / "aux out";
        parameters = scratch() / "aux.sml";
        hub.emplace(scratch() / "hub", std::vector<std::string>{"--aux"});
        for (const auto& [name, value] : local_hub::clientEnvironment(scratch())) env[name] = value;
        // AuxFetch reports into the service's progress file while it exists.
        env["ORBISCAN_WORKING_DIR"] = work().string();
    }
    void TearDown() override {
        hub.reset();
        Installation::TearDown();
    }

    // The shipped example, its output and its sources moved to this test.
    void writeParameters(const std::string& method, const std::string& wait) {
        std::string text = readFile(fs::path(ORBS_SOURCE_DIR) / "examples" / "sentinel_auxiliaries.sml");
        text.replace(text.find("/tmp/orbiscan_aux_example"), 25, output.string());
        text.replace(text.find("full_download"), 13, method);
        text.replace(text.find("<wait_until_finish_flag>OK"), 26, "<wait_until_finish_flag>" + wait);
        text.replace(text.find("<missions>"), 0,
                     "<service_url>" + hub->url() + "</service_url><identity_url>" + hub->tokenUrl() +
                         "</identity_url><download_url>" + hub->url() + "</download_url><bucket_url>" + hub->url() +
                         "/s1-orbits</bucket_url><adf_url>" + hub->url() +
                         "/api/v1</adf_url><username>example_user</username><password>example_password</password>");
        writeFile(parameters, text);
    }

    // The files in the four folders, in their order; none may be partial.
    std::vector<std::size_t> arrived() const {
        std::vector<std::size_t> counts;
        for (const char* folder : {"AUX_INS", "AUX_CAL", "AUX_POEORB", "AUX_RESORB"}) {
            counts.push_back(0);
            if (!fs::exists(output / folder)) continue;
            for (const auto& entry : fs::directory_iterator(output / folder))
                counts.back() += !entry.path().string().ends_with(".incomplete");
        }
        return counts;
    }

    std::optional<local_hub::LocalHub> hub;
    fs::path output;
    fs::path parameters;
    // What the four example products need.
    const std::vector<std::size_t> expected{3, 3, 3, 2};
};

TEST_F(AuxFetchChain, ServiceRunsAuxFetchInATerminalAndTheFilesArrive) {
    writeParameters("full_download", "OK");
    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(arrived(), expected);
    EXPECT_FALSE(hub->requests("/download/").empty());
    EXPECT_FALSE(fs::exists(work() / "Process.working"));  // removed by the service after its success
    const std::string trace = readFile(work() / "Process.trace");
    EXPECT_NE(trace.find("XTerm command = '\"" + (root() / "bin" / "AuxFetch").string() + "\" -c"), std::string::npos);
}

// Without waiting, AuxFetch (-w -i) outlives the service: the files still
// arrive, and the progress file the service removed is not brought back.
TEST_F(AuxFetchChain, AuxFetchOutlivesAServiceThatDoesNotWait) {
    writeParameters("incremental", "NotOK");
    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 1500 && arrived() != expected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(arrived(), expected);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // AuxFetch's last progress report
    EXPECT_FALSE(fs::exists(work() / "Process.working"));
    const std::string trace = readFile(work() / "Process.trace");
    EXPECT_NE(trace.find("AuxFetch\" -w -i -c"), std::string::npos) << trace;
}

}  // namespace
}  // namespace e2e
