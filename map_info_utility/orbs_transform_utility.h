// Projections and coordinate transformations of cartographic systems.
//
// The projection table maps a projection name to its preparation, forward
// and inverse.  Most projections run on PROJ: their preparation builds the
// PROJ definition of the system from its own fields, once, and the forward
// and inverse pass whole arrays to proj_trans_generic.  BING and MILLER keep
// their own formulas, and "GEO" only converts between radians and degrees.
//
// CMapTransform converts arrays of points between two systems through
// geographic and geocentric coordinates.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "orbs_core_map_utility.h"

struct PJconsts;
struct pj_ctx;

// The PROJ objects of one system: its context, its projection (when it has
// a PROJ-backed one) and its geocentric conversion (used for geocentric to
// geographic).  Owned by the system and released with it.
class CProjectionEngine {
public:
    CProjectionEngine();
    ~CProjectionEngine();
    CProjectionEngine(const CProjectionEngine&) = delete;
    CProjectionEngine& operator=(const CProjectionEngine&) = delete;

    // Builds a PROJ object from a definition; raises 70000 with PROJ's
    // reason when the definition is refused.
    PJconsts* create(const std::string& definition);

    pj_ctx* context() const { return mContext; }
    PJconsts* projection = nullptr;
    PJconsts* geocentric = nullptr;
    std::string projectionDefinition;  // for the trace and the tests

private:
    pj_ctx* mContext = nullptr;
};

namespace NORBS_MAP_TRANSFORM {

// One entry of the projection table.  Forward: longitude and latitude in
// radians to map coordinates; inverse: back.  Both work in place.
struct CProjectionEntry {
    const char* name;
    void (*prepare)(YDF_MAP& system, CProjectionEngine& engine);
    void (*forward)(const YDF_MAP& system, double* x, double* y, std::size_t count);
    void (*inverse)(const YDF_MAP& system, double* x, double* y, std::size_t count);
};

// The entry of a projection name, or null when the table has none.
const CProjectionEntry* findProjection(const std::string& name);
// The entry a system uses: "GEO" for "GEO-GLOBAL", "GK" for "UTM-GLOBAL"
// and "GENERIC_UTM", otherwise its projection name; null for a system
// without projection ("CARTESIAN-GLOBAL").
const CProjectionEntry* projectionOf(const YDF_MAP& system);

// Prepares the projection of a system (and the geocentric conversion); the
// state "ALBERS" gets the Albers projection whatever its projection name.
// Raises 70000 for a projection name without entry.
void prepare(YDF_MAP& system, CProjectionEngine& engine);

// The PROJ definition the system's projection is built from ("" for the
// projections with their own formulas).
std::string projDefinition(const YDF_MAP& system);

// Geographic (radians, metres) to geocentric on the system's ellipsoid: a
// is the first "abw" value, e^2 the seventh "ex" term.  The output arrays
// may be the input arrays.
void geographicToGeocentric(const YDF_MAP& system, const double* lon, const double* lat, const double* h,
                            double* x, double* y, double* z, std::size_t count);
// Geocentric to geographic (radians, metres) on the system's ellipsoid.  In
// place.
void geocentricToGeographic(const YDF_MAP& system, double* x, double* y, double* z, std::size_t count);
// The datum shift of a system, from WGS-84 geocentric to the system's
// datum: translation subtracted; for the seven-parameter form then
// multiplied by the transposed rotation matrix and by the eighth value.
void shiftDatum(const YDF_MAP& system, double* x, double* y, double* z, std::size_t count);
bool hasDatumShift(const YDF_MAP& system);

}  // namespace NORBS_MAP_TRANSFORM

// The projection of a system: geographic radians to map coordinates
// (degrees for "GEO-GLOBAL"), and back.  In place.
void geo2map(double* x, double* y, std::size_t count, const YDF_MAP& system);
void map2geo(double* x, double* y, std::size_t count, const YDF_MAP& system);

// Converts points from one system to another.  The systems are borrowed:
// the caller keeps them alive while the transformation is used.
class CMapTransform {
public:
    void setInput(const YDF_MAP& system);
    void setOutput(const YDF_MAP& system);

    // Converts count points; the output arrays may be the input arrays.
    // A "GEO-GLOBAL" side is longitude, latitude (degrees) and height; a
    // "CARTESIAN-GLOBAL" side geocentric X, Y, Z; any other side easting,
    // northing and height in metres.  False (nothing done) until both
    // systems are set and initialised.  Points that a projection cannot
    // convert come out as HUGE_VAL.
    bool transform(const double* xIn, const double* yIn, const double* zIn, double* xOut, double* yOut,
                   double* zOut, std::size_t count);

    // How the points travel, chosen when the systems are set.
    enum class Case {
        NotSet,
        Copy,        // the same system on both sides
        Direct,      // same ellipsoid and no datum shift: projection to projection
        Geocentric,  // through geocentric coordinates and the datum shift
    };
    Case getCase() const { return mCase; }

private:
    void chooseCase();
    void growWorkArrays(std::size_t count);
    void transformBlock(const double* xIn, const double* yIn, const double* zIn, double* xOut, double* yOut,
                        double* zOut, std::size_t count);

    const YDF_MAP* mInput = nullptr;
    const YDF_MAP* mOutput = nullptr;
    Case mCase = Case::NotSet;
    // Work arrays of the geocentric path: the geographic input side and the
    // geocentric coordinates (the output side is built in the caller's
    // arrays).  Points are converted in blocks, so they grow to at most one
    // block: the memory stays bounded and each block stays in the cache.
    std::size_t mCapacity = 0;
    std::vector<double> mLon, mLat, mHeight;
    std::vector<double> mX, mY, mZ;
};
