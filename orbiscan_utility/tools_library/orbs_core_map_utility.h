// Cartographic systems (YDF_MAP): in which map coordinates a raster or a
// set of points is expressed.
//
// A system is named by six texts (state, hemisphere, projection, zone,
// ellipsoid, datum shift) that are resolved through the map definition files
// of ORBISCAN_MAP_FILES_DIR (orbs_read_write_map_info.h), and carries the
// numeric parameters those files and the caller give.  "GEO-GLOBAL" is
// geographic WGS-84 in degrees; "CARTESIAN-GLOBAL" is geocentric X, Y, Z in
// metres.  Points are converted between systems with CMapTransform
// (orbs_transform_utility.h), which also holds the projection table.
//
// Units inside a system: angles in radians, distances in metres.  The map
// files and the image parameters give angles in degrees.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CSectionDataGroup;
class CProjectionEngine;

// Codes raised by the cartographic systems.
constexpr int ORBS_EC_MAP_FIELD = 20000;     // a map file vector is too short
constexpr int ORBS_EC_MAP_INFO = 70000;      // names that do not make a system
constexpr int ORBS_EC_IMAGE_HEADER = 40004;  // an image's header cannot be read

inline constexpr const char* CORBS_MAP_SOURCE = "orbiscan_utility/tools_library/orbs_core_map_utility";
inline constexpr const char* CORBS_GEO_GLOBAL = "GEO-GLOBAL";
inline constexpr const char* CORBS_CARTESIAN_GLOBAL = "CARTESIAN-GLOBAL";

// Degrees to radians and back, as the map files and headers use them.
constexpr double CORBS_DEG_TO_RAD = 0.017453292519943295;
constexpr double CORBS_RAD_TO_DEG = 57.29577951308232;

// The six names of a system.  Empty means "not given".
struct CMapNames {
    std::string state;
    std::string hemisphere;
    std::string projection;
    std::string zone;
    std::string ellipsoid;
    std::string datumShift;
};

// The admissible names of the map files read for a system.
struct CMapInfoLists {
    std::vector<std::string> hemispheres;
    std::vector<std::string> projections;
    std::vector<std::string> zones;
    std::vector<std::string> ellipsoids;
    std::vector<std::string> datumShifts;
};

// Values that replace those of the map files, in the system's units
// (metres, radians, plain scale).
struct CMapOverrides {
    std::optional<double> falseNorthing;
    std::optional<double> falseEasting;
    std::optional<double> centralMeridian;
    std::optional<double> northOrigin;
    std::optional<double> secondLatitude;
    std::optional<double> scaleFactor;
    std::optional<double> standardParallel2;
};

// Whether a state (and projection) name a geographic system, whatever the
// letter case: the state "GEO-GLOBAL" (on its first ten characters) or the
// projection "GEO".
bool forbsIsGeographicSystem(const std::string& state, const std::string& projection = {});

// Reads the cartographic section of an image's own raster header when the
// image has no parameter file: true and the section filled, or false.  The
// raster header code registers it; until then initFromHeaderFile has only
// the parameter files.
using CRasterHeaderMapReader = bool (*)(const std::string& image, CSectionDataGroup& cartographicSection);
void forbsSetRasterHeaderMapReader(CRasterHeaderMapReader reader);

class YDF_MAP {
public:
    YDF_MAP();
    ~YDF_MAP();
    // A copy is prepared anew from the copied parameters (the projection
    // objects are never shared).
    YDF_MAP(const YDF_MAP& other);
    YDF_MAP& operator=(const YDF_MAP& other);
    YDF_MAP(YDF_MAP&& other) noexcept;
    YDF_MAP& operator=(YDF_MAP&& other) noexcept;

    // Every name empty, every number 0, the scale factor 1.0, the
    // projection released.
    void reset();

    // Resolves the names through the map files and prepares the system.
    // Raises 70000 for a missing or inadmissible state or names outside the
    // admissible lists (and for a projection that cannot be built), 120000
    // for an empty map_list, 40002 for a missing map file, 20000 for a short
    // map file vector.
    void init(const std::string& state, const std::string& hemisphere, const std::string& projection,
              const std::string& zone, const std::string& ellipsoid, const std::string& datumShift,
              const CMapOverrides& overrides = {});
    // From the "CartographicSystem" fields of a parameter set (angles in
    // degrees); false without "CartographicSystem.State".
    bool init(CSectionDataGroup& imageParameters);
    // From the parameter file of an image (image + "_hdr", its ".sml"), or
    // else from the image's own header; when neither can be read, raises
    // 40004 with the image name (raise set) or returns false.
    bool initFromHeaderFile(const std::string& image, bool raise);

    // Reads the map files of the names in priority order (state, hemisphere,
    // projection, zone, ellipsoid, datum shift) into this system, completes
    // the names that are not given, and returns the admissible lists.
    CMapInfoLists read_map_info(CMapNames& names);
    // True (a problem) when a given hemisphere, projection, zone, ellipsoid
    // or datum shift is not in its non-empty admissible list.
    static bool check_map_info(const CMapNames& names, const CMapInfoLists& lists);

    // The well-known text of the system; empty for systems without one.
    std::string getWkt() const;
    // Writes the well-known text next to a shapefile: the ".shp" or ".prj"
    // ending of the name becomes ".prj".  False when there is no text or the
    // file cannot be written.
    bool writePrjFile(const std::string& fileName) const;
    // Trace dump of every member.
    void printMap() const;

    bool isGeographic() const { return forbsIsGeographicSystem(mState, mProjection); }
    bool isCartesian() const { return mState == CORBS_CARTESIAN_GLOBAL; }
    // Same names and same parameters.
    bool isSameSystem(const YDF_MAP& other) const;

    // The prepared projection (orbs_transform_utility); null for systems
    // that need none or before init.
    const CProjectionEngine* projectionEngine() const { return mEngine.get(); }

    // Members, in upper case for the names.
    std::string mState;
    std::string mHemisphere;
    std::string mProjection;
    std::string mZone;
    std::string mEllipsoid;
    std::string mDatumShift;
    std::array<double, 2> mAbw{};  // "abw": a, b of the geocentric conversion
    std::array<double, 2> mAbg{};  // "abg": GEM6 a, b
    std::array<double, 2> mAbl{};  // "abl": a, b of the projection's ellipsoid
    double mAk0 = 0.0;             // "ak0"
    double mBk0 = 0.0;             // "bk0"
    double mK0 = 1.0;              // "k0": scale factor, or the sphere radius of spherical projections
    std::array<double, 12> mCx{};
    std::array<double, 12> mCy{};
    std::array<double, 12> mDx{};
    std::array<double, 12> mDy{};
    // "dsp": translation (m), rotations (arc-seconds, position-vector
    // convention), scale difference (ppm), the scale applied, and the form:
    // 3 translation only, 7 seven parameters, anything else none.
    std::array<double, 9> mDsp{};
    // "ex": a, b, f, 1/f, e, e', e^2 (used by the geocentric conversion),
    // e'^2, n, n^2, a^2/b.
    std::array<double, 11> mEx{};
    std::array<std::array<double, 3>, 3> mRmat{};  // "rmat"
    double mPhi0 = 0.0;                // "phi0": north origin (latitude of origin)
    double mPhi1 = 0.0;                // "phi1": standard parallel 1, latitude of true scale or azimuth
    double mPhi2 = 0.0;                // standard parallel 2, from parameters only
    double mCentralMeridian = 0.0;     // "cm"
    double mFalseEasting = 0.0;        // "x0"
    double mFalseNorthing = 0.0;       // "y0"
    double mReferenceHeight = 0.0;     // "ReferenceHeight"
    // Whether standard parallel 2 was given (a Lambert conic is then the
    // two-parallel form).
    bool mHasStandardParallel2 = false;

private:
    void prepareSevenParameterShift();
    void prepareProjection();
    void copyParameters(const YDF_MAP& other);

    std::unique_ptr<CProjectionEngine> mEngine;
};
