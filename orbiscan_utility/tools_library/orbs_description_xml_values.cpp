// Values as they appear in parameter files: numbers, template words,
// escaping, and the parameter file name of a raster.
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_utility_global_vars.h"

namespace NORBS_PARAMETER_FILE {

std::string parameterFileBase(const std::string& path) {
    std::string base = path;
    fdfRemoveSuffix(base, "_hdr");
    fdfRemoveSuffix(base, ".sml");
    return base;
}

const char* typeWord(int dataTypeId) {
    switch (dataTypeId) {
    case CORBS_DS_INTEGER: return "Integer";
    case CORBS_DS_DOUBLE: return "Double";
    case CORBS_DS_STRING: return "String";
    default: return "EFDT";
    }
}

std::string formatDouble(double value) {
    if (std::isnan(value)) return "NaN";
    // "%.30g" prints at most 30 digits, a sign, a point and a 5-character
    // exponent: 64 bytes cannot overflow.
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.30g", value);
    return text.data();
}

double parseDouble(const std::string& text) { return parseDouble(text.c_str(), text.size()); }

double parseDouble(const char* text, std::size_t length) {
    const std::string_view view(text, length);
    if (view.find("NaN") != std::string_view::npos || view.find("nan") != std::string_view::npos) {
        return NorvikCore::get_nan_double_val();
    }
    if (view.find(CORBS_USER_PARAMETER_TO_FILL) != std::string_view::npos) return CORBS_USER_PARAMETER_TO_FILL_DBL;
    if (view.find(CORBS_USER_OPTIONAL_PARAMETER) != std::string_view::npos) return CORBS_USER_OPTIONAL_PARAMETER_DBL;
    const int savedErrno = errno;
    const double value = std::strtod(text, nullptr);
    errno = savedErrno;
    return value;
}

int parseInteger(const std::string& text) { return parseInteger(text.c_str(), text.size()); }

int parseInteger(const char* text, std::size_t length) {
    const std::string_view view(text, length);
    if (view.find(CORBS_USER_PARAMETER_TO_FILL) != std::string_view::npos) return CORBS_USER_PARAMETER_TO_FILL_INT;
    if (view.find(CORBS_USER_OPTIONAL_PARAMETER) != std::string_view::npos) return CORBS_USER_OPTIONAL_PARAMETER_INT;
    const int savedErrno = errno;
    const long value = std::strtol(text, nullptr, 10);
    errno = savedErrno;
    // Out-of-range texts saturate rather than wrap to an unrelated value.
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::string escapeXmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '\'': out += "&apos;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        // A line break written as it is would end the text: the reader
        // takes the first line of a text only.
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c; break;
        }
    }
    return out;
}

}  // namespace NORBS_PARAMETER_FILE
