// Error catalogue: loading "orbs_errors_catalog.des" and turning codes into
// texts.
#include <algorithm>
#include <cstdlib>

#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr std::size_t kMaxSecondaryLen = 1025;
constexpr const char* kInitText = "AN ERROR OCCUR DURING Orbiscan INIT";
constexpr const char* kWrongCodeText = "GENERIC ERROR WRONG CODE";

// First token of a line; separators are blank, newline, tab and comma.
std::string firstToken(const std::string& line) {
    const std::size_t begin = line.find_first_not_of(" \n\t,");
    if (begin == std::string::npos) return {};
    const std::size_t end = line.find_first_of(" \n\t,", begin);
    return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The text between "[" and "]" of a section line, or none.
std::optional<std::string> sectionName(const std::string& line) {
    const std::size_t open = line.find('[');
    if (open == std::string::npos) return std::nullopt;
    const std::size_t close = line.find(']', open + 1);
    return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

}  // namespace

namespace NORBS_ERROR_MANAGER {

int loadErrorCatalogue(CErrorCatalogue& catalogue, const std::string& path, bool trim) {
    catalogue = CErrorCatalogue{};
    const std::optional<std::vector<std::string>> read = fdfReadTextLines(path, trim, '#');
    if (!read) return 0;
    const std::vector<std::string>& lines = *read;
    const int lineCount = static_cast<int>(lines.size());
    if (lineCount == 0) return 1;

    const long announced = std::strtol(lines[0].c_str(), nullptr, 10);
    if (announced <= 0) return 1;
    const int n = static_cast<int>(std::min<long>(announced, 1000000));

    // A catalogue shorter than it announces keeps only the codes whose
    // primary description is present; the others read as unknown codes.
    int available = std::clamp(lineCount - n - 3, 0, n);
    if (available < n)
        traceInfo("Error catalogue %s announces %d codes but describes only %d\n", path.c_str(), n, available);
    catalogue.mPECNbr = available;
    catalogue.mPECName.resize(static_cast<std::size_t>(available));
    catalogue.mPECDes.resize(static_cast<std::size_t>(available));
    catalogue.mSECNbr.assign(static_cast<std::size_t>(available), 0);
    catalogue.mSECDes.resize(static_cast<std::size_t>(available));

    for (int pec = 0; pec < available; ++pec) {
        catalogue.mPECName[pec] = firstToken(lines[static_cast<std::size_t>(2 + pec)]);
        catalogue.mPECDes[pec] = lines[static_cast<std::size_t>(n + 3 + pec)];
    }

    const int sectionsStart = 2 * n + 3;
    for (int pec = 0; pec < available; ++pec) {
        const std::string key = "ErrorCodeInfo_" + catalogue.mPECName[pec];
        for (int i = sectionsStart; i < lineCount; ++i) {
            const std::optional<std::string> name = sectionName(lines[static_cast<std::size_t>(i)]);
            if (!name || name->compare(0, key.size(), key) != 0) continue;
            if (i + 1 >= lineCount) break;
            const long count = std::strtol(lines[static_cast<std::size_t>(i + 1)].c_str(), nullptr, 10);
            const int present = std::clamp(static_cast<int>(std::min<long>(std::max<long>(count, 0), 1000000)), 0,
                                           lineCount - i - 2);
            std::vector<std::string>& descriptions = catalogue.mSECDes[pec];
            for (int k = 0; k < present; ++k)
                descriptions.push_back(lines[static_cast<std::size_t>(i + 2 + k)].substr(0, kMaxSecondaryLen));
            catalogue.mSECNbr[pec] = present;
            break;
        }
    }
    return 1;
}

int getErrorMessage(const CErrorCatalogue* catalogue, int code, std::string& primary, std::string& secondary) {
    const int pec = code / 10000;
    const int sec = code % 10000 - 1;
    if (catalogue == nullptr || catalogue->mPECNbr == 0) {
        primary = kInitText;
        secondary.clear();
        return 0;
    }
    if (pec < 0 || pec >= catalogue->mPECNbr) {
        primary = kWrongCodeText;
        secondary.clear();
        return 0;
    }
    primary = catalogue->mPECDes[pec];
    if (sec >= 0 && sec < catalogue->mSECNbr[pec]) {
        secondary = catalogue->mSECDes[pec][sec];
        return 1;
    }
    if (NorvikCore::get_trace_level() >= 10) traceDebug("  EC = %d  PEC = %d  SEC = %d\n", code, pec, sec);
    if (sec == -1) {
        secondary = primary;
        return 1;
    }
    secondary = kWrongCodeText;
    return 0;
}

std::string getReportMessage(const CErrorCatalogue* catalogue, int code) {
    const int pec = code / 10000;
    const int sec = code % 10000 - 1;
    if (catalogue == nullptr || catalogue->mPECNbr == 0) return fdfFormat("%s  : [%d]", kInitText, code);
    const bool knownPec = pec >= 0 && pec < catalogue->mPECNbr;
    if (sec == -1) return knownPec ? catalogue->mPECDes[pec] : std::string();
    if (knownPec && sec >= 0 && sec < catalogue->mSECNbr[pec]) return catalogue->mSECDes[pec][sec];
    if (NorvikCore::get_trace_level() >= 10) {
        traceDebug("******** aActPEC = %d\n", pec);
        traceDebug("******** mPECNbr = %d\n", catalogue->mPECNbr);
        traceDebug("******** aActSEC = %d\n", sec);
        if (knownPec) traceDebug("******** mSECNbr[aActPEC] = %d\n", catalogue->mSECNbr[pec]);
    }
    return fdfFormat("%s  :  %d [%d : %d]", kWrongCodeText, code, pec, sec);
}

}  // namespace NORBS_ERROR_MANAGER

namespace NORBS_ERRORS_CODE {

void CNorvikErrorCode::set(int code, const std::string& sourceName, const std::string& otherInfo, int line) {
    mErrorCode = code;
    mSourceName = sourceName;
    mOtherInfo = otherInfo;
    mSourceLine = line;
}

void CNorvikErrorCode::reset() {
    mErrorCode = 0;
    mSourceName.clear();
    mOtherInfo.clear();
    mSourceLine = 0;
}

}  // namespace NORBS_ERRORS_CODE
