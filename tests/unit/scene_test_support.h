// Synthetic scenes in radar geometry whose answer is known by
// construction: ground points chosen on the ellipsoid (Earth-fixed
// coordinates from GeographicLib's CartConvert), a circular near-polar orbit
// given in closed form, and a forward computation of each point's Doppler
// time and slant range on that closed form, independent of the locator's
// interpolation and inversion.  The raster header of such a scene holds
// what the scene locator reads.
#pragma once

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "orbs_core_time_man_utility.h"
#include "raster_test_support.h"

namespace orbs_test {

using Vec = std::array<double, 3>;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;

inline Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline double length(const Vec& a) { return std::sqrt(dot(a, a)); }

// Earth-fixed coordinates of "lat lon height" lines, or the reverse, by CartConvert.
inline std::vector<Vec> cartConvert(const std::vector<Vec>& points, bool reverse, const std::string& dir) {
    std::ostringstream input;
    input.precision(17);
    for (const Vec& p : points) input << p[0] << " " << p[1] << " " << p[2] << "\n";
    writeFile(dir + "/cart_in.txt", input.str());
    std::istringstream output(
        commandOutput(std::string("CartConvert -p 9 ") + (reverse ? "-r " : "") + "< " + quoted(dir + "/cart_in.txt")));
    std::vector<Vec> result(points.size());
    for (Vec& p : result) output >> p[0] >> p[1] >> p[2];
    return result;
}

// A circular orbit in closed form, seen from the rotating Earth.
struct Orbit {
    double radius = 6378137.0 + 693000.0;
    double period = 5924.0;
    double inclination = 98.18 * kRad;
    double node = 0.0;      // right ascension of the ascending node at t = 0 (Earth-fixed = inertial then)
    double latitudeArg = 0.0;
    double earthRate = 7.2921150e-5;

    void state(double t, Vec& position, Vec& velocity) const {
        const double n = 2 * kPi / period;
        const double u = latitudeArg + n * t;
        const double ci = std::cos(inclination), si = std::sin(inclination);
        const double cO = std::cos(node), sO = std::sin(node);
        const Vec r{radius * (std::cos(u) * cO - std::sin(u) * ci * sO),
                    radius * (std::cos(u) * sO + std::sin(u) * ci * cO), radius * std::sin(u) * si};
        const Vec v{radius * n * (-std::sin(u) * cO - std::cos(u) * ci * sO),
                    radius * n * (-std::sin(u) * sO + std::cos(u) * ci * cO), radius * n * std::cos(u) * si};
        const double th = earthRate * t, c = std::cos(th), s = std::sin(th);
        position = {c * r[0] + s * r[1], -s * r[0] + c * r[1], r[2]};
        // d/dt of the rotation applied to r, plus the rotated inertial velocity.
        velocity = {c * v[0] + s * v[1] + earthRate * (-s * r[0] + c * r[1]),
                    -s * v[0] + c * v[1] + earthRate * (-c * r[0] - s * r[1]), v[2]};
    }
};

struct Acquisition { double time; double range; };

// The time at which the point sees the Doppler `fdc(range)` (bisection on
// the closed-form orbit) and its slant range then.
inline Acquisition forward(const Orbit& orbit, const Vec& x, double wavelength, double dopplerHz, double t0) {
    const auto g = [&](double t) {
        Vec s, v;
        orbit.state(t, s, v);
        const Vec d = sub(x, s);
        return dot(v, d) - wavelength * length(d) * dopplerHz / 2.0;
    };
    double lo = t0 - 300, hi = t0 + 300;
    for (int i = 0; i < 200 && hi - lo > 1e-10; ++i) {
        const double mid = (lo + hi) / 2;
        (g(lo) > 0) == (g(mid) > 0) ? lo = mid : hi = mid;
    }
    Vec s, v;
    orbit.state((lo + hi) / 2, s, v);
    return {(lo + hi) / 2, length(sub(x, s))};
}

struct Scene { const char* name; double latitude, longitude; bool ascending, rightLooking, groundRange, doppler; };

class SyntheticSceneTest : public MappedHeaderTest {
protected:

    static constexpr int kLines = 1500;
    static constexpr int kPixels = 1200;
    static constexpr double kWavelength = 299792458.0 / 5.405e9;
    static constexpr double kDopplerHz = -180.0;

    CTimeValue epoch() const {
        CTimeValue t;
        t.parseDayMonthNameYear("01-MAY-2019 05:00:00.000000");
        return t;
    }
    // Every time of a scene is shifted by this many seconds (its geometry
    // stays: the orbit is given in Earth-fixed coordinates).
    double timeShift = 0.0;
    std::string timeText(double seconds) const {
        CTimeValue t = epoch();
        t.addSeconds(timeShift + seconds);
        return t.formatDayMonthNameYear();
    }
    void setVector(const std::string& key, const std::vector<double>& values) {
        header[key].setDimension(1, static_cast<int>(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) header.setValue(key, static_cast<int>(i), values[i]);
    }

    // Builds the header of `scene` from its two chosen corners; returns the
    // corners' Earth-fixed points and acquisitions.
    void build(const Scene& scene, Orbit& orbit, std::array<Vec, 2>& corners, std::array<Acquisition, 2>& acq) {
        const double offset = 400000.0 / (111320.0 * std::cos(scene.latitude * kRad));  // degrees to the track
        const double trackSide = scene.ascending == scene.rightLooking ? 1.0 : -1.0;  // target east of the track
        const double satLat = scene.latitude, satLon = scene.longitude - trackSide * offset;
        double u = std::asin(std::sin(satLat * kRad) / std::sin(orbit.inclination));
        if (!scene.ascending) u = kPi - u;
        orbit.latitudeArg = u;
        orbit.node = satLon * kRad - std::atan2(std::cos(orbit.inclination) * std::sin(u), std::cos(u));

        const double along = scene.ascending ? 1.0 : -1.0;
        const std::vector<Vec> ground = cartConvert(
            {{scene.latitude - along * 0.25, scene.longitude - trackSide * 0.35, 0},
             {scene.latitude + along * 0.25, scene.longitude + trackSide * 0.35, 0}},
            false, dir().string());
        corners = {ground[0], ground[1]};
        const double doppler = scene.doppler ? kDopplerHz : 0.0;
        for (std::size_t i = 0; i < 2; ++i) acq[i] = forward(orbit, corners[i], kWavelength, doppler, 0.0);

        std::vector<std::string> times;
        std::array<std::vector<double>, 6> columns;
        for (double t = acq[0].time - 60; t <= acq[1].time + 60; t += 10) {
            Vec s, v;
            orbit.state(t, s, v);
            times.push_back(timeText(t));
            for (std::size_t k = 0; k < 3; ++k) columns[k].push_back(s[k]), columns[k + 3].push_back(v[k]);
        }
        header["StateVectorData.StateVectorTime"].setDimension(1, static_cast<int>(times.size()));
        for (std::size_t i = 0; i < times.size(); ++i)
            header.setValue("StateVectorData.StateVectorTime", static_cast<int>(i), times[i]);
        const char* names[] = {"PositionX", "PositionY", "PositionZ", "VelocityX", "VelocityY", "VelocityZ"};
        for (std::size_t k = 0; k < 6; ++k) setVector(std::string("StateVectorData.") + names[k], columns[k]);

        header.setValue("RasterInfo.NrOfLinesPerImage", kLines);
        header.setValue("RasterInfo.NrOfPixelsPerLine", kPixels);
        header.setValue("AcquisitionParameters.AcquisitionTime", timeText(acq[0].time));
        header.setValue("InitialGeometry.Projection", std::string(scene.groundRange ? "GROUND_RANGE" : "SLANT_RANGE"));
        header.setValue("AcquisitionParameters.LookDirection", std::string(scene.rightLooking ? "RIGHT" : "LEFT"));
        header.setValue("Processing.AzimuthTimeInterval", (acq[1].time - acq[0].time) / (kLines - 1));
        if (scene.groundRange) {
            // Slant range as a quadratic of the ground range, through both corners.
            const double spacing = 10.0, last = spacing * (kPixels - 1), beta = 2e-7;
            header.setValue("Processing.PixelSpacingRg", spacing);
            setVector("Processing.GroundToSlantCoeff",
                      {acq[0].range, (acq[1].range - acq[0].range - beta * last * last) / last, beta});
        } else {
            header.setValue("Processing.PixelSpacingRg", (acq[1].range - acq[0].range) / (kPixels - 1));
            header.setValue("Processing.SlantRangeTimeFirstPixel", 2.0 * acq[0].range / 299792458.0);
        }
        if (scene.doppler) {
            header.setValue("InitialGeometry.AzimuthGeometry", std::string("DOPPLER_CENTROID"));
            setVector("Processing.DopCenRangeCoeff", {kDopplerHz});
            header.setValue("Processing.DopCenRgRefTime", 0.0055);
            header.setValue("Processing.RangeDoppler_fref", 5.405e9);
        }
    }
};

}  // namespace orbs_test
