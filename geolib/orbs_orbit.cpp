// Orbit interpolation: Hermite polynomials through the positions and
// velocities of the four state vectors around the requested time.
#include "orbs_orbit.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_raster_header.h"

int YDF_ORBIT::init(const CTimeValue& reference, std::vector<CStateVector> vectors) {
    reset();
    mReference = reference;
    mVectors = std::move(vectors);
    if (static_cast<int>(mVectors.size()) < kHermitePoints) {
        set(ORBS_EC_ORBIT_DATA, CORBS_ORBIT_SOURCE, fdfFormat("%zu state vectors, at least %d needed",
                                                              mVectors.size(), kHermitePoints), __LINE__);
        mVectors.clear();
        return 0;
    }
    for (std::size_t i = 1; i < mVectors.size(); ++i) {
        if (!(mVectors[i].time > mVectors[i - 1].time)) {
            set(ORBS_EC_ORBIT_DATA, CORBS_ORBIT_SOURCE,
                fdfFormat("state vector %zu is not later than the one before it", i), __LINE__);
            mVectors.clear();
            return 0;
        }
    }
    return 1;
}

int YDF_ORBIT::initFromHeader(const CSectionDataGroup& header) {
    const auto times = headerStrings(header, "StateVectorData.StateVectorTime");
    std::array<std::optional<std::vector<double>>, 6> columns;
    const char* names[] = {"PositionX", "PositionY", "PositionZ", "VelocityX", "VelocityY", "VelocityZ"};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i] = headerNumbers(header, std::string("StateVectorData.") + names[i]);
    }
    if (!times || std::any_of(columns.begin(), columns.end(), [&times](const auto& column) {
            return !column || column->size() != times->size();
        })) {
        mVectors.clear();
        set(ORBS_EC_ORBIT_DATA, CORBS_ORBIT_SOURCE,
            "StateVectorData needs StateVectorTime, PositionX/Y/Z and VelocityX/Y/Z of one length", __LINE__);
        return 0;
    }
    std::vector<CStateVector> vectors(times->size());
    CTimeValue reference;
    for (std::size_t i = 0; i < times->size(); ++i) {
        CTimeValue time;
        time.parseDayMonthNameYear((*times)[i]);
        if (!time.isValid()) {
            set(ORBS_EC_ORBIT_DATA, CORBS_ORBIT_SOURCE, "state vector time not valid: " + (*times)[i], __LINE__);
            return 0;
        }
        if (i == 0) reference = time;
        vectors[i].time = CTimeValue::secondsBetween(time, reference);
        for (std::size_t axis = 0; axis < 3; ++axis) {
            vectors[i].position[axis] = (*columns[axis])[i];
            vectors[i].velocity[axis] = (*columns[axis + 3])[i];
        }
    }
    return init(reference, std::move(vectors));
}

int YDF_ORBIT::checkCoverage(double first, double last) {
    if (covers(first) && covers(last)) return 1;
    set(ORBS_EC_ORBIT_COVERAGE, CORBS_ORBIT_SOURCE,
        fdfFormat("times %.3f to %.3f s, state vectors %.3f to %.3f s", first, last, getFirstTime(), getLastTime()),
        __LINE__);
    return 0;
}

void YDF_ORBIT::interpolate(double time, CVector3& position, CVector3& velocity, CVector3* acceleration) const {
    // The window of four vectors around the time, kept inside the orbit.
    const auto after = std::upper_bound(mVectors.begin(), mVectors.end(), time,
                                        [](double t, const CStateVector& v) { return t < v.time; });
    const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(mVectors.size()) - kHermitePoints;
    const std::ptrdiff_t first = std::clamp<std::ptrdiff_t>((after - mVectors.begin()) - kHermitePoints / 2, 0, last);
    const CStateVector* window = mVectors.data() + first;
    const double origin = window[0].time;  // times from the window's start keep the differences well scaled

    constexpr int kNodes = 2 * kHermitePoints;
    std::array<double, kNodes> z{};
    for (int i = 0; i < kNodes; ++i) z[static_cast<std::size_t>(i)] = window[i / 2].time - origin;
    const double t = time - origin;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        // Newton divided differences on doubled nodes: the first difference
        // of a doubled node is the velocity.
        std::array<double, kNodes> c{};
        for (int i = 0; i < kNodes; ++i) c[static_cast<std::size_t>(i)] = window[i / 2].position[axis];
        for (int order = 1; order < kNodes; ++order) {
            for (int i = kNodes - 1; i >= order; --i) {
                const auto ui = static_cast<std::size_t>(i);
                const double span = z[ui] - z[ui - static_cast<std::size_t>(order)];
                c[ui] = order == 1 && span == 0.0 ? window[i / 2].velocity[axis] : (c[ui] - c[ui - 1]) / span;
            }
        }
        // Horner's scheme with the first two derivatives.
        double p = c[kNodes - 1], dp = 0.0, d2p = 0.0;
        for (int k = kNodes - 2; k >= 0; --k) {
            const double h = t - z[static_cast<std::size_t>(k)];
            d2p = d2p * h + 2.0 * dp;
            dp = dp * h + p;
            p = p * h + c[static_cast<std::size_t>(k)];
        }
        position[axis] = p;
        velocity[axis] = dp;
        if (acceleration != nullptr) (*acceleration)[axis] = d2p;
    }
}
