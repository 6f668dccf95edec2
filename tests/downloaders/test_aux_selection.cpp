// AuxFetch's choice of files on generated catalogues: names, the orbit
// margin at its boundaries, newest creation, precise before restituted,
// restituted files joined, calibration files by validity and generation,
// periods, and the scope read from a parameter file.
#include <gtest/gtest.h>

#include <cmath>

#include "aux_scope.h"
#include "aux_select.h"
#include "fetch_failure.h"
#include "fetch_parameters.h"
#include "orbs_core_time_man_utility.h"
#include "temp_folder.h"
#include "test_files.h"

namespace {

using namespace NORBS_AUX;
namespace fs = std::filesystem;

std::string stamp(Instant t) {
    CTimeValue value;
    value.setTotalSeconds(t);
    const std::string compact = value.formatCompact();
    return compact.substr(0, 8) + "T" + compact.substr(8);
}

AuxFile orbit(char mission, AuxType type, Instant start, Instant stop, Instant created) {
    return *parseAuxName(std::string("S1") + mission + "_OPER_" + typeName(type) + "_OPOD_" + stamp(created) + "_V" +
                         stamp(start) + "_" + stamp(stop) + ".EOF");
}

AuxFile adf(char mission, AuxType type, Instant validity, Instant generation, std::optional<int> configuration = {}) {
    AuxFile f = *parseAuxName(std::string("S1") + mission + "_" + typeName(type) + "_V" + stamp(validity) + "_G" +
                              stamp(generation) + ".SAFE");
    f.configuration = configuration;
    return f;
}

const Instant t0 = *parseStamp("20190503T051200");
const Instant t1 = t0 + 25;
const Instant day = 86400;

Need product(char mission = 'A', std::optional<int> configuration = {}) {
    return {"the product", mission, t0, t1, configuration, false};
}

std::vector<std::string> names(const Choice& choice) {
    std::vector<std::string> result;
    for (const AuxFile& f : choice.files) result.push_back(f.name);
    return result;
}

// The selection tests below build their files through parseAuxName: here the
// names' normal forms, the odd mission letters and the names refused.
TEST(AuxNames, FileAndProductNamesGiveTypeMissionAndTimes) {
    const auto poe = parseAuxName("S1D_OPER_AUX_POEORB_OPOD_20190523T120000_V20190502T225942_20190504T005942");
    ASSERT_TRUE(poe);
    EXPECT_EQ(poe->name, "S1D_OPER_AUX_POEORB_OPOD_20190523T120000_V20190502T225942_20190504T005942.EOF");
    EXPECT_EQ(poe->mission, 'D');
    const auto cal = parseAuxName("S1__AUX_CAL_V20190415T000000_G20190505T120000.SAFE.zip");
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal->name, "S1__AUX_CAL_V20190415T000000_G20190505T120000.SAFE");
    EXPECT_EQ(cal->mission, '_');
    for (const char* bad : {"S1E_OPER_AUX_POEORB_OPOD_20190523T120000_V20190502T225942_20190504T005942.EOF",
                            "S1A_OPER_AUX_PREORB_OPOD_20190523T120000_V20190502T225942_20190504T005942.EOF",
                            "S1A_OPER_AUX_POEORB_OPOD_20190523T120000_V20190502T255942_20190504T005942.EOF",
                            "S1A_AUX_CAL_V20190230T000000_G20190505T120000.SAFE", "S1A_AUX_PP1_V20190415T000000_G20190505T120000.SAFE"})
        EXPECT_FALSE(parseAuxName(bad)) << bad;

    // Product names as the scope reads them: the AuxScope tests.
    for (const char* bad : {"S2A_MSIL1C_20190507T102031_N0207_R065_T32TQR_20190507T123456.SAFE",
                            "S1A_IW_GRDH_1SDV_20190503T051200_20190503T051225_027036_030000.SAFE", "S1A"})
        EXPECT_FALSE(parseProductName(bad)) << bad;
}

TEST(AuxSelection, OrbitMarginHoldsToTheSecond) {
    // A file must start an orbit and 60 s before the product and end 60 s after it.
    const Instant earliest = std::floor(t0 - kOrbitPeriod - kOrbitMargin);
    const struct { Instant start, stop; bool qualifies; } cases[] = {
        {earliest, t1 + 60, true},
        {earliest + 1, t1 + 60, false},
        {earliest, t1 + 59, false},
        {earliest - day, t1 + day, true},
    };
    for (const auto& c : cases) {
        for (const AuxType type : {AuxType::kPoeorb, AuxType::kResorb}) {
            const Choice choice = chooseOrbits(product(), {orbit('A', type, c.start, c.stop, t0 + day)});
            EXPECT_EQ(choice.files.size(), c.qualifies ? 1u : 0u) << stamp(c.start) << " " << stamp(c.stop);
        }
    }
}

TEST(AuxSelection, NewestCreationWinsAndPreciseComesBeforeRestituted) {
    const Instant start = t0 - day, stop = t0 + day;
    const AuxFile old = orbit('A', AuxType::kPoeorb, start, stop, t0 + 20 * day);
    const AuxFile reprocessed = orbit('A', AuxType::kPoeorb, start, stop, t0 + 400 * day);
    const AuxFile newerButShort = orbit('A', AuxType::kPoeorb, t0 - 100, stop, t0 + 500 * day);
    const AuxFile otherMission = orbit('B', AuxType::kPoeorb, start, stop, t0 + 600 * day);
    const AuxFile restituted = orbit('A', AuxType::kResorb, t0 - 3 * 3600, t0 + 3600, t0 + 700 * day);
    const struct { std::vector<AuxFile> catalogue; std::string chosen; } cases[] = {
        {{old, reprocessed, newerButShort, otherMission}, reprocessed.name},
        {{restituted, old}, old.name},
        {{restituted, otherMission, newerButShort}, restituted.name},
    };
    for (const auto& c : cases) EXPECT_EQ(names(chooseOrbits(product(), c.catalogue)), std::vector{c.chosen});
}

TEST(AuxSelection, TwoConsecutiveRestitutedFilesJoinWhenNoneCoversAlone) {
    const Instant earliest = t0 - kOrbitPeriod - kOrbitMargin;
    const AuxFile first = orbit('C', AuxType::kResorb, earliest - 600, t0 - 300, t0);
    const AuxFile second = orbit('C', AuxType::kResorb, earliest + 300, t1 + 900, t0 + 3600);
    const AuxFile third = orbit('C', AuxType::kResorb, t0 - 200, t1 + 9000, t0 + 7200);
    const AuxFile apart = orbit('C', AuxType::kResorb, t0 - 299, t1 + 900, t0 + 3600);  // starts after `first` ends

    Choice joined = chooseOrbits(product('C'), {third, second, first});
    EXPECT_EQ(names(joined), (std::vector{first.name, second.name}));
    EXPECT_NE(joined.note.find("joined"), std::string::npos);
    EXPECT_TRUE(chooseOrbits(product('C'), {first, apart}).files.empty());
    // A precise file, or a single restituted one, is always preferred.
    const AuxFile single = orbit('C', AuxType::kResorb, earliest - 60, t1 + 60, t0 - day);
    EXPECT_EQ(names(chooseOrbits(product('C'), {first, second, single})), std::vector{single.name});
    EXPECT_TRUE(chooseOrbits(product('D'), {first, second}).files.empty());
}

TEST(AuxSelection, CalibrationFilesByValidityThenGenerationAndConfiguration) {
    const AuxFile early = adf('A', AuxType::kCal, t0 - 100 * day, t0 - 101 * day, 6);
    const AuxFile current = adf('A', AuxType::kCal, t0 - 10 * day, t0 - 11 * day, 7);
    const AuxFile regenerated = adf('A', AuxType::kCal, t0 - 10 * day, t0 + 5 * day, 7);
    const AuxFile future = adf('A', AuxType::kCal, t0 + 1, t0, 7);
    const AuxFile atStart = adf('A', AuxType::kCal, t0, t0 - day);
    const AuxFile independent = adf('_', AuxType::kCal, t0 - 10 * day, t0 + 5 * day);
    const AuxFile instrument = adf('A', AuxType::kIns, t0 - day, t0 - day, 7);
    const AuxFile otherMission = adf('B', AuxType::kCal, t0 - day, t0 - day, 7);
    const struct { Need need; std::vector<AuxFile> catalogue; std::vector<std::string> chosen; } cases[] = {
        {product(), {early, current, regenerated, future, instrument, otherMission}, {regenerated.name}},
        {product('A', 6), {early, current, regenerated, future}, {early.name}},
        {product(), {early, current, atStart}, {atStart.name}},  // a validity start equal to the product's counts
        {product('B'), {early, independent, otherMission}, {otherMission.name}},
        {product('D'), {early, independent, otherMission}, {independent.name}},
        {product(), {independent, regenerated}, {regenerated.name}},  // same validity and generation: the mission's own
        {product(), {future}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names(chooseAdf(c.need, AuxType::kCal, c.catalogue)), c.chosen) << c.need.label;
}

TEST(AuxSelection, PeriodsTakeWhatIsValidDuringThem) {
    const Need period{"S1B period", 'B', t0, t0 + 3 * day, std::nullopt, true};
    // Precise files for the first two days (one in two versions), restituted
    // ones all along: only those reaching into the gap are taken.
    const AuxFile poe1 = orbit('B', AuxType::kPoeorb, t0 - 3600, t0 + day + 3600, t0 + 20 * day);
    const AuxFile poe1new = orbit('B', AuxType::kPoeorb, t0 - 3600, t0 + day + 3600, t0 + 30 * day);
    const AuxFile poe2 = orbit('B', AuxType::kPoeorb, t0 + day - 3600, t0 + 2 * day + 3600, t0 + 20 * day);
    const AuxFile resCovered = orbit('B', AuxType::kResorb, t0 + day, t0 + day + 12000, t0 + day);
    const AuxFile resAcross = orbit('B', AuxType::kResorb, t0 + 2 * day, t0 + 2 * day + 12000, t0 + 2 * day);
    const AuxFile resLate = orbit('B', AuxType::kResorb, t0 + 3 * day - 100, t0 + 3 * day + 12000, t0 + 3 * day);
    const AuxFile resAfter = orbit('B', AuxType::kResorb, t0 + 3 * day + 1, t0 + 3 * day + 12000, t0 + 3 * day);
    EXPECT_EQ(names(chooseOrbits(period, {poe1, poe1new, poe2, resCovered, resAcross, resLate, resAfter})),
              (std::vector{poe1new.name, poe2.name, resAcross.name, resLate.name}));

    const AuxFile old = adf('B', AuxType::kIns, t0 - 50 * day, t0 - 50 * day, 7);
    const AuxFile inForce = adf('B', AuxType::kIns, t0 - 5 * day, t0 - 5 * day, 7);
    const AuxFile inForceNew = adf('B', AuxType::kIns, t0 - 5 * day, t0 + day, 7);
    const AuxFile otherConfiguration = adf('B', AuxType::kIns, t0 - 7 * day, t0 - 7 * day, 8);
    const AuxFile during = adf('B', AuxType::kIns, t0 + day, t0, 7);
    const AuxFile after = adf('B', AuxType::kIns, t0 + 4 * day, t0, 7);
    EXPECT_EQ(names(chooseAdf(period, AuxType::kIns, {old, inForce, inForceNew, otherConfiguration, during, after})),
              (std::vector{inForceNew.name, during.name, otherConfiguration.name}));
}

class AuxScope : public TempFolderTest {
protected:
    Scope scope(const std::string& fields) {
        const fs::path file = mRoot / "par.sml";
        test_files::writeFile(file, "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD>\n"
                                    "<ORBSNT_SERVICE_SENTINELQC>" + fields + "</ORBSNT_SERVICE_SENTINELQC>\n"
                                    "</PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD>\n");
        return readScope(*NORBS_FETCH::CParameterFile::load(file.string()), *parseDate("2024-06-30T12:00:00"));
    }
    std::string refusal(const std::string& fields) {
        try {
            scope(fields);
        } catch (const NORBS_FETCH::CFetchFailure& failure) {
            EXPECT_EQ(failure.outcome(), NORBS_FETCH::Outcome::kBadArguments);
            return failure.what();
        }
        return "accepted";
    }
};

TEST_F(AuxScope, ProductsComeWithTheirManifestsConfiguration) {
    const std::string a = "S1A_IW_GRDH_1SDV_20190503T051200_20190503T051225_027036_030000_1A2F";
    const std::string b = "S1B_IW_GRDH_1SDV_20190509T051214_20190509T051239_015700_030002_1A31";
    const std::string c = "S1C_EW_GRDM_1SDH_20250101T010203_20250101T010230_000123_00ABCD_12EF";
    const std::string manifest = "<?xml version=\"1.0\"?><xfdu:XFDU xmlns:xfdu=\"urn:x\"><s1sarl1:instrumentConfigurationID>"
                                 " 6 </s1sarl1:instrumentConfigurationID></xfdu:XFDU>";
    test_files::writeFile(mRoot / "products" / (a + ".SAFE") / "manifest.safe", manifest);
    test_files::writeFile(mRoot / "zip" / (b + ".SAFE") / "manifest.safe",
                          "<m><instrumentConfigurationID>9</instrumentConfigurationID></m>");
    ASSERT_EQ(std::system(("cd '" + (mRoot / "zip").string() + "' && python3 -m zipfile -c '" +
                           (mRoot / "products" / (b + ".zip")).string() + "' " + b + ".SAFE")
                              .c_str()),
              0);
    test_files::writeFile(mRoot / "products" / "notes.txt", "not a product");
    // A manifest that is no XML, or gives no number, gives no configuration.
    const std::string d = "S1A_IW_GRDH_1SDV_20190504T051200_20190504T051225_027051_030000_1A2F";
    const std::string e = "S1A_IW_GRDH_1SDV_20190505T051200_20190505T051225_027066_030000_1A2F";
    test_files::writeFile(mRoot / "products" / (d + ".SAFE") / "manifest.safe", "<m><instrumentConfigurationID>7");
    test_files::writeFile(mRoot / "products" / (e + ".SAFE") / "manifest.safe",
                          "<m><instrumentConfigurationID>7b</instrumentConfigurationID></m>");

    const Scope s = scope("<missions>S1A, S1B,S1C</missions><products_folder>" + (mRoot / "products").string() +
                          "</products_folder><products_list>" + c + ".SAFE," + a + "</products_list>");
    // The folder by name, then the list without the repeated product.
    std::vector<std::pair<std::string, std::optional<int>>> needs;
    for (const Need& n : s.needs) needs.emplace_back(n.label, n.configuration);
    EXPECT_EQ(needs, (decltype(needs){{a, 6}, {d, {}}, {e, {}}, {b, 9}, {c, {}}}));
    EXPECT_EQ(s.needs.back().mission, 'C');
    const Scope onlyB = scope("<missions>S1B</missions><products_list>" + a + "," + b + "</products_list>");
    ASSERT_EQ(onlyB.needs.size(), 1u);
    EXPECT_EQ(onlyB.notes.size(), 1u);
}

TEST_F(AuxScope, PeriodsAndRefusals) {
    const Scope fallback = scope("");
    ASSERT_EQ(fallback.needs.size(), 4u);  // every mission
    EXPECT_TRUE(fallback.needs[3].period);
    const Scope dates = scope("<missions>S1D</missions><start_date>2019-05-01</start_date>"
                              "<stop_date>2019-05-02T06:00:00</stop_date>");
    ASSERT_EQ(dates.needs.size(), 1u);
    EXPECT_EQ(dates.needs[0].stop - dates.needs[0].start, 30 * 3600.0);

    const struct { std::string fields; std::string says; } refused[] = {
        {"<missions>S1A,S2A</missions>", "S2A"},
        {"<missions> , </missions>", "names no mission"},
        {"<products_list>S1A_nothing</products_list>", "S1A_nothing"},
        {"<products_list>x</products_list><start_date>2019-05-01</start_date>", "not both"},
        {"<start_date>2019-05-32</start_date>", "start_date"},
        {"<start_date>2019-05-02</start_date><stop_date>2019-05-01</stop_date>", "after"},
        {"<products_folder>" + (mRoot / "none").string() + "</products_folder>", "cannot read"},
    };
    for (const auto& r : refused) EXPECT_NE(refusal(r.fields).find(r.says), std::string::npos) << r.fields;
}

}  // namespace
