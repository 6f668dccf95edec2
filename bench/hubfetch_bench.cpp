// HubFetch against curl --parallel: 8 products from the local example hub,
// 4 transfers at a time for both, both to files of the same folder, in
// alternating order from a synced disk; wall time (median of the runs, and
// the median of the ratios of each run's pair), CPU time and peak memory,
// and against curl followed by md5sum (the same work as HubFetch's verified
// downloads); peak memory at two product sizes; MD5 throughput against
// md5sum.  The hub runs on the same machine and shares its cores.
//   orbs_hubfetch_bench [--mb=50] [--runs=3] [--dir=PATH]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>

#include "bench_result.h"
#include "fetch_digest.h"
#include "local_hub.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The 8 Sentinel-1 GRD products of May 2019 in the hub's catalogue.
const char* kQuery = R"(productType:"GRD" AND platformname:"Sentinel-1" AND )"
                     R"((beginPosition:[2019-05-01T00:00:00.000Z TO NOW]))";

struct Measure {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system
    long peakKiB = 0;
    int status = -1;
};


// Runs argv to its end into an empty `out` (the disk synced first, so that
// no run pays for the previous one's writeback): wall and CPU time, and the
// child's peak resident memory.
Measure measure(const std::vector<std::string>& argv, const fs::path& out, const fs::path& log) {
    fs::remove_all(out);
    fs::create_directories(out);
    ::sync();
    const auto start = Clock::now();
    local_hub::Process process(argv, {{"ORBISCAN_PAUSE_SCALE", "1"}, {"NO_PROXY", "*"}}, log);
    Measure m;
    m.status = process.wait();
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.cpuSeconds = process.cpuSeconds();
    m.peakKiB = process.peakMemoryKb();
    return m;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

void writeParameters(const fs::path& file, const local_hub::LocalHub& hub, const fs::path& out) {
    test_files::writeFile(file, "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SCI_HUB_GET_CMD><MAIN_SCI_HUB_GET_CMD>"
                                "<download_directory>" + out.string() + "</download_directory></MAIN_SCI_HUB_GET_CMD>"
                                "<ORBSNT_SERVICE_SCIHUB><service_url>" + hub.url() + "</service_url><identity_url>" +
                                hub.tokenUrl() + "</identity_url><download_url>" + hub.url() +
                                "</download_url></ORBSNT_SERVICE_SCIHUB><ORBSNT_USER_SCIHUB><username>example_user"
                                "</username><password>example_password</password></ORBSNT_USER_SCIHUB>"
                                "</PARAMETERS_INFO_SCI_HUB_GET_CMD>\n");
}

struct Comparison {
    Measure hubfetch;           // medians; the largest peak memory
    Measure curl;
    double curlThenMd5sum = 0;  // the same work as HubFetch: download, then verify
    double pairedRatio = 0;     // median of HubFetch / curl within each run
    std::uint64_t bytes = 0;
};

Comparison compare(const fs::path& root, long megabytes, int runs, bool withCurl) {
    const fs::path hubDir = root / ("hub" + std::to_string(megabytes));
    // No session limit on the hub: a 5th transfer that starts a moment before
    // the hub has counted the 4th as ended would get a 429, which HubFetch
    // waits out and curl would save as the file.
    local_hub::LocalHub hub(hubDir, {"--product-bytes", std::to_string(megabytes * 1000000), "--max-sessions", "100"}, 1800);
    const fs::path out = root / "out";
    const fs::path progress = root / "prog";
    writeParameters(root / "par.sml", hub, out);
    // The product list and a token for curl, from the same hub.
    local_hub::Process preview({ORBS_HUBFETCH, "-p", "-c", (root / "par.sml").string(), "-f", progress.string(), kQuery},
                               {{"NO_PROXY", "*"}}, root / "preview.log");
    preview.wait();
    std::vector<std::string> ids, names;
    for (const auto& line : test_files::readLines(progress.string() + "_preview.csv")) {
        if (line.rfind("name,", 0) == 0) continue;
        const auto a = line.find(','), b = line.find(',', a + 1);
        names.push_back(line.substr(0, a));
        ids.push_back(line.substr(a + 1, b - a - 1));
    }
    const std::string token = run("curl -s --noproxy '*' -d grant_type=password -d username=example_user "
                                  "-d password=example_password -d client_id=cdse-public " + hub.tokenUrl() +
                                  " | python3 -c 'import json,sys; print(json.load(sys.stdin)[\"access_token\"])'");
    std::vector<std::string> curlArgs{"/usr/bin/curl", "-s", "--noproxy", "*", "--parallel", "--parallel-max", "4",
                                      "-H", "Authorization: Bearer " + token.substr(0, token.find('\n'))};
    for (std::size_t i = 0; i < ids.size(); ++i)
        curlArgs.insert(curlArgs.end(), {"-o", (out / (names[i] + ".curl")).string(),
                                         hub.url() + "/odata/v1/Products(" + ids[i] + ")/$value"});
    Comparison result;
    std::vector<double> hubTimes, hubCpu, curlTimes, curlCpu, verifiedTimes, ratios;
    auto runHubFetch = [&] {
        const Measure h = measure({ORBS_HUBFETCH, "-c", (root / "par.sml").string(), "-f", progress.string(), kQuery},
                                  out, root / "hubfetch.log");
        hubTimes.push_back(h.seconds);
        hubCpu.push_back(h.cpuSeconds);
        result.hubfetch.peakKiB = std::max(result.hubfetch.peakKiB, h.peakKiB);
        result.hubfetch.status = h.status;
    };
    auto runCurl = [&] {
        const Measure c = measure(curlArgs, out, root / "curl.log");
        curlTimes.push_back(c.seconds);
        curlCpu.push_back(c.cpuSeconds);
        const auto start = Clock::now();
        run("md5sum '" + out.string() + "'/*.curl > /dev/null");
        verifiedTimes.push_back(c.seconds + std::chrono::duration<double>(Clock::now() - start).count());
        result.curl.peakKiB = std::max(result.curl.peakKiB, c.peakKiB);
        result.curl.status = c.status;
        if (result.bytes == 0)
            for (const auto& f : fs::directory_iterator(out)) result.bytes += fs::file_size(f);
    };
    for (int r = 0; r < runs; ++r) {
        // Alternating order: neither client always runs on the machine the other leaves.
        if (withCurl && r % 2 == 1) runCurl();
        runHubFetch();
        if (withCurl && r % 2 == 0) runCurl();
        if (withCurl) ratios.push_back(hubTimes.back() / curlTimes.back());
    }
    result.hubfetch.seconds = median(hubTimes);
    result.hubfetch.cpuSeconds = median(hubCpu);
    if (withCurl) {
        result.curl.seconds = median(curlTimes);
        result.curl.cpuSeconds = median(curlCpu);
        result.curlThenMd5sum = median(verifiedTimes);
        result.pairedRatio = median(ratios);
    }
    fs::remove_all(out);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    long megabytes = 50;
    int runs = 3;
    fs::path root = fs::temp_directory_path();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--mb=", 0) == 0) megabytes = std::stol(a.substr(5));
        else if (a.rfind("--runs=", 0) == 0) runs = std::stoi(a.substr(7));
        else if (a.rfind("--dir=", 0) == 0) root = a.substr(6);
        else {
            std::cerr << "usage: orbs_hubfetch_bench [--mb=50] [--runs=3] [--dir=PATH]\n";
            return 2;
        }
    }
    root /= "orbs_hubfetch_bench_" + std::to_string(std::random_device{}());
    fs::create_directories(root);

    double load[3] = {};
    ::getloadavg(load, 3);
    const Comparison big = compare(root, megabytes, runs, true);
    std::printf("8 products of %ld MB (%.0f MB in all), 4 at a time, median of %d runs; load average %.1f before\n",
                megabytes, big.bytes / 1e6, runs, load[0]);
    std::printf("| client | wall s | MB/s | CPU s | peak RSS MB | exit |\n|---|---|---|---|---|---|\n");
    std::printf("| HubFetch (search, download, MD5, sync, rename) | %.2f | %.0f | %.2f | %.1f | %d |\n",
                big.hubfetch.seconds, big.bytes / 1e6 / big.hubfetch.seconds, big.hubfetch.cpuSeconds,
                big.hubfetch.peakKiB / 1024.0, big.hubfetch.status);
    std::printf("| curl --parallel --parallel-max 4 | %.2f | %.0f | %.2f | %.1f | %d |\n", big.curl.seconds,
                big.bytes / 1e6 / big.curl.seconds, big.curl.cpuSeconds, big.curl.peakKiB / 1024.0, big.curl.status);
    std::printf("| curl --parallel, then md5sum of the files | %.2f | %.0f | | | |\n", big.curlThenMd5sum,
                big.bytes / 1e6 / big.curlThenMd5sum);
    std::printf("HubFetch / curl wall time: %.2fx (median of each run's ratio %.2fx); HubFetch / (curl + md5sum): "
                "%.2fx; CPU time %.2fx\n",
                big.hubfetch.seconds / big.curl.seconds, big.pairedRatio, big.hubfetch.seconds / big.curlThenMd5sum,
                big.hubfetch.cpuSeconds / big.curl.cpuSeconds);

    const std::string products = "8 products of " + std::to_string(megabytes) + " MB, 4 at a time";
    printResult("HubFetch", products, "HubFetch", big.hubfetch.seconds, "curl --parallel", big.curl.seconds,
                big.hubfetch.peakKiB / 1024.0, big.curl.peakKiB / 1024.0);
    printResult("HubFetch", products + ", verified", "HubFetch", big.hubfetch.seconds, "curl --parallel, then md5sum",
                big.curlThenMd5sum, big.hubfetch.peakKiB / 1024.0, big.curl.peakKiB / 1024.0);

    const long small = std::max(1L, megabytes / 10);
    const Comparison little = compare(root, small, 1, false);
    std::printf("peak RSS of HubFetch: %.1f MB with %ld MB products, %.1f MB with %ld MB products (ratio %.2f)\n",
                little.hubfetch.peakKiB / 1024.0, small, big.hubfetch.peakKiB / 1024.0, megabytes,
                static_cast<double>(big.hubfetch.peakKiB) / little.hubfetch.peakKiB);

    // MD5 of one archive: the code HubFetch verifies with, against md5sum.
    const fs::path file = root / "md5.bin";
    {
        std::ofstream out(file, std::ios::binary);
        std::mt19937_64 generator(1);
        std::vector<std::uint64_t> block(1 << 17);
        for (long written = 0; written < megabytes * 1000000; written += static_cast<long>(block.size() * 8)) {
            for (auto& v : block) v = generator();
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
        }
    }
    run("md5sum '" + file.string() + "' > /dev/null");  // page cache warm for both
    std::vector<double> ours, theirs;
    std::string ourHex, theirHex;
    for (int r = 0; r < 5; ++r) {
        auto start = Clock::now();
        NORBS_FETCH::CMd5 md5;
        NORBS_FETCH::hashFile(file.string(), md5);
        ourHex = md5.hex();
        ours.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        theirHex = run("md5sum '" + file.string() + "'").substr(0, 32);
        theirs.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    const double size = static_cast<double>(fs::file_size(file)) / 1e6;
    std::printf("MD5 of %.0f MB (median of 5): HubFetch %.0f MB/s, md5sum %.0f MB/s, ratio %.2f, digests %s\n", size,
                size / median(ours), size / median(theirs), median(theirs) / median(ours),
                ourHex == theirHex ? "equal" : "DIFFER");
    printResult("HubFetch", "MD5 of " + std::to_string(megabytes) + " MB", "MD5 of HubFetch", median(ours), "md5sum",
                median(theirs));
    fs::remove_all(root);
    return big.hubfetch.status == 0 && big.curl.status == 0 && ourHex == theirHex ? 0 : 1;
}
