// Parameter sets for the fuzz targets of the parameter file formats: sets
// shaped from the shipped description schemas, and the check that a set
// written and read again holds the values it wrote.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "orbs_description_section.h"
#include "orbs_init_from_xml_schema.h"

namespace orbs_fuzz {

// The environment that flattens the shipped schemas into the scratch
// directory; called once, before shapedSet.
inline void useShippedSchemas() {
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    fdfSetEnv(ORBS_SOURCE_DIR "/auxiliary/xml_schema_files/", "ORBISCAN_XML_SCHEMA_DES_FILES_DIR");
    fdfSetEnv(Scratch::get().dir(), "ORBISCAN_WORKING_DIR");
}

// A set with every section of the description `root`, flattened from the
// shipped schemas into the scratch directory.
inline std::unique_ptr<CSectionDataGroup> shapedSet(const std::string& root) {
    CSectionDataGroupDescription description;
    if (description.init("", root) != 1) std::abort();
    std::vector<std::string> names;
    for (int i = 0; i < description.getSectionsNbr(); ++i) names.push_back(description.getSection(i).name);
    auto set = std::make_unique<CSectionDataGroup>();
    if (set->init(&description, names) != 1) std::abort();
    return set;
}

// What a written text reads back as: the text itself unless a format says
// otherwise.
using TextReadBack = std::function<std::string(const std::string& text)>;

// Element (row, col) of `b` is set and holds the value it holds in `a`.
inline bool sameElement(const CSectionField& a, const CSectionField& b, int row, int col,
                        const TextReadBack& readBack) {
    if (!b.isElementSet(row, col)) return false;
    switch (a.getDataTypeId()) {
    case CORBS_DS_INTEGER: return a.getInteger(row, col) == b.getInteger(row, col);
    case CORBS_DS_DOUBLE: {
        const double x = a.getDouble(row, col), y = b.getDouble(row, col);
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    case CORBS_DS_STRING: {
        const std::string& text = a.getString(row, col);
        return (readBack ? readBack(text) : text) == b.getString(row, col);
    }
    default: return true;
    }
}

// The element as text, for a report.
inline std::string elementText(const CSectionField& field, int row, int col) {
    if (!field.isElementSet(row, col)) return "unset";
    switch (field.getDataTypeId()) {
    case CORBS_DS_INTEGER: return std::to_string(field.getInteger(row, col));
    case CORBS_DS_DOUBLE: return std::to_string(field.getDouble(row, col));
    case CORBS_DS_STRING: return "[" + field.getString(row, col) + "]";
    default: return "?";
    }
}

// Every set element of a written field comes back from the written file,
// but for the fields whose values a format cannot carry (`carried` false
// for the field or the MULTIPLE that owns it).
using Carried = std::function<bool(const CSectionField& field)>;
inline void expectWrittenValues(const CSectionDataGroup& written, const CSectionDataGroup& reread,
                                const Carried& carried = {}, const TextReadBack& readBack = {}) {
    for (int s = 0; s < written.getSectionsNbr(); ++s) {
        const CSectionData& a = *written.getSection(s);
        const CSectionData& b = *reread.getSection(s);
        for (int f = 0; f < a.getFieldsNbr(); ++f) {
            const CSectionField& field = *a.getField(f);
            const int owner = field.getParentIndex() < 0 ? f : field.getParentIndex();
            if (field.getShape() == CORBS_DS_MULTIPLE || !a.getField(owner)->isInitField(false)) continue;
            if (carried && !carried(*a.getField(owner))) continue;
            for (int row = 0; row < field.getRowNbr(); ++row) {
                for (int col = 0; col < field.getColNbr(); ++col) {
                    if (!field.isElementSet(row, col) || sameElement(field, *b.getField(f), row, col, readBack)) continue;
                    std::fprintf(stderr, "%s.%s (%d, %d) changed by writing and reading: %s became %s\n",
                                 a.getName().c_str(), field.getName().c_str(), row, col,
                                 elementText(field, row, col).c_str(), elementText(*b.getField(f), row, col).c_str());
                    std::abort();
                }
            }
        }
    }
}

}  // namespace orbs_fuzz
