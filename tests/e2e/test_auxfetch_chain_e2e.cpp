// The whole chain of the auxiliary files command: the installed service
// starts the installed AuxFetch in xterm on a private X server, and AuxFetch
// fetches from the local example hub on 127.0.0.1 into the four folders.
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
    }
};

TEST_F(AuxFetchChain, ServiceRunsAuxFetchInATerminalAndTheFilesArrive) {
    local_hub::LocalHub hub(scratch() / "hub", {"--aux"});
    // The shipped example, its output and its sources moved to this test.
    std::string text = readFile(fs::path(ORBS_SOURCE_DIR) / "examples" / "sentinel_auxiliaries.sml");
    const fs::path output = scratch() / "aux out";
    text.replace(text.find("/tmp/orbiscan_aux_example"), 25, output.string());
    text.replace(text.find("<missions>"), 0,
                 "<service_url>" + hub.url() + "</service_url><identity_url>" + hub.tokenUrl() +
                     "</identity_url><download_url>" + hub.url() + "</download_url><bucket_url>" + hub.url() +
                     "/s1-orbits</bucket_url><adf_url>" + hub.url() +
                     "/api/v1</adf_url><username>example_user</username><password>example_password</password>");
    const fs::path parameters = scratch() / "aux.sml";
    writeFile(parameters, text);
    for (const auto& [name, value] : local_hub::clientEnvironment(scratch())) env[name] = value;
    env["ORBISCAN_PAUSE_SCALE"] = "0";
    // AuxFetch reports into the service's progress file while the service waits.
    env["ORBISCAN_WORKING_DIR"] = work().string();

    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::pair<const char*, std::size_t> expected[] = {
        {"AUX_INS", 3}, {"AUX_CAL", 3}, {"AUX_POEORB", 3}, {"AUX_RESORB", 2}};
    for (const auto& [folder, count] : expected) {
        std::size_t found = 0;
        for (const auto& entry : fs::directory_iterator(output / folder)) {
            EXPECT_FALSE(entry.path().string().ends_with(".incomplete")) << entry.path();
            ++found;
        }
        EXPECT_EQ(found, count) << folder;
    }
    EXPECT_FALSE(hub.requests("/download/").empty());
    EXPECT_FALSE(fs::exists(work() / "Process.working"));  // removed by the service after its success
    const std::string trace = readFile(work() / "Process.trace");
    EXPECT_NE(trace.find("XTerm command = '\"" + (root() / "bin" / "AuxFetch").string() + "\" -c"), std::string::npos);
}

}  // namespace
}  // namespace e2e
