// Legacy ".key" descriptions: a section description read from any bytes,
// then a section shaped from it.
#include "fuzz_support.h"
#include "orbs_description_section.h"
#include "orbs_init_from_xml_schema.h"

ORBS_FUZZ_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("Fuzz.key", data, size);
    // The shipped description's section, and a short name that mutations
    // find easily.
    for (const char* section : {"DbfShapeInfo", "K"}) {
        orbs_fuzz::tolerateRaise([&] {
            const CSectionDescription description = readKeyDescription(path, section);
            if (description.name != section) std::abort();
            const std::unique_ptr<CSectionData> shaped = buildSection(description);
            if (shaped->getFieldsNbr() < static_cast<int>(description.fields.size())) std::abort();
        });
    }
    return 0;
}
