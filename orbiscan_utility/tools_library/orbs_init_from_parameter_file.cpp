// Shaping parameter sets from their descriptions, and the command entry
// point that reads a command's parameter file.
#include <memory>

#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"
#include "orbs_general_parameters.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_utility_global_vars.h"

namespace {

// Copies the state of one field (its dimensions and set elements; an unset
// field leaves the copy unset) into a field of the same shape and data type.
// Fields of another shape or type are left alone: their values would not fit.
void copyFieldValues(const CSectionField& from, CSectionField& to) {
    if (from.getShape() != to.getShape() || from.getDataTypeId() != to.getDataTypeId()) return;
    to.clearAll();
    if (!from.hasTables()) return;
    if (from.getShape() != CORBS_DS_SCALAR) to.setDimension(from.getRowNbr(), from.getColNbr());
    for (int r = 0; r < from.getRowNbr(); ++r) {
        for (int c = 0; c < from.getColNbr(); ++c) {
            if (!from.isElementSet(r, c)) continue;
            switch (from.getDataTypeId()) {
                case CORBS_DS_INTEGER: to.setValue(r, c, from.getInteger(r, c)); break;
                case CORBS_DS_DOUBLE: to.setValue(r, c, from.getDouble(r, c)); break;
                case CORBS_DS_STRING: to.setValue(r, c, from.getString(r, c)); break;
                default: break;
            }
        }
    }
}

}  // namespace

CSectionDataGroup::CSectionDataGroup(const std::vector<std::string>& keySectionNames) : CSectionDataGroup() {
    // An empty list is a list whose first name is missing.
    if (keySectionNames.empty())
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_SECTION_NAME_MISSING, CORBS_SECTION_SOURCE, __LINE__, "none");
    std::string keyDir;
    fdfGetEnv(keyDir, "ORBISCAN_KEY_FILES_DIR");
    for (const std::string& name : keySectionNames)
        addSection(buildSection(readKeyDescription(keyDir + name + ".key", name)));
}

int CSectionDataGroup::init(const CSectionDataGroupDescription* description,
                            const std::vector<std::string>& sectionNames) {
    removeAllSections();
    setHeaderName(description ? description->getRootName() : "HEADER_INFO");
    for (const std::string& name : sectionNames) {
        const CSectionDescription* section = description ? description->getSection(name) : nullptr;
        if (section == nullptr) {
            if (NorvikCore::get_trace_level() > 19)
                NORBS_ERROR_MANAGER::traceInfo("Not found Section : %s\n", name.c_str());
            removeAllSections();
            return 0;
        }
        addSection(buildSection(*section));
    }
    return 1;
}

int CSectionDataGroup::initFromParameterFile(const std::string& descriptionName, const std::string& environment,
                                             const std::string& parameterFile,
                                             const std::vector<std::string>& sectionNames) {
    CSectionDataGroupDescription description;
    if (description.init("", descriptionName) == 0) return 0;
    if (init(&description, sectionNames) == 0) {
        if (NorvikCore::get_trace_level() > 9)
            NORBS_ERROR_MANAGER::traceInfo("FAIL init(&aCSectionDataGroupDescription : %s\n", descriptionName.c_str());
        return 0;
    }
    if (!parameterFile.empty() && readXML(parameterFile, true) == 0) {
        NORBS_ERROR_MANAGER::traceInfo("FAIL readXML : %s\n", parameterFile.c_str());
        return 0;
    }
    if (!environment.empty()) {
        bool found = false;
        const std::string value = getString("OrbiscanEnvironment", &found);
        if (!found || value != environment) {
            if (NorvikCore::get_trace_level() > 9) {
                NORBS_ERROR_MANAGER::traceInfo("\n\nWRONG ENVIROMENT CHOOSE %s\n", value.c_str());
                NORBS_ERROR_MANAGER::traceInfo("theEnvironmentString %s\n", environment.c_str());
            }
            return 0;
        }
    }
    if (NorvikCore::get_generals_par_ptr() == nullptr) {
        auto general = std::make_unique<CGeneralParameters>();
        if (general->load(*this) == 1) {
            NorvikCore::set_generals_par_ptr(std::move(general));
            NorvikCore::set_input_parameters_file_name(parameterFile);
        }
    }
    return 1;
}

// Fields are matched by name over the flat field list, sub-fields included,
// so that a MULTIPLE whose sub-fields are ordered differently in the other
// set still receives each sub-field's values; the owners themselves hold no
// values.  0 when a section is missing in `other` (the others are copied).
int CSectionDataGroup::copyDataSections(const CSectionDataGroup& other) {
    int result = 1;
    for (int s = 0; s < getSectionsNbr(); ++s) {
        CSectionData* section = getSection(s);
        const CSectionData* source = other.getSection(section->getName());
        if (source == nullptr) {
            NORBS_ERROR_MANAGER::traceInfo("TBD copyDataSections fail NO FOUND : %s\n", section->getName().c_str());
            result = 0;
            continue;
        }
        for (int f = 0; f < section->getFieldsNbr(); ++f) {
            CSectionField* field = section->getField(f);
            if (field->getShape() == CORBS_DS_MULTIPLE) continue;
            if (const CSectionField* from = source->findField(field->getName())) copyFieldValues(*from, *field);
        }
    }
    return result;
}

int CSectionDataGroup::checkCompatibility(const CSectionDataGroup& other) const {
    if (getSectionsNbr() > other.getSectionsNbr()) return 0;
    int found = 0;
    for (int s = 0; s < other.getSectionsNbr(); ++s) {
        const std::string& name = other.getSection(s)->getName();
        bool present = false;
        for (int t = 0; t < getSectionsNbr() && !present; ++t)
            present = getSection(t)->getName().find(name) != std::string::npos;
        found += present;
        NORBS_ERROR_MANAGER::traceInfo(
            present ? "TBD OK checkCompatibility : %s\n" : "TBD FAIL checkCompatibility : %s\n", name.c_str());
    }
    return found == other.getSectionsNbr() ? 1 : 0;
}
