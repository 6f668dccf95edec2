// The product search's parameters: read, defaulted, completed and written
// back as "updated_in_parameters.sml" beside the progress file.
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "orbs_command_parameters.h"
#include "orbs_core_generic_utility.h"
#include "orbs_core_time_man_utility.h"
#include "orbs_errors.h"
#include "orbs_scihub_get.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceDebug;

namespace {

constexpr const char* kDescription = "PARAMETERS_INFO_SCI_HUB_GET_CMD";
constexpr const char* kEnvironment = "IDL_ENVI_ENV";
constexpr const char* kAll = "ALL";
constexpr int ORBS_EC_AOI_NOT_CONVERTED = 70034;

std::string mainKey(const char* field) { return std::string("MAIN_SCI_HUB_GET_CMD.") + field; }

// The folder of a path, created when missing (a folder that cannot be
// created is the missing file the command cannot go on without).
std::string folderOf(const std::string& path) {
    std::string drive, directory, name, extension;
    fdfSplitPath(path, drive, directory, name, extension);
    if (!directory.empty() && !fdfExistFile(directory) && fdfCreateDir(directory) == 0)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_FOUND, CORBS_SCIHUB_SOURCE, __LINE__, directory);
    return directory;
}

std::string withoutTrailingSlash(std::string path) {
    if (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

// The folder the archives are unzipped into, from the unzip_to_dir value:
// everything before its last "/" (a value ending in "/" loses that "/").
std::string unzipFolder(const std::string& value) {
    if (value.empty()) return ".";
    const std::size_t slash = value.rfind('/');
    return slash == std::string::npos ? std::string() : value.substr(0, slash);
}

// A corner counts as given when it lies outside the range of values too
// small for a single-precision number (a not-a-number counts as given).
bool isGivenCoordinate(double value) {
    const double smallest = std::numeric_limits<float>::min();
    return !(value >= -smallest && value <= smallest);
}

void readBoundingBox(CHubSearchRequest& request) {
    CSectionDataGroup& set = *request.m_parameters;
    request.m_west = set[mainKey("west_coord")].getDouble();
    request.m_north = set[mainKey("north_coord")].getDouble();
    request.m_east = set[mainKey("east_coord")].getDouble();
    request.m_south = set[mainKey("south_coord")].getDouble();
    request.m_coordinates_given = isGivenCoordinate(request.m_west) || isGivenCoordinate(request.m_north) ||
                                  isGivenCoordinate(request.m_east) || isGivenCoordinate(request.m_south);
    if (!request.m_coordinates_given)
        request.m_west = request.m_north = request.m_east = request.m_south = CORBS_NO_COORDINATE;
}

// The date of a field and whether it names a date.
void readDate(const CSectionDataGroup& set, const char* field, std::string& date, bool& given) {
    date = textOr(set, mainKey(field), "[empty]");
    given = !isEmptyDate(date);
}

std::vector<std::string> imageNames(CSectionDataGroup& set) {
    CSectionField& list = set[mainKey("input_file_optional_list")];
    std::vector<std::string> names;
    for (int i = 0; i < list.getColNbr(); ++i) names.push_back(list.getString(i));
    return names;
}

}  // namespace

bool readHubSearchParameters(CHubSearchRequest& request, const std::string& parameterFile) {
    request.m_parameter_file = parameterFile;
    CSectionDataGroup& set = *request.m_parameters;
    if (set.initFromParameterFile(kDescription, kEnvironment, parameterFile,
                                  {"MAIN_SCI_HUB_GET_CMD", "ORBSNT_SERVICE_SCIHUB", "ORBSNT_USER_SCIHUB",
                                   "GENERAL_PARAMETERS_CMD"}) == 0)
        return false;

    const std::string progressFile = set[mainKey("progress_file_name")].getString();
    const std::string progressFolder = folderOf(progressFile);
    request.m_platform = textOr(set, mainKey("platformname"), kAll);

    if (const std::optional<std::string> unzip = optionalText(set, mainKey("unzip_to_dir"))) {
        request.m_unzip_to_dir = unzipFolder(*unzip);
        if (!unzip->empty() && NorvikCore::get_trace_level() >= 1) {
            std::ofstream& trace = NorvikCore::get_process_trace_stream();
            trace << "   Unzip to dir: '" << request.m_unzip_to_dir << "'\n";
            trace.flush();
        }
    }

    request.m_progress_file_name = progressFile;
    request.m_output_folder = withoutTrailingSlash(progressFolder);
    traceDebug("NOT INIT temp_directory m_output_folder:%s\n", request.m_output_folder.c_str());
    set.setValue("ORBSNT_SERVICE_SCIHUB.temp_directory", request.m_output_folder);
    traceDebug("set temp_directory:%s\n", request.m_output_folder.c_str());

    request.m_sensor_mode = textOr(set, mainKey("sensoroperationalmode"), kAll);
    request.m_product_type = textOr(set, mainKey("producttype"), kAll);
    request.m_orbit_direction = textOr(set, mainKey("ascending_or_descending"), kAll);
    request.m_polarisation = textOr(set, mainKey("polarisationmode"), kAll);
    request.m_username = set["ORBSNT_USER_SCIHUB.username"].getString();
    request.m_password = set["ORBSNT_USER_SCIHUB.password"].getString();

    if (const std::optional<std::string> area = optionalText(set, mainKey("input_shape"))) {
        request.m_input_shape = *area;
        if (!convertAreaFile(*area, request.m_output_folder + "/out_aoi", request.m_input_shape)) {
            traceDebug("Error input roi convertion to shp file: %d\n", ORBS_EC_AOI_NOT_CONVERTED);
            NORBS_ERROR_MANAGER::logPrint("\n Error input roi convertion to shp file: %d", ORBS_EC_AOI_NOT_CONVERTED);
            return false;
        }
    }

    request.m_preview_only = isOkOption(set, mainKey("preview_only"));
    request.m_unzip_files = isOkOption(set, mainKey("unzip_files"));
    request.m_delete_zipped_files = isOkOption(set, mainKey("delete_zipped_files"));
    request.m_wait_until_finish = isOkOption(set, mainKey("wait_until_finish_flag"));

    if (set[mainKey("input_file_optional_list")].isInitField())
        boundingBoxOfImages(request, imageNames(set));
    else
        readBoundingBox(request);

    readDate(set, "initial_date_interval", request.m_initial_date, request.m_initial_date_given);
    readDate(set, "final_date_interval", request.m_final_date, request.m_final_date_given);

    const int orbit = set[mainKey("relativeorbitnumber")].getInteger();
    if (orbit >= 0) request.m_relative_orbits.push_back(std::to_string(orbit));

    request.m_parameter_file = request.m_output_folder + "/updated_in_parameters.sml";
    if (set.writeToFile(request.m_parameter_file, false, false) == 0)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_WRITE_FAILED, CORBS_SCIHUB_SOURCE, __LINE__, request.m_parameter_file);
    // The copy holds the hub password: only its owner may read it.
    ::chmod(request.m_parameter_file.c_str(), S_IRUSR | S_IWUSR);
    return true;
}
