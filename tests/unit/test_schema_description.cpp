// Descriptions of parameter sets from XML Schema files and the command entry
// point initFromParameterFile.  The flattening of the shipped schemas and
// the refusals of a user's file are checked end to end (Hostile.*).
#include <string_view>

#include "orbs_general_parameters.h"
#include "orbs_init_from_xml_schema.h"
#include "test_parameter_file_support.h"

namespace orbs_test {
namespace {

constexpr const char* kHub = "PARAMETERS_INFO_SCI_HUB_GET_CMD";
constexpr const char* kAux = "PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD";
const std::vector<std::string> kHubSections = {"MAIN_SCI_HUB_GET_CMD", "ORBSNT_SERVICE_SCIHUB", "ORBSNT_USER_SCIHUB",
                                               "GENERAL_PARAMETERS_CMD"};

// "name SD" for a SCALAR Double; a MULTIPLE adds its sub-field shape and names.
std::string describe(const std::string& name, int shape, int type, int subShape = 0,
                     const std::vector<std::string>& subNames = {}) {
    constexpr std::string_view shapes = "SVMX", types = "IDS";
    std::string text = name + ' ' + shapes[static_cast<std::size_t>(shape)] +
                       (type >= 0 && type < 3 ? types[static_cast<std::size_t>(type)] : '?');
    if (shape == CORBS_DS_MULTIPLE) {
        text += std::string(" ") + shapes[static_cast<std::size_t>(subShape)];
        for (const std::string& sub : subNames) text += ' ' + sub;
    }
    return text;
}

std::vector<std::string> describe(const CSectionDescription& section) {
    std::vector<std::string> fields;
    for (const CFieldDescription& f : section.fields)
        fields.push_back(describe(f.name, f.shape, f.dataTypeId, f.subFieldShape, f.subFieldNames));
    return fields;
}

std::vector<std::string> sectionNames(const CSectionDataGroupDescription& description) {
    std::vector<std::string> names;
    for (int i = 0; i < description.getSectionsNbr(); ++i) names.push_back(description.getSection(i).name);
    return names;
}

// A core with the default environment of a temporary installation and the
// test schemas in its schema directory.
class SchemaTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        loadDefaultEnvironment();
        for (const char* name : {"PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd", "SchemaTestTypes.xsd", "BROKEN_CMD.xsd"})
            fs::copy_file(testData(name), schemas() / name);
    }
    static fs::path testData(const std::string& name) {
        return fs::path(ORBS_SOURCE_DIR) / "tests/data/schemas" / name;
    }
    fs::path schemas() const { return install() / "auxiliary/xml_schema_files"; }
    std::string example(const std::string& name) const { return std::string(ORBS_SOURCE_DIR) + "/examples/" + name; }
};

TEST_F(SchemaTest, FieldsOfEveryDeclarationForm) {
    CSectionDataGroupDescription description;
    // The root is matched as a substring; the schema is read as given.
    ASSERT_EQ(description.init((schemas() / "PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd").string(), "SCHEMA_TEST"), 1);
    // The element after the root's sequence ends the section list.
    EXPECT_EQ(sectionNames(description), (std::vector<std::string>{"UNTYPED_SECTION", "MAIN_SCHEMA_TEST_CMD",
                                                                   "SCHEMA_TEST_SERVICE_SECTION",
                                                                   "SCHEMA_TEST_INT_SECTION"}));
    EXPECT_TRUE(description.getSection(0).fields.empty());
    EXPECT_EQ(describe(description.getSection(1)),
              (std::vector<std::string>{"count SI", "flag SS", "kernel SS", "orbits VI", "grid MD", "ratio SD",
                                        "labels VS", "track XD V lat lon", "pair XI S first third",
                                        "referenced MS"}));
    // A shape without a data type is still a field.
    EXPECT_EQ(describe(description.getSection(3)), std::vector<std::string>{"small S?"});
    // Section lookup: the first name containing the text.
    EXPECT_EQ(description.getSection("SCHEMA_TEST")->name, "MAIN_SCHEMA_TEST_CMD");
    EXPECT_EQ(description.getSection("ABSENT"), nullptr);

    EXPECT_EQ(description.init("", "NO_SUCH_SCHEMA_CMD"), 0);
    EXPECT_EQ(description.init((schemas() / "PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd").string(), "NO_SUCH_ROOT"), 0);
    EXPECT_EQ(raisedCode([&] { description.init("", "BROKEN_CMD"); }), ORBS_EC_XML_NOT_PARSED);
}

TEST_F(SchemaTest, CommandSetsFromTheShippedExamples) {
    CSectionDataGroup aux;
    const std::string auxFile = example("sentinel_auxiliaries.sml");
    ASSERT_EQ(aux.initFromParameterFile(kAux, "IDL_ENVI_ENV", auxFile,
                                        {"MAIN_SENTINEL_AUXILIARIES_CMD", "ORBSNT_SERVICE_SENTINELQC"}),
              1);
    // The general parameters come from the first command set of the
    // process, here one without their section; later sets do not reload them.
    ASSERT_NE(NorvikCore::get_generals_par_ptr(), nullptr);
    EXPECT_FALSE(NorvikCore::get_quick_look_tiff());
    EXPECT_EQ(NorvikCore::get_input_parameters_file_name(), auxFile);

    CSectionDataGroup hub;
    ASSERT_EQ(hub.initFromParameterFile(kHub, "IDL_ENVI_ENV", example("scihub/box.sml"), kHubSections), 1);
    EXPECT_EQ(hub["GENERAL_PARAMETERS_CMD.quick_look_format"].getString(), "tiff");
    EXPECT_FALSE(NorvikCore::get_quick_look_tiff());  // not reloaded: this file names "tiff"
    EXPECT_EQ(NorvikCore::get_input_parameters_file_name(), auxFile);

    // Placeholders of a template read as the reserved values.
    ASSERT_EQ(hub.initFromParameterFile(kHub, "IDL_ENVI_ENV", example("templates/main_scihub_get.sml"), kHubSections),
              1);
    EXPECT_DOUBLE_EQ(hub["MAIN_SCI_HUB_GET_CMD.west_coord"].getDouble(), CORBS_USER_PARAMETER_TO_FILL_DBL);
    EXPECT_EQ(hub["MAIN_SCI_HUB_GET_CMD.relativeorbitnumber"].getInteger(), CORBS_USER_OPTIONAL_PARAMETER_INT);
    EXPECT_EQ(hub["MAIN_SCI_HUB_GET_CMD.progress_file_name"].getString(), "USER_PARAMETER_TO_FILL");
}

}  // namespace
}  // namespace orbs_test
