// The product search: its parameters (the search request), the area of
// interest and the hub query handed to the downloader HubFetch.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orbs_description_section.h"

inline constexpr const char* CORBS_SCIHUB_SOURCE = "source/orbs_scihub_get";

// Bounding box value of a box that was not given.
constexpr double CORBS_NO_COORDINATE = -9999.0;

// The search request: the command's parameter set and the values read,
// defaulted and completed from it.
struct CHubSearchRequest {
    std::unique_ptr<CSectionDataGroup> m_parameters = std::make_unique<CSectionDataGroup>();
    std::string m_parameter_file;  // the given file; at the end the written copy
    std::string m_query;
    std::string m_progress_file_name;
    std::string m_unzip_to_dir;
    std::string m_output_folder;  // folder of the progress file, without a trailing "/"
    std::string m_orbit_direction;
    std::string m_sensor_mode;
    std::string m_input_shape;  // shapefile of the area after conversion
    std::string m_product_type;
    std::string m_username;
    std::string m_password;
    std::string m_polarisation;
    std::string m_platform;
    std::vector<std::string> m_relative_orbits;
    double m_west = CORBS_NO_COORDINATE;
    double m_north = CORBS_NO_COORDINATE;
    double m_east = CORBS_NO_COORDINATE;
    double m_south = CORBS_NO_COORDINATE;
    std::string m_initial_date = "[empty]";
    std::string m_final_date = "[empty]";
    bool m_coordinates_given = false;
    bool m_initial_date_given = false;
    bool m_final_date_given = false;
    bool m_preview_only = false;
    bool m_unzip_files = false;
    bool m_delete_zipped_files = false;
    bool m_wait_until_finish = false;
};

// Reads, defaults and completes the request from the command's parameter
// file and writes the completed set as "updated_in_parameters.sml" next to
// the progress file.  False when the file cannot be read or the area cannot
// be converted; the other failures are raised.
bool readHubSearchParameters(CHubSearchRequest& request, const std::string& parameterFile);

// The hub query of the request; also stored in m_query and written to the
// query file (the progress file + "_query.txt").
std::string buildHubQuery(CHubSearchRequest& request);

// A KML or KMZ area becomes a temporary shapefile (registered for deletion
// at the end of the run); any other file is taken as it is.  `outputBase`
// is a path without extension.  False when a KMZ cannot be opened.
bool convertAreaFile(const std::string& input, const std::string& outputBase, std::string& shapefile);

// The bounding box of the area of a list of images (their footprint).
void boundingBoxOfImages(CHubSearchRequest& request, const std::vector<std::string>& images);
