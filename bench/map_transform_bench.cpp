// Transforming large point arrays through CMapTransform, timed against
// PROJ's C API run directly on the same arrays in the same run:
//   utm:        UTM zone 33N to geographic degrees and back;
//   geocentric: geographic degrees to geocentric, the seven-parameter shift
//               to DHDN, and back to geographic degrees.
// Then the time per point at each size (linearity) and the peak memory each
// operation adds.
//
// Usage: orbs_map_transform_bench [--points=125000,250000,500000,1000000]
//                                 [--benchmark_... flags]
// See bench/README.md for how to read the output.
#include <benchmark/benchmark.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_result.h"
#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_transform_utility.h"
#include "orbs_utility_global_vars.h"

namespace {

// ---------------------------------------------------------------------------
// The points and the systems.

struct Arrays {
    std::vector<double> x, y, z;
};

// Geographic degrees over the extent of UTM zone 33 north, heights in
// metres; a fixed pseudo-random sequence.
Arrays geographicPoints(std::size_t count) {
    Arrays a;
    unsigned long long state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / static_cast<double>(1ULL << 53);
    };
    for (std::size_t i = 0; i < count; ++i) {
        a.x.push_back(12.0 + 6.0 * next());
        a.y.push_back(80.0 * next());
        a.z.push_back(-100.0 + 4000.0 * next());
    }
    return a;
}

struct Systems {
    YDF_MAP geographic, utm, dhdn;
    PJ_CONTEXT* context = nullptr;
    PJ* utmPipeline = nullptr;         // UTM 33N to degrees (inverse: back)
    PJ* geocentricPipeline = nullptr;  // degrees, geocentric, shift to DHDN, degrees

    Systems() {
        geographic.init("GEO-GLOBAL", "", "", "", "", "");
        utm.init("UTM-GLOBAL", "NORTH", "", "33", "", "");
        dhdn.init("CARTESIAN-GLOBAL", "", "", "", "", "DHDN");
        context = proj_context_create();
        utmPipeline = create(
            "+proj=pipeline +step +inv +proj=utm +zone=33 +ellps=WGS84 +step +proj=unitconvert +xy_in=rad +xy_out=deg");
        // The shift as the map file gives it (position vector, from DHDN to
        // WGS 84), applied in reverse like CMapTransform does.
        const auto& d = dhdn.mDsp;
        const std::string helmert = fdfFormat(
            "+proj=helmert +x=%.17g +y=%.17g +z=%.17g +rx=%.17g +ry=%.17g +rz=%.17g +s=%.17g "
            "+convention=position_vector",
            d[0], d[1], d[2], d[3], d[4], d[5], d[6]);
        geocentricPipeline = create("+proj=pipeline +step +proj=unitconvert +xy_in=deg +xy_out=rad +step +proj=cart "
                                    "+ellps=WGS84 +step +inv " + helmert +
                                    " +step +inv +proj=cart +ellps=WGS84 +step +proj=unitconvert +xy_in=rad +xy_out=deg");
    }
    ~Systems() {
        proj_destroy(utmPipeline);
        proj_destroy(geocentricPipeline);
        proj_context_destroy(context);
    }
    PJ* create(const std::string& definition) {
        PJ* object = proj_create(context, definition.c_str());
        if (object == nullptr) {
            std::fprintf(stderr, "PROJ refuses %s\n", definition.c_str());
            std::exit(1);
        }
        return object;
    }
};

Systems* gSystems = nullptr;
std::map<std::size_t, Arrays> gGeographic;  // input of each size
std::map<std::size_t, Arrays> gUtm;         // the same points in UTM 33N

void projTrans(PJ* object, PJ_DIRECTION direction, Arrays& a) {
    const std::size_t n = a.x.size();
    proj_trans_generic(object, direction, a.x.data(), sizeof(double), n, a.y.data(), sizeof(double), n, a.z.data(),
                       sizeof(double), n, nullptr, 0, 0);
}

void transform(const YDF_MAP& from, const YDF_MAP& to, Arrays& a) {
    CMapTransform t;
    t.setInput(from);
    t.setOutput(to);
    t.transform(a.x.data(), a.y.data(), a.z.data(), a.x.data(), a.y.data(), a.z.data(), a.x.size());
}

// The four operations, each in place on its arrays.
void oursUtm(Arrays& a) {
    transform(gSystems->utm, gSystems->geographic, a);
    transform(gSystems->geographic, gSystems->utm, a);
}
void projUtm(Arrays& a) {
    projTrans(gSystems->utmPipeline, PJ_FWD, a);
    projTrans(gSystems->utmPipeline, PJ_INV, a);
}
void oursGeocentric(Arrays& a) {
    transform(gSystems->geographic, gSystems->dhdn, a);
    transform(gSystems->dhdn, gSystems->geographic, a);
}
void projGeocentric(Arrays& a) { projTrans(gSystems->geocentricPipeline, PJ_FWD, a); }

struct Operation {
    const char* name;
    void (*run)(Arrays&);
    bool fromUtm;
};
const Operation kOperations[] = {
    {"utm/ours", oursUtm, true},
    {"utm/proj", projUtm, true},
    {"geocentric/ours", oursGeocentric, false},
    {"geocentric/proj", projGeocentric, false},
};

// ---------------------------------------------------------------------------
// Timing.  Each iteration copies the input into the working arrays (the same
// cost for both peers) and transforms them.

void timeOperation(benchmark::State& state, const Operation* operation) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    const Arrays& input = operation->fromUtm ? gUtm.at(count) : gGeographic.at(count);
    Arrays work = input;
    for (auto _ : state) {
        std::memcpy(work.x.data(), input.x.data(), count * sizeof(double));
        std::memcpy(work.y.data(), input.y.data(), count * sizeof(double));
        std::memcpy(work.z.data(), input.z.data(), count * sizeof(double));
        operation->run(work);
        benchmark::DoNotOptimize(work.x.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

// Collects the median CPU time of each benchmark for the summary tables.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Iteration && run.repetitions <= 1) {
                medians[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedCPUTime();
            }
        }
    }
    std::map<std::string, double> medians;  // in the reporter's time unit
};

// ---------------------------------------------------------------------------
// Memory: the peak resident memory an operation adds over what its arrays
// already hold, with the high-water mark reset before it (clear_refs 5).

long long statusKilobytes(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::strlen(key));
    }
    return -1;
}

long long peakGrowthKilobytes(const Operation& operation, std::size_t count) {
    Arrays work = operation.fromUtm ? gUtm.at(count) : gGeographic.at(count);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long long before = statusKilobytes("VmRSS:");
    operation.run(work);
    return statusKilobytes("VmHWM:") - before;
}

double maxDifference(const Arrays& a, const Arrays& b) {
    double worst = 0.0;
    for (std::size_t i = 0; i < a.x.size(); ++i) {
        worst = std::max({worst, std::fabs(a.x[i] - b.x[i]), std::fabs(a.y[i] - b.y[i]), std::fabs(a.z[i] - b.z[i])});
    }
    return worst;
}

std::vector<std::size_t> parseSizes(int& argc, char** argv) {
    std::vector<std::size_t> sizes = {125000, 250000, 500000, 1000000};
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--points=", 9) != 0) continue;
        sizes.clear();
        std::stringstream list(argv[i] + 9);
        for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::stoul(item));
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        break;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::size_t> sizes = parseSizes(argc, argv);
    NorvikCore::init();
    NorvikCore::set_trace_level(0);
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    fdfSetEnv(ORBS_MAP_FILES_DIR, "ORBISCAN_MAP_FILES_DIR");
    Systems systems;
    gSystems = &systems;
    for (std::size_t count : sizes) {
        gGeographic[count] = geographicPoints(count);
        Arrays utm = gGeographic[count];
        transform(systems.geographic, systems.utm, utm);
        gUtm[count] = utm;
    }

    // Both peers must compute the same thing before their times compare.
    const std::size_t largest = sizes.back();
    std::printf("=== Agreement at %zu points (largest difference) ===\n", largest);
    for (std::size_t k = 0; k < std::size(kOperations); k += 2) {
        Arrays ours = kOperations[k].fromUtm ? gUtm.at(largest) : gGeographic.at(largest);
        Arrays peer = ours;
        kOperations[k].run(ours);
        kOperations[k + 1].run(peer);
        std::string label = kOperations[k].name;
        label.resize(label.find('/'));
        std::printf("%-12s %.3g (%s)\n", label.c_str(), maxDifference(ours, peer),
                    kOperations[k].fromUtm ? "metres" : "degrees and metres");
    }

    for (const Operation& operation : kOperations) {
        auto* bench = benchmark::RegisterBenchmark(operation.name, timeOperation, &operation);
        for (std::size_t count : sizes) bench->Arg(static_cast<int64_t>(count));
        // CPU time: the machine is shared, and each operation is one thread.
        bench->Unit(benchmark::kMillisecond);
    }
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    arguments.insert(arguments.begin() + 1, {repetitions.data(), aggregates.data()});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    std::printf("\n=== CPU time: ours / PROJ (median, same run) ===\n%-10s %12s %12s\n", "points", "utm", "geocentric");
    for (std::size_t n : sizes) {
        const std::string arg = "/" + std::to_string(n);
        auto ratio = [&](const char* ours, const char* proj) {
            const auto a = collector.medians.find(ours + arg);
            const auto b = collector.medians.find(proj + arg);
            return a != collector.medians.end() && b != collector.medians.end() ? a->second / b->second : NAN;
        };
        std::printf("%-10zu %12.3f %12.3f\n", n, ratio("utm/ours", "utm/proj"),
                    ratio("geocentric/ours", "geocentric/proj"));
    }
    std::printf("\n=== Time per point (ns), and its ratio to the smallest size ===\n");
    for (const Operation& operation : kOperations) {
        std::printf("%-16s", operation.name);
        const auto first = collector.medians.find(std::string(operation.name) + "/" + std::to_string(sizes.front()));
        for (std::size_t n : sizes) {
            const auto run = collector.medians.find(std::string(operation.name) + "/" + std::to_string(n));
            if (run == collector.medians.end() || first == collector.medians.end()) continue;
            const double perPoint = run->second * 1e6 / static_cast<double>(n);
            const double firstPerPoint = first->second * 1e6 / static_cast<double>(sizes.front());
            std::printf("  %zu: %.1f (%.2f)", n, perPoint, perPoint / firstPerPoint);
        }
        std::printf("\n");
    }
    std::printf("\n=== Peak resident memory added by one operation on %zu points (arrays: %zu KiB) ===\n", largest,
                largest * 3 * sizeof(double) / 1024);
    std::map<std::string, double> growth;
    for (const Operation& operation : kOperations) {
        const long long kilobytes = peakGrowthKilobytes(operation, largest);
        std::printf("%-16s %lld KiB\n", operation.name, kilobytes);
        growth[operation.name] = kilobytes / 1024.0;
    }
    // The figures for bench/run_all.sh (peaks at the largest size only).
    for (std::size_t n : sizes) {
        for (const char* path : {"utm", "geocentric"}) {
            const std::string ours = std::string(path) + "/ours", proj = std::string(path) + "/proj";
            const auto time = [&](const std::string& name) {
                const auto found = collector.medians.find(name + "/" + std::to_string(n));
                return found != collector.medians.end() ? found->second / 1000 : NAN;
            };
            const auto peak = [&](const std::string& name) { return n == largest ? growth[name] : NAN; };
            printResult("map transforms", std::string(path) + ", " + std::to_string(n) + " points", "CMapTransform",
                        time(ours), "PROJ", time(proj), peak(ours), peak(proj));
        }
    }
    benchmark::Shutdown();
    return 0;
}
