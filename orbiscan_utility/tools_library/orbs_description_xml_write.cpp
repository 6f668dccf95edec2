// Writing parameter files: the XML layout, new files, the in-place update
// of sections in an existing file, and writeToFile.
#include <cerrno>
#include <cmath>
#include <fstream>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"
#include "orbs_raster_header.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

constexpr int kIndentUnit = 3;

std::string indentation(int level) { return std::string(static_cast<std::size_t>(level * kIndentUnit), ' '); }

std::string attribute(const char* name, int value) {
    return std::string(" ") + name + " = \"" + std::to_string(value) + "\"";
}

// The text of element (row, col).  Template words replace the reserved
// numbers only in SCALAR and VECTOR fields (`templateWords`).
std::string valueText(const CSectionField& field, int row, int col, bool templateWords) {
    if (!field.hasTables() || row >= field.getRowNbr() || col >= field.getColNbr()) return std::string();
    switch (field.getDataTypeId()) {
    case CORBS_DS_INTEGER: {
        const int value = field.getInteger(row, col);
        if (templateWords && value == CORBS_USER_PARAMETER_TO_FILL_INT) return CORBS_USER_PARAMETER_TO_FILL;
        if (templateWords && value == CORBS_USER_OPTIONAL_PARAMETER_INT) return CORBS_USER_OPTIONAL_PARAMETER;
        return std::to_string(value);
    }
    case CORBS_DS_DOUBLE: {
        const double value = field.getDouble(row, col);
        if (templateWords && value == CORBS_USER_PARAMETER_TO_FILL_DBL) return CORBS_USER_PARAMETER_TO_FILL;
        if (templateWords && value == CORBS_USER_OPTIONAL_PARAMETER_DBL) return CORBS_USER_OPTIONAL_PARAMETER;
        return NORBS_PARAMETER_FILE::formatDouble(value);
    }
    case CORBS_DS_STRING: {
        if (!field.isElementSet(row, col)) return std::string();  // an unset text: empty element
        const std::string text = field.getString(row, col);
        // A set empty text is written in its reserved form, so that it reads
        // back as set.
        return text.empty() ? std::string(CORBS_EMPTY_TEXT_MARK) : NORBS_PARAMETER_FILE::escapeXmlText(text);
    }
    default:
        return std::string();
    }
}

void element(std::string& out, int level, const std::string& name, const std::string& attributes,
             const std::string& value) {
    out += indentation(level) + "<" + name + attributes + ">" + value + "</" + name + ">\n";
}

void opening(std::string& out, int level, const std::string& name, const std::string& attributes = {}) {
    out += indentation(level) + "<" + name + attributes + ">\n";
}

void closing(std::string& out, int level, const std::string& name) {
    out += indentation(level) + "</" + name + ">\n";
}

void appendVector(std::string& out, const CSectionField& field, int level) {
    const std::string type = NORBS_PARAMETER_FILE::typeWord(field.getDataTypeId());
    const int count = field.getColNbr();
    opening(out, level + 1, "Vector" + type, attribute("NumberOfElements", count));
    for (int i = 0; i < count; ++i) {
        element(out, level + 2, "Value" + type, attribute("ID", i), valueText(field, 0, i, true));
    }
    closing(out, level + 1, "Vector" + type);
}

void appendMatrix(std::string& out, const CSectionField& field, int level) {
    const std::string type = NORBS_PARAMETER_FILE::typeWord(field.getDataTypeId());
    const int rows = field.getRowNbr();
    const int cols = field.getColNbr();
    opening(out, level + 1, "Matrix" + type, attribute("NumberOfRows", rows) + attribute("NumberOfColumns", cols));
    for (int r = 0; r < rows; ++r) {
        opening(out, level + 2, "MatrixRow" + type, attribute("ID", r));
        for (int c = 0; c < cols; ++c) {
            element(out, level + 3, "Value" + type, attribute("ID", c), valueText(field, r, c, false));
        }
        closing(out, level + 2, "MatrixRow" + type);
    }
    closing(out, level + 1, "Matrix" + type);
}

void appendMultiple(std::string& out, const CSectionField& field, int level) {
    const CSectionField* first = field.getSubField(0);
    if (first == nullptr) return;
    const std::string& name = field.getName();
    const int subFields = field.getSubFieldsNbr();
    if (first->getShape() == CORBS_DS_VECTOR) {
        const int count = field.getElementsNbr();
        const std::string container = "VectorOfStructs_" + name;
        const std::string values = "VectorOfStructsValues_" + name;
        opening(out, level + 1, container, attribute("NumberOfElements", count) + attribute("NumberOfFields", subFields));
        for (int i = 0; i < count; ++i) {
            opening(out, level + 2, values, attribute("ID", i));
            for (int j = 0; j < subFields; ++j) {
                if (const CSectionField* sub = field.getSubField(j)) {
                    element(out, level + 3, sub->getName(), {}, valueText(*sub, 0, i, false));
                }
            }
            closing(out, level + 2, values);
        }
        closing(out, level + 1, container);
    } else if (first->getShape() == CORBS_DS_SCALAR) {
        const std::string container = "Struct_" + name;
        opening(out, level + 1, container, attribute("NumberOfFields", subFields));
        for (int j = 0; j < subFields; ++j) {
            if (const CSectionField* sub = field.getSubField(j)) {
                element(out, level + 2, sub->getName(), {}, valueText(*sub, 0, 0, false));
            }
        }
        closing(out, level + 1, container);
    }
}

void appendField(std::string& out, const CSectionField& field, int level) {
    const std::string& name = field.getName();
    if (field.getShape() == CORBS_DS_SCALAR) {
        element(out, level, name, {}, valueText(field, 0, 0, true));
        return;
    }
    opening(out, level, name);
    switch (field.getShape()) {
    case CORBS_DS_VECTOR: appendVector(out, field, level); break;
    case CORBS_DS_MATRIX: appendMatrix(out, field, level); break;
    case CORBS_DS_MULTIPLE: appendMultiple(out, field, level); break;
    default: break;
    }
    closing(out, level, name);
}

std::string rootOpening(const std::string& header) {
    if (header.find("HEADER_INFO") == std::string::npos) return "<" + header + ">\n";
    const std::string uri = CORBS_HEADER_SCHEMA_URI;
    return "<" + header + " xmlns=\"" + uri + "\"\n\txmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"" +
           "\n\txsi:schemaLocation=\"" + uri + "\n\t" + uri + "/" + CORBS_HEADER_SCHEMA_FILE + "\">\n";
}

// Reads the next line piece with its terminator: at most maxLength bytes,
// so that a rewritten file gets every byte back as it was.
bool readRawPiece(std::streambuf& input, std::string& piece, std::size_t maxLength) {
    piece.clear();
    while (piece.size() < maxLength) {
        const int c = input.sbumpc();
        if (c == std::char_traits<char>::eof()) return !piece.empty();
        piece.push_back(static_cast<char>(c));
        if (c == '\n') return true;
    }
    return true;
}

}  // namespace

namespace NORBS_PARAMETER_FILE {

std::string sectionToXml(const CSectionData& section, int indent) {
    std::string out;
    opening(out, indent, section.getName());
    for (int i = 0; i < section.getFieldsNbr(); ++i) {
        const CSectionField& field = *section.getField(i);
        // Sub-fields are written inside their owner only.
        if (field.getParentIndex() == -1 && field.isInitField(false)) appendField(out, field, indent + 1);
    }
    closing(out, indent, section.getName());
    return out;
}

}  // namespace NORBS_PARAMETER_FILE

int CSectionDataGroup::writeXML(const std::string& path, bool raise, bool overwrite) {
    errno = 0;
    if (getSection("RasterInfo") != nullptr) NORBS_PARAMETER_FILE::recordSoftwareVersion(*this);

    int result = 1;
    if (overwrite || !fdfExistFile(path)) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) {
            traceDebug("theFileName : %s\n", path.c_str());
            traceDebug("Error opening rdstate : %d\n", static_cast<int>(out.rdstate()));
            traceDebug("Error opening errno : %d\n", errno);
            return 0;
        }
        std::string document = "<?xml version=\"1.0\" ?>\n" + rootOpening(mHeaderName);
        for (const auto& section : mSectionData) {
            if (section->hasSetField()) document += NORBS_PARAMETER_FILE::sectionToXml(*section, 1);
        }
        document += "</" + mHeaderName + ">\n";
        out << document;
        out.close();
        if (!out) {
            if (raise) raiseError(ORBS_EC_WRITE_FAILED, CORBS_XML_SOURCE, __LINE__, path);
            result = 0;
        } else {
            NORBS_PARAMETER_FILE::syncToDisk(path);
        }
    } else {
        // One section at a time: its old text goes, the new text takes its
        // place (or goes just before the root's closing line); every other
        // line is written back byte for byte.
        const std::string rootClose = "</" + mHeaderName + ">";
        for (const auto& section : mSectionData) {
            if (!section->hasSetField()) continue;
            const std::string open = "<" + section->getName() + ">";
            const std::string close = "</" + section->getName() + ">";
            std::vector<std::string> kept;
            std::ptrdiff_t position = -1;
            {
                std::ifstream in(path, std::ios::binary);
                if (!in) {  // a file that cannot be read cannot be updated
                    if (raise) raiseError(ORBS_EC_WRITE_FAILED, CORBS_XML_SOURCE, __LINE__, path);
                    result = 0;
                    break;
                }
                std::string piece;
                bool skipping = false;
                while (in && readRawPiece(*in.rdbuf(), piece, CORBS_XML_UPDATE_MAX_LINE_LENGTH)) {
                    const bool isRootClose = piece.find(rootClose) != std::string::npos;
                    if (!skipping && piece.find(open) != std::string::npos) {
                        if (position < 0) position = static_cast<std::ptrdiff_t>(kept.size());
                        skipping = true;
                    }
                    if (skipping) {
                        if (piece.find(close) != std::string::npos) skipping = false;
                        if (!isRootClose) continue;
                    }
                    kept.push_back(piece);
                    if (isRootClose) break;  // what follows the root is dropped
                }
            }
            if (kept.empty()) {
                traceDebug("writeXML : nothing to rewrite in %s\n", path.c_str());
                continue;
            }
            if (position < 0) position = static_cast<std::ptrdiff_t>(kept.size()) - 1;
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            for (std::ptrdiff_t i = 0; out && i < position; ++i) out << kept[static_cast<std::size_t>(i)];
            out << NORBS_PARAMETER_FILE::sectionToXml(*section, 1);
            for (std::size_t i = static_cast<std::size_t>(position); out && i < kept.size(); ++i) out << kept[i];
            out.close();
            if (!out) {
                if (raise) raiseError(ORBS_EC_WRITE_FAILED, CORBS_XML_SOURCE, __LINE__, path);
                result = 0;
                break;
            }
            NORBS_PARAMETER_FILE::syncToDisk(path);
        }
    }
    if (errno != 0) {
        traceDebug("errno = %d\n", errno);
        traceDebug("Error in writeXML(%s\n", path.c_str());
    }
    return result;
}

int CSectionDataGroup::writeToFile(const std::string& path, bool writeEnviHeader, bool writeTextFormat) {
    const std::string xmlPath = NORBS_PARAMETER_FILE::parameterFileBase(path) + ".sml";
    if (fdfExistFile(xmlPath)) fdfRemoveFile(xmlPath);
    NORBS_PARAMETER_FILE::applyPolarizationRule(*this);
    NORBS_PARAMETER_FILE::deriveDemCoordinates(*this);
    NORBS_PARAMETER_FILE::applyChannelsDefault(*this);
    if (!writeXML(xmlPath, false, false)) return 0;
    if (writeTextFormat) {
        if (getSection("RasterInfo") != nullptr) NORBS_PARAMETER_FILE::recordSoftwareVersion(*this);
        // The text header goes to the path given (the caller passes the
        // legacy header name), less a trailing ".sml".
        std::string textPath = path;
        fdfRemoveSuffix(textPath, ".sml");
        if (!writeTextSections(textPath)) return 0;
    }
    if (writeEnviHeader) writeRasterHeaderEnvi(path);
    return 1;
}
