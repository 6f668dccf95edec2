// Legacy text headers ("<base>_hdr") read into a raster header set shaped
// from the shipped header schema, every section looked for.  The set is
// written as a new text header, which must read again with every value of
// its written fields, and written over a copy of the input.  The format
// quotes every text of a brace group and ends it at the next double quote:
// a vector, matrix or MULTIPLE with a text holding a double quote is the one
// value it cannot carry.
#include "fuzz_parameter_sets.h"

namespace {
std::unique_ptr<CSectionDataGroup> gSet, gTwin;

// A text holding a double quote in the field or its sub-fields.
bool holdsQuote(const CSectionField& field) {
    if (field.getShape() == CORBS_DS_MULTIPLE) {
        for (int i = 0; i < field.getSubFieldsNbr(); ++i)
            if (field.getSubField(i) != nullptr && holdsQuote(*field.getSubField(i))) return true;
        return false;
    }
    if (field.getDataTypeId() != CORBS_DS_STRING) return false;
    for (int row = 0; row < field.getRowNbr(); ++row)
        for (int col = 0; col < field.getColNbr(); ++col)
            if (field.isElementSet(row, col) && field.getString(row, col).find('"') != std::string::npos) return true;
    return false;
}
}  // namespace

ORBS_FUZZ_INITIALIZE(orbs_fuzz::useShippedSchemas(); gSet = orbs_fuzz::shapedSet("HEADER_INFO");
                     gTwin = orbs_fuzz::shapedSet("HEADER_INFO"))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // readFile takes "<base>_hdr" when no "<base>.sml" exists.
    orbs_fuzz::writeInput("raster_hdr", data, size);
    int read = 0;
    orbs_fuzz::tolerateRaise([&] { read = gSet->readFile(orbs_fuzz::scratch("raster"), false); });
    if (read != 1) return 0;
    orbs_fuzz::tolerateRaise([&] {
        std::filesystem::remove(orbs_fuzz::scratch("written_hdr"));
        if (gSet->writeTextSections(orbs_fuzz::scratch("written_hdr")) != 1) return;
        if (gTwin->readFile(orbs_fuzz::scratch("written"), false) != 1) {
            std::fprintf(stderr, "the written header does not read again\n");
            std::abort();
        }
        orbs_fuzz::expectWrittenValues(*gSet, *gTwin, [](const CSectionField& field) {
            return field.getShape() == CORBS_DS_SCALAR || !holdsQuote(field);
        });
    });
    const std::string copy = orbs_fuzz::writeInput("copy_hdr", data, size);
    orbs_fuzz::tolerateRaise([&] { gSet->writeTextSections(copy); });
    return 0;
}
