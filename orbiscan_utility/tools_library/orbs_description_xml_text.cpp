// The legacy line-oriented text format of parameter sets.
//
//   [Section]
//   scalar = 12
//   text = "a value"
//   vector = {1 2 3}
//   matrix = {1 2}
//            {3 4}
//
// Strings are written between double quotes in every shape.  A MULTIPLE of
// SCALAR sub-fields is one brace group with one token per sub-field; a
// MULTIPLE of VECTOR sub-fields is written like a matrix, one brace group
// per element.
#include <fstream>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The name of the section a line starts, or none.
std::optional<std::string> sectionOfLine(const std::string& line) {
    std::size_t open = std::string::npos;
    if (!line.empty() && line[0] == '[') open = 0;
    else if (line.size() > 1 && line[1] == '[') open = 1;
    if (open == std::string::npos) return std::nullopt;
    const std::size_t close = line.find(']', open + 1);
    return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

std::optional<std::vector<std::string>> readLines(const std::string& path) {
    if (fdfRegularFileRefusal(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The brace groups of a value, each a list of tokens.  Tokens are separated
// by blanks, tabs, carriage returns, new lines and "}"; a token opened by a
// double quote runs to the next one.  A value without braces is one group.
std::vector<std::vector<std::string>> braceGroups(const std::string& value) {
    std::vector<std::vector<std::string>> groups;
    const bool braced = value.find('{') != std::string::npos;
    std::size_t taken = 0;
    std::size_t i = 0;
    auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '}'; };
    while (i < value.size()) {
        if (braced) {
            i = value.find('{', i);
            if (i == std::string::npos) break;
            ++i;
        }
        std::vector<std::string>& group = groups.emplace_back();
        while (i < value.size() && value[i] != '}' && value[i] != '{') {
            if (isSeparator(value[i])) {
                ++i;
                continue;
            }
            std::string token;
            if (value[i] == '"') {
                const std::size_t end = value.find('"', i + 1);
                token = value.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
                i = end == std::string::npos ? value.size() : end + 1;
            } else {
                const std::size_t start = i;
                while (i < value.size() && !isSeparator(value[i]) && value[i] != '{') ++i;
                token = value.substr(start, i - start);
            }
            if (taken < CORBS_TEXT_MAX_TOKENS) group.push_back(std::move(token));
            ++taken;
        }
        if (!braced) break;
    }
    return groups;
}

// A scalar value: a quoted text is what lies between its first and last
// double quote, anything else the whole trimmed value.
std::string scalarToken(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"') {
        const std::size_t last = value.rfind('"');
        if (last > 0) return value.substr(1, last - 1);
    }
    return value;
}

void storeToken(CSectionField& field, int row, int col, const std::string& token) {
    switch (field.getDataTypeId()) {
    case CORBS_DS_INTEGER: field.setValue(row, col, NORBS_PARAMETER_FILE::parseInteger(token)); break;
    case CORBS_DS_DOUBLE: field.setValue(row, col, NORBS_PARAMETER_FILE::parseDouble(token)); break;
    case CORBS_DS_STRING: field.setValue(row, col, token); break;
    default: raiseError(ORBS_EC_DATA_TYPE, CORBS_XML_SOURCE, __LINE__, field.getName());
    }
}

void readFieldValue(CSectionField& field, const std::string& value) {
    switch (field.getShape()) {
    case CORBS_DS_SCALAR:
        storeToken(field, 0, 0, scalarToken(value));
        return;
    case CORBS_DS_VECTOR: {
        const auto groups = braceGroups(value);
        const std::size_t count = groups.empty() ? 0 : groups.front().size();
        field.setDimension(1, static_cast<int>(count));
        for (std::size_t i = 0; i < count; ++i) storeToken(field, 0, static_cast<int>(i), groups.front()[i]);
        return;
    }
    case CORBS_DS_MATRIX: {
        const auto groups = braceGroups(value);
        const std::size_t cols = groups.empty() ? 0 : groups.front().size();
        field.setDimension(static_cast<int>(groups.size()), static_cast<int>(cols));
        for (std::size_t r = 0; r < groups.size(); ++r) {
            for (std::size_t c = 0; c < cols && c < groups[r].size(); ++c) {
                storeToken(field, static_cast<int>(r), static_cast<int>(c), groups[r][c]);
            }
        }
        return;
    }
    case CORBS_DS_MULTIPLE: {
        const CSectionField* first = field.getSubField(0);
        if (first == nullptr) return;
        const auto groups = braceGroups(value);
        const bool vectors = first->getShape() == CORBS_DS_VECTOR;
        const std::size_t elements = vectors ? groups.size() : std::min<std::size_t>(groups.size(), 1);
        for (int j = 0; j < field.getSubFieldsNbr(); ++j) {
            if (vectors && field.getSubField(j)) field.getSubField(j)->setDimension(1, static_cast<int>(elements));
        }
        for (std::size_t i = 0; i < elements; ++i) {
            if (groups[i].size() < static_cast<std::size_t>(field.getSubFieldsNbr())) {
                raiseError(ORBS_EC_FIELD_NOT_FOUND, CORBS_XML_SOURCE, __LINE__, field.getName());
            }
            for (int j = 0; j < field.getSubFieldsNbr(); ++j) {
                CSectionField* sub = field.getSubField(j);
                if (sub != nullptr && sub->hasTables() && static_cast<int>(i) < sub->getColNbr()) {
                    storeToken(*sub, 0, static_cast<int>(i), groups[i][static_cast<std::size_t>(j)]);
                }
            }
        }
        return;
    }
    default:
        return;
    }
}

// Writing.

std::string token(const CSectionField& field, int row, int col, bool templateWords) {
    const bool set = field.isElementSet(row, col);
    switch (field.getDataTypeId()) {
    case CORBS_DS_INTEGER: {
        const int value = field.hasTables() ? field.getInteger(row, col) : 0;
        if (templateWords && value == CORBS_USER_PARAMETER_TO_FILL_INT) return CORBS_USER_PARAMETER_TO_FILL;
        if (templateWords && value == CORBS_USER_OPTIONAL_PARAMETER_INT) return CORBS_USER_OPTIONAL_PARAMETER;
        return std::to_string(value);
    }
    case CORBS_DS_DOUBLE: {
        const double value = field.hasTables() ? field.getDouble(row, col) : 0.0;
        if (templateWords && value == CORBS_USER_PARAMETER_TO_FILL_DBL) return CORBS_USER_PARAMETER_TO_FILL;
        if (templateWords && value == CORBS_USER_OPTIONAL_PARAMETER_DBL) return CORBS_USER_OPTIONAL_PARAMETER;
        return NORBS_PARAMETER_FILE::formatDouble(value);
    }
    case CORBS_DS_STRING:
        return "\"" + (set ? field.getString(row, col) : std::string()) + "\"";
    default:
        raiseError(ORBS_EC_DATA_TYPE, CORBS_XML_SOURCE, __LINE__, field.getName());
    }
}

std::string group(const std::vector<std::string>& tokens) {
    std::string text = "{";
    for (std::size_t i = 0; i < tokens.size(); ++i) text += (i ? " " : "") + tokens[i];
    return text + "}";
}

void appendFieldLines(std::vector<std::string>& lines, const CSectionField& field) {
    const std::string& name = field.getName();
    const std::string head = name + " = ";
    const std::string continuation(name.size() + 1, ' ');
    std::vector<std::string> rows;
    switch (field.getShape()) {
    case CORBS_DS_SCALAR:
        lines.push_back(head + token(field, 0, 0, true));
        return;
    case CORBS_DS_VECTOR: {
        std::vector<std::string> tokens;
        for (int i = 0; i < field.getColNbr(); ++i) tokens.push_back(token(field, 0, i, true));
        lines.push_back(head + group(tokens));
        return;
    }
    case CORBS_DS_MATRIX:
        for (int r = 0; r < field.getRowNbr(); ++r) {
            std::vector<std::string> tokens;
            for (int c = 0; c < field.getColNbr(); ++c) tokens.push_back(token(field, r, c, false));
            rows.push_back(group(tokens));
        }
        break;
    case CORBS_DS_MULTIPLE: {
        const CSectionField* first = field.getSubField(0);
        const bool vectors = first != nullptr && first->getShape() == CORBS_DS_VECTOR;
        const int elements = vectors ? field.getElementsNbr() : 1;
        for (int i = 0; i < elements; ++i) {
            std::vector<std::string> tokens;
            for (int j = 0; j < field.getSubFieldsNbr(); ++j) {
                const CSectionField* sub = field.getSubField(j);
                if (sub != nullptr) tokens.push_back(token(*sub, 0, i, false));
            }
            rows.push_back(group(tokens));
        }
        break;
    }
    default:
        return;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) lines.push_back((r == 0 ? head : continuation) + rows[r]);
}

}  // namespace

int CSectionDataGroup::readTextSection(const std::string& path, const std::string& sectionName) {
    CSectionData* section = getSection(sectionName);
    if (section == nullptr) return 0;
    const auto lines = readLines(path);
    if (!lines) return 0;
    std::size_t i = 0;
    while (i < lines->size() && sectionOfLine((*lines)[i]) != sectionName) ++i;
    if (i == lines->size()) return 0;
    section->clearAll();

    for (++i; i < lines->size() && !sectionOfLine((*lines)[i]); ++i) {
        const std::string line = trimmed((*lines)[i]);
        if (line.empty()) continue;
        const std::size_t equal = line.find('=');
        if (equal == std::string::npos) raiseError(ORBS_EC_FIELD_NOT_FOUND, CORBS_XML_SOURCE, __LINE__, line);
        const std::string name = trimmed(line.substr(0, equal));
        std::string value = trimmed(line.substr(equal + 1));
        if (value.empty()) raiseError(ORBS_EC_FIELD_NOT_FOUND, CORBS_XML_SOURCE, __LINE__, name);
        // The further rows of a matrix are the following lines that begin
        // with a brace.
        while (i + 1 < lines->size() && trimmed((*lines)[i + 1]).starts_with('{')) value += " " + trimmed((*lines)[++i]);
        CSectionField* field = section->findField(name);
        if (field == nullptr || field->getParentIndex() != -1) {
            traceDebug("%s : no field %s in section %s\n", path.c_str(), name.c_str(), sectionName.c_str());
            continue;
        }
        readFieldValue(*field, value);
    }
    return 1;
}

int CSectionDataGroup::writeTextSections(const std::string& path) {
    std::vector<std::string> lines = readLines(path).value_or(std::vector<std::string>{});
    for (const auto& section : mSectionData) {
        if (!section->hasSetField()) continue;
        std::vector<std::string> block{"[" + section->getName() + "]"};
        for (int i = 0; i < section->getFieldsNbr(); ++i) {
            const CSectionField& field = *section->getField(i);
            if (field.getParentIndex() == -1 && field.isInitField(false)) appendFieldLines(block, field);
        }
        block.emplace_back();
        // The section's previous text runs from its heading to the next one.
        std::size_t begin = 0;
        while (begin < lines.size() && sectionOfLine(lines[begin]) != section->getName()) ++begin;
        std::size_t end = begin;
        if (begin < lines.size()) {
            for (++end; end < lines.size() && !sectionOfLine(lines[end]); ++end) {}
        }
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(begin), lines.begin() + static_cast<std::ptrdiff_t>(end));
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(begin), block.begin(), block.end());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        traceDebug("writeToFile : cannot write %s\n", path.c_str());
        return 0;
    }
    for (const std::string& line : lines) out << line << '\n';
    out.close();
    if (!out) return 0;
    NORBS_PARAMETER_FILE::syncToDisk(path);
    return 1;
}
