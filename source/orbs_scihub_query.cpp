// The hub query: attribute clauses, the footprint polygon and the sensing
// date range, joined by " AND ", written to the query file HubFetch reads.
#include <algorithm>
#include <fstream>

#include "orbs_command_parameters.h"
#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_runtime_services.h"
#include "orbs_scihub_get.h"
#include "orbs_shape_utility.h"

namespace {

constexpr const char* kAll = "ALL";
constexpr const char* kAnd = " AND ";
constexpr const char* kFootprintOpening = "(footprint:\"Intersects(POLYGON((";
constexpr std::size_t kMaxPolygonPoints = 200;
constexpr double kWideArea = 10.0;  // degrees: a wider area is warned about
constexpr int ORBS_EC_DATE_NOT_VALID = 70006;

std::string quoted(const std::string& value) { return "\"" + value + "\""; }

std::string vertex(double longitude, double latitude) { return fdfFormat("%4.5f %4.5f,", longitude, latitude); }

std::string closingVertex(double longitude, double latitude) {
    return fdfFormat("%4.5f %4.5f)))\")", longitude, latitude);
}

// The attribute filters, each followed by " AND ".
std::string attributeClauses(const CHubSearchRequest& request) {
    std::string text;
    if (request.m_product_type != kAll) text += "productType:" + quoted(request.m_product_type) + kAnd;
    if (request.m_platform != kAll) text += "platformname:" + quoted(request.m_platform) + kAnd;
    if (request.m_sensor_mode != kAll) text += "sensorOperationalMode:" + quoted(request.m_sensor_mode) + kAnd;
    if (request.m_polarisation != kAll) text += "polarisationMode:" + request.m_polarisation + kAnd;
    if (request.m_orbit_direction != kAll) text += "orbitDirection:" + quoted(request.m_orbit_direction) + kAnd;
    const std::vector<std::string>& orbits = request.m_relative_orbits;
    if (!orbits.empty()) {
        text += "(";
        for (std::size_t i = 0; i < orbits.size(); ++i)
            text += "relativeOrbitNumber:" + quoted(orbits[i]) + (i + 1 < orbits.size() ? " OR " : ")");
        text += kAnd;
    }
    return text;
}

std::string boxFootprint(const CHubSearchRequest& r) {
    return kFootprintOpening + vertex(r.m_east, r.m_north) + vertex(r.m_west, r.m_north) +
           vertex(r.m_west, r.m_south) + vertex(r.m_east, r.m_south) + closingVertex(r.m_east, r.m_north) + kAnd;
}

[[noreturn]] void refuseShape(int line, const std::string& text) {
    NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, CORBS_SCIHUB_SOURCE, line, text);
}

// The polygon of the area's shapefile, closed by repeating its first point.
std::string shapeFootprint(const std::string& shapefile) {
    CShapeSet shapes;
    if (!shapes.InitFromShapeFile(shapefile)) refuseShape(__LINE__, shapefile);
    if (shapes.mNumberOfShapes != 1) refuseShape(__LINE__, "The input shapefile must contain 1 polygon only");
    if (shapes.mTotalNumberOfPoints > static_cast<int64_t>(kMaxPolygonPoints))
        refuseShape(__LINE__, fdfFormat("The input shapefile contains %d points. Maximum 200 points allowed.",
                                        static_cast<int>(shapes.mTotalNumberOfPoints)));
    const std::vector<CShapePoint>& points = shapes.mShapes.front().mPoints;
    // A polygon without points has no first point to close it with.
    if (points.empty()) refuseShape(__LINE__, "The input shapefile holds a polygon without points: " + shapefile);

    std::string text = kFootprintOpening;
    double minX = points.front().x, maxX = minX, minY = points.front().y, maxY = minY;
    for (const auto& point : points) {
        text += vertex(point.x, point.y);
        minX = std::min(minX, point.x);
        maxX = std::max(maxX, point.x);
        minY = std::min(minY, point.y);
        maxY = std::max(maxY, point.y);
    }
    if (maxX - minX > kWideArea)
        NORBS_ERROR_MANAGER::issueWarning(CORBS_SCIHUB_SOURCE, __LINE__, ORBS_EC_FILE_NOT_OPENED,
                                          "Longitude difference %f > 10.0", maxX - minX);
    if (maxY - minY > kWideArea)
        NORBS_ERROR_MANAGER::issueWarning(CORBS_SCIHUB_SOURCE, __LINE__, ORBS_EC_FILE_NOT_OPENED,
                                          "Latitude difference %f > 10.0", maxY - minY);
    text += closingVertex(points.front().x, points.front().y) + kAnd;
    shapes.clearShapes();
    return text;
}

// A date as the hub reads it.  A text that names no calendar day is
// refused: it would reach the hub as 0000-00-00.
OrbsTime dateOf(const std::string& date, const char* time) {
    const OrbsTime parsed(date + time);
    if (!parsed.isValid())
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_DATE_NOT_VALID, CORBS_SCIHUB_SOURCE, __LINE__,
                                        "the sensing date is not a date: " + date);
    return parsed;
}

std::string dateRange(const CHubSearchRequest& request) {
    if (!request.m_initial_date_given && !request.m_final_date_given) return "";
    std::string text = "(beginPosition:[";
    if (request.m_initial_date_given) {
        const OrbsTime first = dateOf(request.m_initial_date, " 00:00:00.000000");
        text += fdfFormat("%04d-%02d-%02dT00:00:00.000Z TO ", first.getYear(), first.getMonth(), first.getDay());
    } else {
        text += "* TO ";
    }
    if (request.m_final_date_given) {
        const OrbsTime last = dateOf(request.m_final_date, " 23:59:59.999999");
        text += fdfFormat("%04d-%02d-%02dT23:59:59.999Z])", last.getYear(), last.getMonth(), last.getDay());
    } else {
        text += "NOW])";
    }
    return text;
}

}  // namespace

std::string buildHubQuery(CHubSearchRequest& request) {
    // The platform is read again: the parameter set is what the user gave.
    request.m_platform = textOr(*request.m_parameters, "MAIN_SCI_HUB_GET_CMD.platformname", kAll);
    std::string query = attributeClauses(request);
    if (!request.m_input_shape.empty())
        query += shapeFootprint(request.m_input_shape);
    else if (request.m_coordinates_given)
        query += boxFootprint(request);
    query += dateRange(request);
    if (query.ends_with(kAnd)) query.resize(query.size() - std::string_view(kAnd).size());

    request.m_query = query;
    // A query file that cannot be written is not fatal: HubFetch is also
    // given the query on its command line.
    fdfWriteWholeFile(request.m_progress_file_name + "_query.txt", query + "\n");
    return query;
}
