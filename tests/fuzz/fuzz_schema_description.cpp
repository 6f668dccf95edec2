// Description schemas (flattened ".xsd" files): the sections and fields of
// a parameter set read from any bytes, and a set shaped from them.
#include <vector>
#include "fuzz_support.h"
#include "orbs_description_section.h"
#include "orbs_init_from_xml_schema.h"

// A schema that cannot be read is never looked for elsewhere.
ORBS_FUZZ_INITIALIZE(createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
                     fdfSetEnv(orbs_fuzz::scratch("no_schemas/"), "ORBISCAN_XML_SCHEMA_DES_FILES_DIR");
                     fdfSetEnv(orbs_fuzz::scratch(""), "ORBISCAN_WORKING_DIR"))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("FUZZ_CMD.xsd", data, size);
    for (const char* root : {"HEADER_INFO", "PARAMETERS_INFO"}) {
        orbs_fuzz::tolerateRaise([&] {
            CSectionDataGroupDescription description;
            if (description.init(path, root) != 1) return;
            std::vector<std::string> names;
            for (int i = 0; i < description.getSectionsNbr(); ++i) names.push_back(description.getSection(i).name);
            CSectionDataGroup set;
            set.init(&description, names);
        });
    }
    return 0;
}
