// Satellite orbit from state vectors, interpolated with Hermite polynomials
// of order 8: positions and velocities of the four vectors around a time
// fix a polynomial of degree 7 per axis, which follows an orbit sampled
// every 10 s to well below a millimetre.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "orbs_core_time_man_utility.h"
#include "orbs_errors.h"

class CSectionDataGroup;

using CVector3 = std::array<double, 3>;

// One state vector: time in seconds from the orbit's reference time,
// Earth-fixed position (m) and velocity (m/s).
struct CStateVector {
    double time = 0.0;
    CVector3 position{};
    CVector3 velocity{};
};

// Error codes of orbits.
constexpr int ORBS_EC_ORBIT_DATA = 110001;       // state vectors missing, too few or not in time order
constexpr int ORBS_EC_ORBIT_COVERAGE = 110002;   // the orbit does not cover the requested times

inline constexpr const char* CORBS_ORBIT_SOURCE = "geolib/orbs_orbit";

class YDF_ORBIT : public NORBS_ERRORS_CODE::CNorvikErrorCode {
public:
    // Vectors used by one interpolation.
    static constexpr int kHermitePoints = 4;

    // 1 when the vectors (times strictly increasing, at least four) make an
    // orbit; 0 with the error items set.
    int init(const CTimeValue& reference, std::vector<CStateVector> vectors);
    // The vectors of the header section "StateVectorData".
    int initFromHeader(const CSectionDataGroup& header);

    const CTimeValue& getReferenceTime() const { return mReference; }
    // Seconds from the reference time to `time`.
    double secondsFromReference(const CTimeValue& time) const { return CTimeValue::secondsBetween(time, mReference); }
    double getFirstTime() const { return mVectors.empty() ? 0.0 : mVectors.front().time; }
    double getLastTime() const { return mVectors.empty() ? 0.0 : mVectors.back().time; }
    bool covers(double time) const { return !mVectors.empty() && time >= getFirstTime() && time <= getLastTime(); }
    // 1 when [first, last] lies inside the orbit, else 0 with 110002 set.
    int checkCoverage(double first, double last);

    // Position, velocity and acceleration at `time` (seconds from the
    // reference); the time must be covered.
    void interpolate(double time, CVector3& position, CVector3& velocity, CVector3* acceleration = nullptr) const;

private:
    CTimeValue mReference;
    std::vector<CStateVector> mVectors;
};
