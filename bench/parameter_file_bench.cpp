// Reading and writing large raster headers (parameter files), timed against
// expat alone tokenising the same documents in the same run, at several
// document sizes; then the peak memory of each operation, measured in fresh
// child processes so that one measurement cannot inherit another's peak.
//
// Usage: orbs_parameter_file_bench [--sizes=1,4,16] [--dir=PATH] [--skip-memory]
//                                  [--keep-files] [--benchmark_... flags]
// See bench/README.md for how to read the output.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "bench_result.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_utility_global_vars.h"

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Heap accounting.  Every C++ allocation of the process goes through these
// replacements (expat's own blocks come from malloc and show only in the
// resident figures); counting is switched on only inside a memory probe, so
// the timed runs pay one predictable branch per allocation.  Sizes are the
// usable sizes of the blocks, which is what they really occupy.
namespace {

bool gCountHeap = false;
long long gHeapLive = 0;  // relative to the start of the probe; frees of older blocks make it negative
long long gHeapPeak = 0;

void* countedAllocate(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    if (gCountHeap) {
        gHeapLive += static_cast<long long>(malloc_usable_size(block));
        gHeapPeak = std::max(gHeapPeak, gHeapLive);
    }
    return block;
}

void countedFree(void* block) noexcept {
    if (block == nullptr) return;
    if (gCountHeap) gHeapLive -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return countedAllocate(size); }
void* operator new[](std::size_t size) { return countedAllocate(size); }
void operator delete(void* block) noexcept { countedFree(block); }
void operator delete[](void* block) noexcept { countedFree(block); }
void operator delete(void* block, std::size_t) noexcept { countedFree(block); }
void operator delete[](void* block, std::size_t) noexcept { countedFree(block); }

namespace {

// ---------------------------------------------------------------------------
// The raster header set and the documents.

const std::vector<std::string> kHeaderSections = {
    "EnvisatDescriptionRecord", "EnvisatFixHeader", "user_defined_section", "CartographicSystem",
    "RegistrationCoordinates", "DEMCoordinates", "AcquisitionParameters", "ChannelInfo", "Sensor",
    "orbit_information", "sar_processing", "interferometric_processing", "PolarimetricCalibrationParameters",
    "RasterInfo", "InitialGeometry", "Processing", "StateVectorData", "OrbitCorrection", "Baseline",
    "GCPRasterInfo"};

// Per unit of scale: the 1x document is a little over 5 MB.
constexpr int kOtherInfoRowsPerUnit = 20000;
constexpr int kVectorElementsPerUnit = 2000;

// The core state the parameter-file code expects: globals initialised,
// raises thrown instead of ending the process, a silent trace.
void initCore() {
    NorvikCore::init();
    NorvikCore::set_is_exit_enable_flag(false);
    NorvikCore::set_trace_level(0);
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    fdfSetEnv(ORBS_SCHEMA_DIR, "ORBISCAN_XML_SCHEMA_DES_FILES_DIR");
}

// A raster header set with every section of a real raster header, all
// fields unset, shaped from the header schema.
std::unique_ptr<CSectionDataGroup> newHeaderSet(const CSectionDataGroupDescription& description) {
    auto set = std::make_unique<CSectionDataGroup>();
    if (set->init(&description, kHeaderSections) != 1) {
        std::fprintf(stderr, "the header sections are not all described\n");
        std::exit(2);
    }
    return set;
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// Values of a large header: a key/value list of `scale` x 20000 rows and
// long vectors of each data type.  The texts mix plain words, dates,
// numbers, characters that must be escaped and a byte above 0x7F, so that
// every path of the pre-processing and decoding is taken.
void fillHeaderSet(CSectionDataGroup& set, int scale) {
    set["CartographicSystem.State"].setValue(std::string("GEO-GLOBAL"));
    set["CartographicSystem.Hemisphere"].setValue(std::string("NORTH"));
    set["RegistrationCoordinates.LatNorthing"].setValue(45.123456789012345);
    set["RegistrationCoordinates.LonEasting"].setValue(7.987654321098765);
    set["RegistrationCoordinates.PixelSpacingLatNorth"].setValue(-0.000138888888888889);
    set["RegistrationCoordinates.PixelSpacingLonEast"].setValue(0.000138888888888889);
    for (const char* name : {"pixel_row", "pixel_column", "pixels_latitude", "pixels_longitude"}) {
        CSectionField& corners = set[std::string("RegistrationCoordinates.") + name];
        corners.setDimension(1, 4);
        for (int i = 0; i < 4; ++i) corners.setValue(i, 100.25 * i + 0.5);
    }
    CSectionField& numerator = set["AcquisitionParameters.LINE_NUM_COEFF"];
    numerator.setDimension(1, 20);
    for (int i = 0; i < 20; ++i) numerator.setValue(i, std::pow(-0.37, i));
    set["AcquisitionParameters.AcquisitionTime"].setValue(std::string("2021-03-04 05:06:07.123456"));
    CSectionField& description = set["ChannelInfo.Description"];
    description.setDimension(1, 2);
    description.setValue(0, std::string("VV"));
    description.setValue(1, std::string("VH"));
    set["ChannelInfo.IncidenceAngle"].setValue(37.25);
    set["Sensor.SensorName"].setValue(std::string("SENTINEL-1A"));

    set["RasterInfo.NrOfLinesPerImage"].setValue(16384 * scale);
    set["RasterInfo.NrOfPixelsPerLine"].setValue(25000);
    set["RasterInfo.NrOfChannels"].setValue(2);
    set["RasterInfo.CellType"].setValue(std::string("SHORT_COMPLEX"));
    set["RasterInfo.DataUnits"].setValue(std::string("SLC"));
    set["RasterInfo.NullCellValue"].setValue(std::nan(""));

    const int elements = kVectorElementsPerUnit * scale;
    CSectionField& bands = set["RasterInfo.BandName"];
    bands.setDimension(1, elements);
    for (int i = 0; i < elements; ++i) bands.setValue(i, format("Band %06d <VV> & \"VH\"", i));
    for (const char* name : {"TiffLUTRed", "TiffLUTGreen", "TiffLUTBlue"}) {
        CSectionField& lut = set[std::string("RasterInfo.") + name];
        lut.setDimension(1, elements);
        for (int i = 0; i < elements; ++i) lut.setValue(i, (i * 37) % 65536 - 1000);
    }
    CSectionField& doppler = set["Processing.DopCenRangeCoeff"];
    doppler.setDimension(1, elements);
    for (int i = 0; i < elements; ++i) doppler.setValue(i, 1.0 / (i + 3.0) - 1e-7 * i);

    const int rows = kOtherInfoRowsPerUnit * scale;
    CSectionField& otherInfo = set["RasterInfo.OtherInfo"];
    otherInfo.setDimension(rows, 2);
    for (int r = 0; r < rows; ++r) {
        otherInfo.setValue(r, 0, format("PARAMETER_%06d", r));
        switch (r % 4) {
        case 0: otherInfo.setValue(r, 1, format("2021-03-04T05:06:%02d.%06d", r % 60, r)); break;
        case 1: otherInfo.setValue(r, 1, format("orbit %d: <ascending> & 'precise' \"%d\"", r, r * 7)); break;
        case 2: otherInfo.setValue(r, 1, format("%.17g", r * 0.001234567)); break;
        default: otherInfo.setValue(r, 1, format("free text of row %d, range window 12 \xB5s", r)); break;
        }
    }
}

// Empty when both sets hold the same values, else the first difference.
std::string compareSets(const CSectionDataGroup& a, const CSectionDataGroup& b) {
    for (int s = 0; s < a.getSectionsNbr(); ++s) {
        const CSectionData& sa = *a.getSection(s);
        const CSectionData& sb = *b.getSection(s);
        for (int f = 0; f < sa.getFieldsNbr(); ++f) {
            const CSectionField& fa = *sa.getField(f);
            const CSectionField& fb = *sb.getField(f);
            const std::string where = sa.getName() + "." + fa.getName();
            if (fa.getShape() == CORBS_DS_MULTIPLE) continue;  // none is set here
            if (fa.hasTables() != fb.hasTables() || fa.getRowNbr() != fb.getRowNbr() ||
                fa.getColNbr() != fb.getColNbr()) {
                return where + ": dimensions";
            }
            if (!fa.hasTables()) continue;
            for (int r = 0; r < fa.getRowNbr(); ++r) {
                for (int c = 0; c < fa.getColNbr(); ++c) {
                    if (fa.isElementSet(r, c) != fb.isElementSet(r, c)) return where + ": set flags";
                    if (!fa.isElementSet(r, c)) continue;
                    bool same = true;
                    switch (fa.getDataTypeId()) {
                    case CORBS_DS_INTEGER: same = fa.getInteger(r, c) == fb.getInteger(r, c); break;
                    case CORBS_DS_DOUBLE: {
                        const double va = fa.getDouble(r, c);
                        const double vb = fb.getDouble(r, c);
                        same = va == vb || (std::isnan(va) && std::isnan(vb));
                        break;
                    }
                    default: same = fa.getString(r, c) == fb.getString(r, c); break;
                    }
                    if (!same) return where + format(": value (%d, %d)", r, c);
                }
            }
        }
    }
    return {};
}

// ---------------------------------------------------------------------------
// The baseline: expat alone, fed the file in large blocks.  It is created
// for ISO-8859-1 like the parameter-file tokeniser, so that both accept the
// same bytes.

struct TagCounts {
    std::size_t starts = 0;
    std::size_t ends = 0;
    std::size_t textBytes = 0;
};

void XMLCALL countStart(void* data, const XML_Char*, const XML_Char**) { ++static_cast<TagCounts*>(data)->starts; }
void XMLCALL countEnd(void* data, const XML_Char*) { ++static_cast<TagCounts*>(data)->ends; }
void XMLCALL countText(void* data, const XML_Char*, int length) {
    static_cast<TagCounts*>(data)->textBytes += static_cast<std::size_t>(length);
}

enum class ExpatHandlers {
    None,       // expat-empty: no handler at all
    Tags,       // expat: start and end handlers counting tags (the baseline)
    TagsText,   // expat-text: also a character-data handler, so that expat delivers the texts
};

// The number of start tags (0 without handlers); -1 on a parse error.
long long expatTokenise(const std::string& path, ExpatHandlers handlers = ExpatHandlers::Tags) {
    constexpr int kBlock = 1 << 16;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return -1;
    XML_Parser parser = XML_ParserCreate("ISO-8859-1");
    TagCounts counts;
    XML_SetUserData(parser, &counts);
    if (handlers != ExpatHandlers::None) XML_SetElementHandler(parser, countStart, countEnd);
    if (handlers == ExpatHandlers::TagsText) XML_SetCharacterDataHandler(parser, countText);
    bool ok = true;
    for (bool last = false; ok && !last;) {
        void* buffer = XML_GetBuffer(parser, kBlock);
        const std::size_t length = std::fread(buffer, 1, kBlock, file);
        last = length < static_cast<std::size_t>(kBlock);
        ok = XML_ParseBuffer(parser, static_cast<int>(length), last) == XML_STATUS_OK;
    }
    XML_ParserFree(parser);
    std::fclose(file);
    return ok ? static_cast<long long>(counts.starts) : -1;
}

// ---------------------------------------------------------------------------
// Memory probes: one operation in a fresh process.

struct ProcMemory {
    long long vmPeak = 0, vmSize = 0, vmHwm = 0, vmRss = 0;  // bytes
};

ProcMemory readProcMemory() {
    ProcMemory memory;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        long long kb = 0;
        if (std::sscanf(line.c_str(), "VmPeak: %lld", &kb) == 1) memory.vmPeak = kb * 1024;
        if (std::sscanf(line.c_str(), "VmSize: %lld", &kb) == 1) memory.vmSize = kb * 1024;
        if (std::sscanf(line.c_str(), "VmHWM: %lld", &kb) == 1) memory.vmHwm = kb * 1024;
        if (std::sscanf(line.c_str(), "VmRSS: %lld", &kb) == 1) memory.vmRss = kb * 1024;
    }
    return memory;
}

// Runs `operation` on `document` and prints one line:
//   PROBE <peak RSS growth> <peak heap growth> <peak virtual growth> <extra> <extra2>
// Growths are in bytes, from the state just before the operation (after the
// set to write has been filled).  The extras depend on the operation.
int runProbe(const std::string& operation, const std::string& document, const std::string& schema, int scale) {
    initCore();
    CSectionDataGroupDescription description;
    if (description.init(schema, "HEADER_INFO") != 1) return 2;
    std::unique_ptr<CSectionDataGroup> set = newHeaderSet(description);
    const std::string output = document + ".probe_out.sml";
    if (operation == "write") fillHeaderSet(*set, scale);

    long long extra = 0;
    long long extra2 = 0;
    const ProcMemory before = readProcMemory();
    gHeapLive = 0;
    gHeapPeak = 0;
    gCountHeap = true;
    if (operation == "expat") {
        extra = expatTokenise(document);
    } else if (operation == "tokenise") {
        const std::unique_ptr<CXmlTagList> tags = forbs_xml_parser(document);
        extra = tags ? tags->getTagsNbr() : -1;
        extra2 = tags ? tags->getCapacity() : -1;
    } else if (operation == "read") {
        extra = set->readXML(document, true);
    } else if (operation == "write") {
        extra = set->writeXML(output, true, true);
    } else {
        return 2;
    }
    gCountHeap = false;
    const ProcMemory after = readProcMemory();
    std::error_code ignored;
    fs::remove(output, ignored);
    std::printf("PROBE %lld %lld %lld %lld %lld\n", after.vmHwm - before.vmRss, gHeapPeak,
                after.vmPeak - before.vmSize, extra, extra2);
    return 0;
}

struct ProbeResult {
    long long rssGrowth = -1, heapPeak = -1, vmGrowth = -1, extra = -1, extra2 = -1;
};

ProbeResult probe(const std::string& operation, const std::string& document, const std::string& schema,
                  int scale) {
    const std::string command = "'/proc/" + std::to_string(getpid()) + "/exe' --memory-probe " + operation +
                                " '" + document + "' '" + schema + "' " + std::to_string(scale);
    ProbeResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::sscanf(line, "PROBE %lld %lld %lld %lld %lld", &result.rssGrowth, &result.heapPeak, &result.vmGrowth,
                    &result.extra, &result.extra2);
    }
    pclose(pipe);
    return result;
}

// ---------------------------------------------------------------------------
// Timed operations and the summary.

struct Document {
    int scale = 0;
    std::string path;        // the header read by the benchmarks
    std::string outputPath;  // where the write benchmark writes
    std::uintmax_t bytes = 0;
    std::unique_ptr<CSectionDataGroup> filled;  // the values of the document
    std::unique_ptr<CSectionDataGroup> target;  // read into by the read benchmark
};

const char* const kOperations[] = {"expat", "expat-empty", "expat-text", "tokenise", "read", "write"};

std::string benchmarkName(const char* operation, int scale) { return std::string(operation) + "/" + std::to_string(scale) + "x"; }

long long minorPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Times `operation` on one document.  Besides the time, the throughput and
// the minor page faults per MB of document are reported: memory freshly
// mapped by the allocator costs one fault per page touched, which shows
// where time per MB grows with the document although the work per MB does
// not.
template <typename Operation>
void timeOperation(benchmark::State& state, const Document& document, Operation operation) {
    const long long faultsBefore = minorPageFaults();
    for (auto _ : state) benchmark::DoNotOptimize(operation());
    const auto bytes = static_cast<int64_t>(document.bytes);
    state.SetBytesProcessed(bytes * state.iterations());
    state.counters["faults/MB"] = benchmark::Counter(
        static_cast<double>(minorPageFaults() - faultsBefore) / (static_cast<double>(bytes) / 1e6),
        benchmark::Counter::kAvgIterations);
}

void registerBenchmarks(std::vector<Document>& documents) {
    for (Document& document : documents) {
        const Document* doc = &document;
        const auto add = [doc](const char* operation, auto body) {
            benchmark::RegisterBenchmark(benchmarkName(operation, doc->scale).c_str(),
                                         [doc, body](benchmark::State& state) { timeOperation(state, *doc, body); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        };
        add("expat", [doc] { return expatTokenise(doc->path, ExpatHandlers::Tags); });
        add("expat-empty", [doc] { return expatTokenise(doc->path, ExpatHandlers::None); });
        add("expat-text", [doc] { return expatTokenise(doc->path, ExpatHandlers::TagsText); });
        add("tokenise", [doc] { return forbs_xml_parser(doc->path) != nullptr; });
        add("read", [doc] { return doc->target->readXML(doc->path, true); });
        add("write", [doc] { return doc->filled->writeXML(doc->outputPath, true, true); });
    }
}

// Console output as usual, and the median wall time of every benchmark
// kept for the summary (the single run when there are no repetitions).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            const double ms = run.GetAdjustedRealTime();  // every benchmark is in milliseconds
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") mMedians[name] = ms;
            } else {
                mSingles[name] = ms;
            }
        }
    }
    double milliseconds(const std::string& name) const {
        if (auto it = mMedians.find(name); it != mMedians.end()) return it->second;
        if (auto it = mSingles.find(name); it != mSingles.end()) return it->second;
        return std::nan("");
    }

private:
    std::map<std::string, double> mMedians;
    std::map<std::string, double> mSingles;
};

void printTimeSummary(const SummaryReporter& reporter, const std::vector<Document>& documents) {
    std::printf("\n=== Time: ratios to expat (median wall time; expat = expat with tag-counting handlers) ===\n");
    std::printf("%-5s %9s %10s %12s %11s %15s %11s %12s\n", "size", "MB", "expat ms", "expat-empty", "expat-text",
                "tokenise/expat", "read/expat", "write/expat");
    for (const Document& d : documents) {
        const double expat = reporter.milliseconds(benchmarkName("expat", d.scale));
        const auto ratio = [&](const char* op) { return reporter.milliseconds(benchmarkName(op, d.scale)) / expat; };
        std::printf("%-5s %9.2f %10.2f %11.2fx %10.2fx %14.2fx %10.2fx %11.2fx\n",
                    (std::to_string(d.scale) + "x").c_str(), d.bytes / 1e6, expat, ratio("expat-empty"),
                    ratio("expat-text"), ratio("tokenise"), ratio("read"), ratio("write"));
    }

    std::printf("\n=== Time per MB (ms/MB) and linearity (ms/MB at Nx / ms/MB at the smallest size) ===\n");
    std::printf("%-12s", "operation");
    for (const Document& d : documents) std::printf(" %10s", (std::to_string(d.scale) + "x ms/MB").c_str());
    for (std::size_t i = 1; i < documents.size(); ++i)
        std::printf(" %10s", (std::to_string(documents[i].scale) + "x/" + std::to_string(documents[0].scale) + "x").c_str());
    std::printf("\n");
    for (const char* op : kOperations) {
        std::printf("%-12s", op);
        std::vector<double> perMb;
        for (const Document& d : documents) {
            perMb.push_back(reporter.milliseconds(benchmarkName(op, d.scale)) / (d.bytes / 1e6));
            std::printf(" %10.3f", perMb.back());
        }
        for (std::size_t i = 1; i < perMb.size(); ++i) std::printf(" %10.2f", perMb[i] / perMb[0]);
        std::printf("\n");
    }
}

// Peak resident growth in MB of each operation, by scale and operation.
using PeakGrowth = std::map<std::pair<int, std::string>, double>;

PeakGrowth printMemorySummary(const std::vector<Document>& documents, const std::string& schema,
                              const std::string& tiny) {
    PeakGrowth growth;
    std::printf("\n=== Peak memory growth per byte of document (each operation alone in a fresh process) ===\n");
    std::printf("RSS = peak resident growth; heap = peak of live C++ heap; virtual = peak address-space growth\n");
    std::printf("%-5s %-9s %12s %10s %10s %10s %14s\n", "size", "operation", "document B", "RSS/B", "heap/B",
                "virtual/B", "RSS growth MB");
    for (const Document& d : documents) {
        for (const char* op : {"expat", "tokenise", "read", "write"}) {
            const ProbeResult r = probe(op, d.path, schema, d.scale);
            const double bytes = static_cast<double>(d.bytes);
            std::printf("%-5s %-9s %12ju %10.2f %10.2f %10.2f %14.1f\n", (std::to_string(d.scale) + "x").c_str(), op,
                        d.bytes, r.rssGrowth / bytes, r.heapPeak / bytes, r.vmGrowth / bytes, r.rssGrowth / 1e6);
            growth[{d.scale, op}] = r.rssGrowth / 1e6;
        }
    }

    const std::uintmax_t tinyBytes = fs::file_size(tiny);
    const ProbeResult r = probe("tokenise", tiny, schema, 0);
    const double upFront = static_cast<double>(CORBS_XML_TAG_CAPACITY) * sizeof(CXmlTag);
    std::printf("\n=== Tiny document (%ju bytes) tokenised with the default start capacity ===\n", tinyBytes);
    std::printf("tags: %lld, logical capacity: %lld (10 000 000 tags of %zu bytes would be %.0f MB)\n", r.extra,
                r.extra2, sizeof(CXmlTag), upFront / 1e6);
    std::printf("peak C++ heap growth: %lld bytes; peak RSS growth: %lld bytes; peak virtual growth: %lld bytes\n",
                r.heapPeak, r.rssGrowth, r.vmGrowth);
    std::printf("heap growth / would-be up-front array: %.2e\n", r.heapPeak / upFront);
    return growth;
}

// The figures for bench/run_all.sh: each operation against expat on the
// same document, with the peak resident growth of each.
void printResults(const SummaryReporter& reporter, const std::vector<Document>& documents, const PeakGrowth& growth) {
    const auto peak = [&growth](int scale, const std::string& op) {
        const auto found = growth.find({scale, op});
        return found != growth.end() ? found->second : NAN;
    };
    for (const Document& d : documents) {
        const double expat = reporter.milliseconds(benchmarkName("expat", d.scale)) / 1000;
        for (const char* op : {"tokenise", "read", "write"}) {
            char measure[64];
            std::snprintf(measure, sizeof measure, "%s a %.1f MB header", op, d.bytes / 1e6);
            printResult("parameter files", measure, op, reporter.milliseconds(benchmarkName(op, d.scale)) / 1000,
                        "expat", expat, peak(d.scale, op), peak(d.scale, "expat"));
        }
    }
}

std::string defaultDirectory() {
    if (const char* dir = std::getenv("ORBS_BENCH_DIR")) return dir;
    // Memory-backed storage keeps device flushes out of the write timings.
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return fs::temp_directory_path().string();
}

std::vector<int> parseSizes(const std::string& text) {
    std::vector<int> sizes;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        const int scale = std::atoi(item.c_str());
        if (scale > 0) sizes.push_back(scale);
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--memory-probe") == 0) {
        return runProbe(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    }

    // Own options are taken out; defaults for the benchmark library come
    // first so that the command line can override them.
    std::vector<int> sizes = {1, 4, 16};
    std::string directory = defaultDirectory();
    bool memory = true;
    bool keep = false;
    std::vector<std::string> benchmarkArgs = {argv[0], "--benchmark_repetitions=5",
                                              "--benchmark_report_aggregates_only=true"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--sizes=", 0) == 0) sizes = parseSizes(arg.substr(8));
        else if (arg.rfind("--dir=", 0) == 0) directory = arg.substr(6);
        else if (arg == "--skip-memory") memory = false;
        else if (arg == "--keep-files") keep = true;
        else benchmarkArgs.push_back(arg);
    }
    if (sizes.empty()) {
        std::fprintf(stderr, "no valid size in --sizes\n");
        return 2;
    }
    std::vector<char*> benchmarkArgv;
    for (std::string& arg : benchmarkArgs) benchmarkArgv.push_back(arg.data());
    int benchmarkArgc = static_cast<int>(benchmarkArgv.size());
    benchmark::Initialize(&benchmarkArgc, benchmarkArgv.data());
    if (benchmark::ReportUnrecognizedArguments(benchmarkArgc, benchmarkArgv.data())) return 2;

    const fs::path work = fs::path(directory) / ("orbs_parameter_file_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    std::printf("documents in %s\n", work.c_str());

    initCore();
    const std::string schema = (work / "HEADER_INFO.xsd").string();
    prepareSchema("HEADER_INFO", schema);
    CSectionDataGroupDescription description;
    if (description.init(schema, "HEADER_INFO") != 1) {
        std::fprintf(stderr, "cannot read the header schema from %s\n", ORBS_SCHEMA_DIR);
        return 2;
    }

    // The documents: each written by the code under test, read back and
    // compared, and tokenised by expat to the same number of tags.
    std::vector<Document> documents(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        Document& d = documents[i];
        d.scale = sizes[i];
        d.path = (work / ("header_" + std::to_string(d.scale) + "x.sml")).string();
        d.outputPath = (work / ("written_" + std::to_string(d.scale) + "x.sml")).string();
        d.filled = newHeaderSet(description);
        fillHeaderSet(*d.filled, d.scale);
        if (d.filled->writeXML(d.path, true, true) != 1) return 1;
        d.bytes = fs::file_size(d.path);
        d.target = newHeaderSet(description);
        if (d.target->readXML(d.path, true) != 1) return 1;
        const std::string difference = compareSets(*d.filled, *d.target);
        if (!difference.empty()) {
            std::fprintf(stderr, "%s does not read back: %s\n", d.path.c_str(), difference.c_str());
            return 1;
        }
        const long long expatTags = expatTokenise(d.path);
        const std::unique_ptr<CXmlTagList> tags = forbs_xml_parser(d.path);
        if (!tags || expatTags != tags->getTagsNbr()) {
            std::fprintf(stderr, "%s: expat and the tokeniser disagree on the tag count\n", d.path.c_str());
            return 1;
        }
        std::printf("%dx: %ju bytes, %lld tags, read back identical\n", d.scale, d.bytes, expatTags);
    }
    std::fflush(stdout);

    registerBenchmarks(documents);
    // Colours only on a terminal, as the library's own reporter does.
    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTimeSummary(reporter, documents);

    PeakGrowth growth;
    if (memory) {
        // Release the large sets first so that the probes do not compete
        // with this process for memory.
        for (Document& d : documents) {
            d.filled.reset();
            d.target.reset();
        }
        const std::string tiny = (work / "tiny.sml").string();
        std::ofstream(tiny, std::ios::binary)
            << "<?xml version=\"1.0\" ?>\n<HEADER_INFO>\n   <RasterInfo>\n"
               "      <NrOfLinesPerImage>100</NrOfLinesPerImage>\n"
               "      <NrOfPixelsPerLine>200</NrOfPixelsPerLine>\n"
               "      <CellType>FLOAT</CellType>\n   </RasterInfo>\n</HEADER_INFO>\n";
        growth = printMemorySummary(documents, schema, tiny);
    }
    printResults(reporter, documents, growth);
    std::fflush(stdout);

    if (keep) {
        std::printf("documents kept in %s\n", work.c_str());
    } else {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
    benchmark::Shutdown();
    return 0;
}
