// Descriptions of parameter sets (XML Schema and ".key" files), the sets
// shaped from them and the command entry point initFromParameterFile.
#include <gtest/gtest.h>

#include <string_view>

#include "core_test_support.h"
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

TEST_F(SchemaTest, IncludeLineIsReplacedByTheIncludedFile) {
    const std::string flattened = prepareSchema("PARAMETERS_INFO_SCHEMA_TEST_CMD");
    EXPECT_EQ(flattened, (work() / "PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd").string());
    // Line 4 is the include line.
    std::vector<std::string> expected = readLines(testData("PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd"));
    const std::vector<std::string> included = readLines(testData("SchemaTestTypes.xsd"));
    expected.erase(expected.begin() + 3);
    expected.insert(expected.begin() + 3, included.begin(), included.end());
    EXPECT_EQ(readLines(flattened), expected);

    // An explicit output path; a name already ending in ".xsd" gets no second one.
    const std::string chosen = (dir() / "flat.xsd").string();
    EXPECT_EQ(prepareSchema("PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd", chosen), chosen);
    EXPECT_EQ(readLines(chosen), expected);

    fdfSetEnv(nullptr, "ORBISCAN_WORKING_DIR");
    EXPECT_EQ(raisedCode([] { prepareSchema("PARAMETERS_INFO_SCHEMA_TEST_CMD"); }), ORBS_EC_ENVIRONMENT);
}

TEST_F(SchemaTest, FieldsOfEveryDeclarationForm) {
    CSectionDataGroupDescription description;
    // The root is matched as a substring; the schema is read as given.
    ASSERT_EQ(description.init((schemas() / "PARAMETERS_INFO_SCHEMA_TEST_CMD.xsd").string(), "SCHEMA_TEST"), 1);
    EXPECT_EQ(description.getRootName(), "SCHEMA_TEST");
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

TEST_F(SchemaTest, SetShapedFromDescription) {
    CSectionDataGroupDescription description;
    ASSERT_EQ(description.init("", "PARAMETERS_INFO_SCHEMA_TEST_CMD"), 1);
    CSectionDataGroup set;
    ASSERT_EQ(set.init(&description, {"SERVICE", "MAIN_SCHEMA"}), 1);
    ASSERT_EQ(set.getSectionsNbr(), 2);
    EXPECT_EQ(set.getSection(0)->getName(), "SCHEMA_TEST_SERVICE_SECTION");
    // Each MULTIPLE is followed by its sub-fields, found by key.
    const CSectionData& main = *set.getSection("MAIN_SCHEMA_TEST_CMD");
    EXPECT_EQ(main.getFieldsNbr(), 14);
    EXPECT_EQ(main.getField(9)->getName(), "lon");
    EXPECT_EQ(set["MAIN_SCHEMA_TEST_CMD.lon"].getParentIndex(), 7);
    EXPECT_EQ(set["MAIN_SCHEMA_TEST_CMD.lon"].getShape(), CORBS_DS_VECTOR);
    EXPECT_EQ(set["MAIN_SCHEMA_TEST_CMD.third"].getParentIndex(), 10);
    // A field without data type cannot be shaped.
    EXPECT_EQ(raisedCode([&] { set.init(&description, {"SCHEMA_TEST_INT_SECTION"}); }), ORBS_EC_DATA_TYPE);

    EXPECT_EQ(set.init(&description, {"SERVICE", "NO_SUCH_SECTION"}), 0);
    EXPECT_EQ(set.getSectionsNbr(), 0);
    EXPECT_EQ(set.init(nullptr, {"SERVICE"}), 0);
}

// The general section is the same in every command schema (the sections the
// commands read are found by CommandSetsFromTheShippedExamples).
TEST_F(SchemaTest, ShippedSchemasDescribeTheCommandSectionsAndTheRasterHeader) {
    CSectionDataGroupDescription hub, aux;
    ASSERT_EQ(hub.init("", kHub), 1);
    ASSERT_EQ(aux.init("", kAux), 1);
    EXPECT_EQ(describe(*hub.getSection("GENERAL_PARAMETERS_CMD")), describe(*aux.getSection("GENERAL_PARAMETERS_CMD")));

    CSectionDataGroupDescription header;
    ASSERT_EQ(header.init("", ""), 1);
    EXPECT_EQ(header.getSectionsNbr(), 20);  // the xs:anyType sections included, without fields
    CSectionDataGroup set;
    ASSERT_EQ(set.init(&header, {"RasterInfo", "RegistrationCoordinates"}), 1);
    EXPECT_EQ(set.getSection(0)->getName(), "RasterInfo");  // not GCPRasterInfo
    EXPECT_EQ(describe("", set["RasterInfo.OtherInfo"].getShape(), set["RasterInfo.OtherInfo"].getDataTypeId()), " MS");
}

TEST_F(SchemaTest, KeyDescriptionRecords) {
    const fs::path keys = install() / "auxiliary/key_files";
    // Records end at ";" only; the section record may follow "\r\n".
    writeFile(keys / "Track.key", "notes; ratio = F;\r\n[Other]; skipped = I;\r\n[Track];\r\n count\t=\tI ;\n"
                                  "pos =\n 3VD lat lon\n height; rate = D;[Later]; tail = S;");
    CSectionDataGroup set(std::vector<std::string>{"Track"});
    const CSectionData& section = *set.getSection("Track");
    ASSERT_EQ(section.getFieldsNbr(), 7);
    EXPECT_EQ(section.getField(1)->getSubFieldsNbr(), 3);
    EXPECT_EQ(section.getField(4)->getName(), "height");
    EXPECT_EQ(section.getField(4)->getParentIndex(), 1);
    EXPECT_EQ(describe("", set["Track.lat"].getShape(), set["Track.lat"].getDataTypeId()), " VD");
    EXPECT_NE(set.findField("Track.tail"), nullptr);  // fields run to the end of the file
    EXPECT_EQ(set.findField("ratio"), nullptr);

    for (const char* record : {"bad = VX", "short = 3D a b", "bad = MVD", "bad = D3"}) {
        writeFile(keys / "Bad.key", std::string("[Bad]; good = I; ") + record + ";");
        EXPECT_EQ(raisedCode([] { CSectionDataGroup bad(std::vector<std::string>{"Bad"}); }), ORBS_EC_DATA_TYPE)
            << record;
    }
    EXPECT_EQ(raisedCode([] { CSectionDataGroup set(std::vector<std::string>{""}); }), ORBS_EC_SECTION_NAME_MISSING);
    writeFile(keys / "Unnamed.key", "[Other]; a = I;");
    EXPECT_EQ(raisedCode([] { CSectionDataGroup set(std::vector<std::string>{"Unnamed"}); }), ORBS_EC_FIELD_NOT_FOUND);

    std::string many = "[Many];";
    for (int i = 0; i < 5060; ++i) many += " f" + std::to_string(i) + " = I;";
    writeFile(keys / "Many.key", many);
    EXPECT_EQ(CSectionDataGroup(std::vector<std::string>{"Many"}).getSection(0)->getFieldsNbr(), 5050);
}

TEST_F(SchemaTest, CommandSetsFromTheShippedExamples) {
    CSectionDataGroup aux;
    const std::string auxFile = example("sentinel_auxiliaries.sml");
    ASSERT_EQ(aux.initFromParameterFile(kAux, "IDL_ENVI_ENV", auxFile,
                                        {"MAIN_SENTINEL_AUXILIARIES_CMD", "ORBSNT_SERVICE_SENTINELQC"}),
              1);
    EXPECT_EQ(aux["MAIN_SENTINEL_AUXILIARIES_CMD.output_folder"].getString(), "/tmp/orbiscan_aux_example");
    // The general parameters come from the first command set of the
    // process, here one without their section; later sets do not reload them.
    ASSERT_NE(NorvikCore::get_generals_par_ptr(), nullptr);
    EXPECT_FALSE(NorvikCore::get_quick_look_tiff());
    EXPECT_EQ(NorvikCore::get_input_parameters_file_name(), auxFile);

    CSectionDataGroup hub;
    ASSERT_EQ(hub.initFromParameterFile(kHub, "IDL_ENVI_ENV", example("scihub/box.sml"), kHubSections), 1);
    EXPECT_EQ(hub["MAIN_SCI_HUB_GET_CMD.relativeorbitnumber"].getInteger(), 117);
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

TEST_F(SchemaTest, CommandSetFailures) {
    CSectionDataGroup set;
    std::string text = readFile(example("scihub/box.sml"));
    text.replace(text.find(">IDL_ENVI_ENV<"), 14, ">OTHER_ENV<");
    writeFile(dir() / "other_env.sml", text);
    EXPECT_EQ(set.initFromParameterFile(kHub, "IDL_ENVI_ENV", (dir() / "other_env.sml").string(), kHubSections), 0);
    EXPECT_EQ(set["MAIN_SCI_HUB_GET_CMD.platformname"].getString(), "Sentinel-1");  // read before the check
    EXPECT_EQ(NorvikCore::get_generals_par_ptr(), nullptr);

    EXPECT_EQ(raisedCode([&] {
                  set.initFromParameterFile(kHub, "IDL_ENVI_ENV", (dir() / "absent.sml").string(), kHubSections);
              }),
              ORBS_EC_FILE_NOT_FOUND);
    EXPECT_EQ(set.initFromParameterFile("NO_SUCH_DESCRIPTION_CMD", "", "", {"MAIN"}), 0);
    EXPECT_EQ(set.initFromParameterFile(kHub, "", "", {"NO_SUCH_SECTION"}), 0);
}

TEST_F(SchemaTest, CopyAndCompatibilityOfSets) {
    CSectionDataGroup from, to;
    addMultiple(addSection(from, "MAIN", {{"count", S, I}, {"name", S, D}}), "pair", S, I, {"second", "first"});
    addMultiple(addSection(to, "MAIN", {{"count", S, I}, {"name", S, T}}), "pair", S, I, {"first", "second"});
    for (const auto& [key, value] : {std::pair("count", 3), std::pair("first", 1), std::pair("second", 2)})
        from.setValue(key, value);
    from.setValue("name", 1.5);
    to.setValue("name", std::string("kept"));
    EXPECT_EQ(to.copyDataSections(from), 1);
    // Sub-fields by name; another data type is not copied.
    EXPECT_EQ(to["count"].getInteger() * 100 + to["first"].getInteger() * 10 + to["second"].getInteger(), 312);
    EXPECT_EQ(to["name"].getString(), "kept");

    // A section missing in the other set; sections are matched by substring.
    addSection(to, "EXTRA", {});
    EXPECT_EQ(to.copyDataSections(from), 0);
    EXPECT_EQ(from.checkCompatibility(to), 0);
    addSection(from, "MAIN_EXTRA", {});
    EXPECT_EQ(from.checkCompatibility(to), 1);
}

}  // namespace
}  // namespace orbs_test
