// The whole chain: the service starts the installed HubFetch in a real
// terminal, HubFetch searches and downloads from the local example hub on
// 127.0.0.1, and the service waits for it.
#include <regex>

#include "e2e_support.h"
#include "local_hub.h"
#include "private_x_server.h"

namespace e2e {
namespace {

class ScihubChain : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        if (!PrivateXServer::start()) GTEST_SKIP() << "no xterm or no Xvfb to run a terminal";
        if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "python3 runs the local hub";
        hub = std::make_unique<local_hub::LocalHub>(scratch() / "hub", std::vector<std::string>{});
    }

    // The box example, pointed at the local hub, waiting and unzipping.
    fs::path parameters(const fs::path& run) {
        std::string text = readFile(fs::path(ORBS_SOURCE_DIR) / "examples/scihub/box.sml");
        auto set = [&text](const std::string& field, const std::string& value) {
            text = std::regex_replace(text, std::regex("<" + field + ">[^<]*</" + field + ">"),
                                      "<" + field + ">" + value + "</" + field + ">");
        };
        set("progress_file_name", (run / "progress").string());
        set("unzip_to_dir", (run / "products").string() + "/");
        set("preview_only", "NotOK");
        set("unzip_files", "OK");
        set("wait_until_finish_flag", "OK");
        const std::string service = "   <ORBSNT_SERVICE_SCIHUB>\n      <service_url>" + hub->url() +
                                    "</service_url>\n      <identity_url>" + hub->tokenUrl() +
                                    "</identity_url>\n      <download_url>" + hub->url() +
                                    "</download_url>\n   </ORBSNT_SERVICE_SCIHUB>\n";
        text.insert(text.find("   <ORBSNT_USER_SCIHUB>"), service);
        const fs::path path = scratch() / "search.sml";
        writeFile(path, text);
        return path;
    }

    std::unique_ptr<local_hub::LocalHub> hub;
};

TEST_F(ScihubChain, ServiceTerminalHubFetchAndTheLocalHub) {
    const fs::path run = scratch() / "run";
    const RunResult r = Installation::run({"main_scihub_get#" + parameters(run).string()});
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

}  // namespace
}  // namespace e2e
