// Parameter sets for the fuzz targets of the parameter file formats: sets
// shaped from the shipped description schemas, and the check that a set
// written and read again holds the values it wrote.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
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
    fdfSetEnv(scratch(""), "ORBISCAN_WORKING_DIR");
}

// A set with every section of the description `root`.
inline std::unique_ptr<CSectionDataGroup> shapedSet(const std::string& root) {
    CSectionDataGroupDescription description;
    if (description.init("", root) != 1) std::abort();
    std::vector<std::string> names;
    for (int i = 0; i < description.getSectionsNbr(); ++i) names.push_back(description.getSection(i).name);
    auto set = std::make_unique<CSectionDataGroup>();
    if (set->init(&description, names) != 1) std::abort();
    return set;
}

// What a written text reads back as (the text itself unless a format says
// otherwise), and whether a format carries the values of a field.
using TextReadBack = std::function<std::string(const std::string& text)>;
using Carried = std::function<bool(const CSectionField& field)>;

// Every set element of a written field comes back from the written file,
// but for the fields whose values a format cannot carry (`carried` false
// for the field or the MULTIPLE that owns it).
inline void expectWrittenValues(const CSectionDataGroup& written, const CSectionDataGroup& reread,
                                const Carried& carried = {}, const TextReadBack& readBack = {}) {
    for (int s = 0; s < written.getSectionsNbr(); ++s) {
        const CSectionData& a = *written.getSection(s);
        for (int f = 0; f < a.getFieldsNbr(); ++f) {
            const CSectionField& field = *a.getField(f);
            const CSectionField& back = *reread.getSection(s)->getField(f);
            const int owner = field.getParentIndex() < 0 ? f : field.getParentIndex();
            if (field.getShape() == CORBS_DS_MULTIPLE || !a.getField(owner)->isInitField(false)) continue;
            if (carried && !carried(*a.getField(owner))) continue;
            for (int row = 0; row < field.getRowNbr(); ++row) {
                for (int col = 0; col < field.getColNbr(); ++col) {
                    if (!field.isElementSet(row, col)) continue;
                    bool same = back.isElementSet(row, col);
                    if (same && field.getDataTypeId() == CORBS_DS_INTEGER)
                        same = field.getInteger(row, col) == back.getInteger(row, col);
                    if (same && field.getDataTypeId() == CORBS_DS_DOUBLE) {
                        const double x = field.getDouble(row, col), y = back.getDouble(row, col);
                        same = x == y || (std::isnan(x) && std::isnan(y));
                    }
                    if (same && field.getDataTypeId() == CORBS_DS_STRING) {
                        const std::string& text = field.getString(row, col);
                        same = (readBack ? readBack(text) : text) == back.getString(row, col);
                    }
                    if (same) continue;
                    std::fprintf(stderr, "%s.%s (%d, %d) changed by writing and reading\n", a.getName().c_str(),
                                 field.getName().c_str(), row, col);
                    std::abort();
                }
            }
        }
    }
}
}  // namespace orbs_fuzz
