// Reading the map definition files into a system (read_map_info,
// check_map_info) and writing a system's ".prj" file.
#include "orbs_read_write_map_info.h"

#include <algorithm>
#include <fstream>
#include <span>
#include <vector>

#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_transform_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

constexpr const char* kSource = "orbiscan_utility/tools_library/orbs_read_write_map_info";

// The numeric keys: how many values a file must give and where they go.
struct NumberKey {
    const char* key;
    int shape;
    std::size_t count;
    void (*store)(YDF_MAP& system, std::size_t index, double value);
};

const NumberKey kNumberKeys[] = {
    {"abw", CORBS_DS_VECTOR, 2, [](YDF_MAP& m, std::size_t i, double v) { m.mAbw[i] = v; }},
    {"abg", CORBS_DS_VECTOR, 2, [](YDF_MAP& m, std::size_t i, double v) { m.mAbg[i] = v; }},
    {"abl", CORBS_DS_VECTOR, 2, [](YDF_MAP& m, std::size_t i, double v) { m.mAbl[i] = v; }},
    {"ak0", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mAk0 = v; }},
    {"bk0", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mBk0 = v; }},
    {"k0", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mK0 = v; }},
    {"cx", CORBS_DS_VECTOR, 12, [](YDF_MAP& m, std::size_t i, double v) { m.mCx[i] = v; }},
    {"cy", CORBS_DS_VECTOR, 12, [](YDF_MAP& m, std::size_t i, double v) { m.mCy[i] = v; }},
    {"dx", CORBS_DS_VECTOR, 12, [](YDF_MAP& m, std::size_t i, double v) { m.mDx[i] = v; }},
    {"dy", CORBS_DS_VECTOR, 12, [](YDF_MAP& m, std::size_t i, double v) { m.mDy[i] = v; }},
    {"dsp", CORBS_DS_VECTOR, 9, [](YDF_MAP& m, std::size_t i, double v) { m.mDsp[i] = v; }},
    {"ex", CORBS_DS_VECTOR, 11, [](YDF_MAP& m, std::size_t i, double v) { m.mEx[i] = v; }},
    {"rmat", CORBS_DS_MATRIX, 9, [](YDF_MAP& m, std::size_t i, double v) { m.mRmat[i / 3][i % 3] = v; }},
    {"phi0", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mPhi0 = v; }},
    {"phi1", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mPhi1 = v; }},
    {"cm", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mCentralMeridian = v; }},
    {"x0", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mFalseEasting = v; }},
    {"y0", CORBS_DS_SCALAR, 1, [](YDF_MAP& m, std::size_t, double v) { m.mFalseNorthing = v; }},
};

// The keys of the admissible names.
struct ListKey {
    const char* key;
    std::vector<std::string> CMapInfoLists::*list;
};

const ListKey kListKeys[] = {
    {"hemisphere", &CMapInfoLists::hemispheres}, {"projection", &CMapInfoLists::projections},
    {"zone", &CMapInfoLists::zones},             {"ellipsoid", &CMapInfoLists::ellipsoids},
    {"datumshift", &CMapInfoLists::datumShifts},
};

std::string upper(std::string text) { return fdfToUpper(text); }

// Reads map files into a system, each field from the first file that sets
// it (the files come in decreasing priority).
class MapFileReader {
public:
    MapFileReader(YDF_MAP& system, CMapInfoLists& lists) : mSystem(system), mLists(lists) {
        mSet.setHeaderName(CORBS_MAP_FILE_ROOT);
        mSet.addSection(forbsCreateMapSection());
        if (fdfGetEnv(mDirectory, "ORBISCAN_MAP_FILES_DIR") != 0) {
            raiseError(ORBS_EC_ENVIRONMENT, kSource, __LINE__, "ORBISCAN_MAP_FILES_DIR");
        }
        const std::string listPath = mDirectory + CORBS_MAP_LIST_FILE;
        if (fdfExistFile(listPath)) {
            for (std::string& line : fdfReadTextLines(listPath, false, '#').value_or(std::vector<std::string>{})) {
                if (!line.empty()) mNames.push_back(upper(line));
            }
        }
        if (mNames.empty()) raiseError(ORBS_EC_ENVIRONMENT, kSource, __LINE__, listPath);
    }

    // Reads "<prefix><name>_map"; raises 40002 when the list does not name
    // it or it is not there.
    void read(const std::string& prefix, const std::string& name) {
        const std::string fileName = prefix + name + "_map";
        const std::string path = mDirectory + fileName;
        if (std::find(mNames.begin(), mNames.end(), upper(fileName)) == mNames.end() || !fdfExistFile(path)) {
            traceDebug("Error: missing map file %s\n", fileName.c_str());
            raiseError(ORBS_EC_FILE_NOT_FOUND, kSource, __LINE__, fileName);
        }
        if (mSet.readFromXMLFile(path, CORBS_MAP_SECTION) == 0) {
            raiseError(ORBS_EC_FILE_NOT_OPENED, kSource, __LINE__, path);
        }
        const CSectionData& section = *mSet.getSection(CORBS_MAP_SECTION);
        for (std::size_t k = 0; k < std::size(kNumberKeys); ++k) takeNumbers(section, k);
        for (std::size_t k = 0; k < std::size(kListKeys); ++k) takeList(section, k);
    }

private:
    void takeNumbers(const CSectionData& section, std::size_t k) {
        const NumberKey& key = kNumberKeys[k];
        const CSectionField* field = section.findField(key.key);
        if (field == nullptr || !field->isInitField(false)) return;
        const std::size_t cols = static_cast<std::size_t>(std::max(field->getColNbr(), 0));
        const std::size_t values = static_cast<std::size_t>(std::max(field->getRowNbr(), 0)) * cols;
        if (values < key.count) {
            traceDebug("Map field %s holds %zu values, %zu needed\n", key.key, values, key.count);
            raiseError(ORBS_EC_MAP_FIELD, kSource, __LINE__, CORBS_MAP_FILE_TEXT);
        }
        if (mNumbersTaken[k]) return;
        mNumbersTaken[k] = true;
        for (std::size_t i = 0; i < key.count; ++i) {
            const int row = static_cast<int>(i / cols);
            const int col = static_cast<int>(i % cols);
            key.store(mSystem, i, field->getDouble(row, col));
        }
    }

    void takeList(const CSectionData& section, std::size_t k) {
        const CSectionField* field = section.findField(kListKeys[k].key);
        if (mListsTaken[k] || field == nullptr || !field->isInitField(false)) return;
        mListsTaken[k] = true;
        std::vector<std::string>& list = mLists.*(kListKeys[k].list);
        for (int i = 0; i < field->getColNbr(); ++i) {
            if (field->isElementSet(0, i)) list.push_back(upper(field->getString(i)));
        }
    }

    YDF_MAP& mSystem;
    CMapInfoLists& mLists;
    CSectionDataGroup mSet;
    std::string mDirectory;
    std::vector<std::string> mNames;  // of map_list, in upper case
    bool mNumbersTaken[std::size(kNumberKeys)] = {};
    bool mListsTaken[std::size(kListKeys)] = {};
};

// The default of a name: the first admissible entry.
void completeName(std::string& name, const std::vector<std::string>& admissible) {
    if (name.empty() && !admissible.empty()) name = admissible.front();
}

// The default projection: the first admissible entry the projection table
// knows (a map file may list names of other suites first), else the first.
void completeProjection(std::string& name, const std::vector<std::string>& admissible) {
    if (!name.empty() || admissible.empty()) return;
    const auto known = std::find_if(admissible.begin(), admissible.end(), [](const std::string& entry) {
        return NORBS_MAP_TRANSFORM::findProjection(entry) != nullptr;
    });
    name = known != admissible.end() ? *known : admissible.front();
}

bool admissible(const std::string& name, const std::vector<std::string>& list, const char* label) {
    if (name.empty() || list.empty() || std::find(list.begin(), list.end(), name) != list.end()) return true;
    traceDebug("%s not found [%s]\n", label, name.c_str());
    return false;
}

}  // namespace

std::unique_ptr<CSectionData> forbsCreateMapSection() {
    CSectionDescription description;
    description.name = CORBS_MAP_SECTION;
    description.fields.push_back({"state", CORBS_DS_SCALAR, CORBS_DS_STRING, 0, {}});
    for (const ListKey& key : kListKeys) {
        description.fields.push_back({key.key, CORBS_DS_VECTOR, CORBS_DS_STRING, 0, {}});
    }
    for (const NumberKey& key : kNumberKeys) {
        description.fields.push_back({key.key, key.shape, CORBS_DS_DOUBLE, 0, {}});
    }
    return buildSection(description);
}

CMapInfoLists YDF_MAP::read_map_info(CMapNames& names) {
    if (names.state.empty()) {
        raiseError(ORBS_EC_MAP_INFO, kSource, __LINE__, "State specified in the Image header or GCP File is invalid.");
    }
    CMapInfoLists lists;
    MapFileReader reader(*this, lists);
    reader.read("state_", names.state);

    completeName(names.hemisphere, lists.hemispheres);
    if (names.hemisphere.empty() && names.state == CORBS_GEO_GLOBAL) names.hemisphere = "NORTH";
    if (!names.hemisphere.empty()) reader.read("hemisphere_", names.hemisphere);

    completeProjection(names.projection, lists.projections);
    if (!names.projection.empty()) reader.read("projection_", names.projection);

    completeName(names.zone, lists.zones);
    if (!names.zone.empty()) reader.read("zone_" + names.hemisphere + "_", names.zone);

    completeName(names.ellipsoid, lists.ellipsoids);
    if (!names.ellipsoid.empty()) reader.read("ellipsoid_", names.ellipsoid);

    completeName(names.datumShift, lists.datumShifts);
    if (!names.datumShift.empty()) reader.read("datumshift_", names.datumShift);
    return lists;
}

bool YDF_MAP::check_map_info(const CMapNames& names, const CMapInfoLists& lists) {
    // Every name is checked, so that the trace lists each one that fails.
    bool problem = !admissible(names.hemisphere, lists.hemispheres, "Hemisphere");
    problem = !admissible(names.projection, lists.projections, "Projrction") || problem;
    problem = !admissible(names.zone, lists.zones, "Zone") || problem;
    problem = !admissible(names.ellipsoid, lists.ellipsoids, "Ellipsoid") || problem;
    problem = !admissible(names.datumShift, lists.datumShifts, "Datum shift") || problem;
    return problem;
}

bool YDF_MAP::writePrjFile(const std::string& fileName) const {
    const std::string wkt = getWkt();
    if (wkt.size() < 2) return false;
    std::string path = fileName;
    if (fdfEndsWith(path, ".shp") || fdfEndsWith(path, ".prj")) path.resize(path.size() - 4);
    path += ".prj";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << wkt;
    out.close();
    return static_cast<bool>(out);
}
