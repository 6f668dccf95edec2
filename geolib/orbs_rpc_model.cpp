// Rational polynomial model: the common twenty-term form (constant, linear,
// cross, square and cubic terms of normalised longitude L, latitude P and
// height H).
#include "orbs_rpc_model.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_raster_header.h"

namespace {

constexpr double kConvergedPixels = 0.01;
// Newton steps keep going below the acceptance threshold: each step
// squares the error, so two more cost little and leave ~1e-9 pixel.
constexpr double kRefinedPixels = 1e-9;
constexpr int kMaxIterations = 40;

}  // namespace

int CRpcModel::init(const CSectionDataGroup& header) {
    reset();
    const std::pair<const char*, double*> scalars[] = {
        {"LINE_OFF", &mLineOff},     {"SAMP_OFF", &mSampOff},     {"LAT_OFF", &mLatOff},
        {"LONG_OFF", &mLongOff},     {"HEIGHT_OFF", &mHeightOff}, {"LINE_SCALE", &mLineScale},
        {"SAMP_SCALE", &mSampScale}, {"LAT_SCALE", &mLatScale},   {"LONG_SCALE", &mLongScale},
        {"HEIGHT_SCALE", &mHeightScale}};
    for (const auto& [name, value] : scalars) {
        const std::optional<double> number = headerNumber(header, std::string("AcquisitionParameters.") + name);
        if (!number || !std::isfinite(*number)) {
            set(ORBS_EC_RPC_MODEL, CORBS_RPC_SOURCE, std::string("RPC model without ") + name, __LINE__);
            return 0;
        }
        *value = *number;
    }
    for (double scale : {mLineScale, mSampScale, mLatScale, mLongScale, mHeightScale}) {
        if (scale == 0.0) {
            set(ORBS_EC_RPC_MODEL, CORBS_RPC_SOURCE, "RPC model with a zero scale", __LINE__);
            return 0;
        }
    }
    const std::pair<const char*, std::array<double, 20>*> polynomials[] = {
        {"LINE_NUM_COEFF", &mLineNum}, {"LINE_DEN_COEFF", &mLineDen},
        {"SAMP_NUM_COEFF", &mSampNum}, {"SAMP_DEN_COEFF", &mSampDen}};
    for (const auto& [name, coefficients] : polynomials) {
        const auto values = headerNumbers(header, std::string("AcquisitionParameters.") + name);
        if (!values || values->size() != coefficients->size()) {
            set(ORBS_EC_RPC_MODEL, CORBS_RPC_SOURCE, std::string("RPC model needs 20 values of ") + name, __LINE__);
            return 0;
        }
        std::copy(values->begin(), values->end(), coefficients->begin());
    }
    return 1;
}

double CRpcModel::polynomial(const std::array<double, 20>& c, double l, double p, double h) {
    return c[0] + c[1] * l + c[2] * p + c[3] * h + c[4] * l * p + c[5] * l * h + c[6] * p * h + c[7] * l * l +
           c[8] * p * p + c[9] * h * h + c[10] * p * l * h + c[11] * l * l * l + c[12] * l * p * p +
           c[13] * l * h * h + c[14] * l * l * p + c[15] * p * p * p + c[16] * p * h * h + c[17] * l * l * h +
           c[18] * p * p * h + c[19] * h * h * h;
}

void CRpcModel::groundToImage(double latitude, double longitude, double height, double& line, double& sample) const {
    // Longitudes near the model's offset, whichever side of the antimeridian.
    const double dLon = std::remainder(longitude - mLongOff, 360.0);
    const double l = dLon / mLongScale;
    const double p = (latitude - mLatOff) / mLatScale;
    const double h = (height - mHeightOff) / mHeightScale;
    line = polynomial(mLineNum, l, p, h) / polynomial(mLineDen, l, p, h) * mLineScale + mLineOff;
    sample = polynomial(mSampNum, l, p, h) / polynomial(mSampDen, l, p, h) * mSampScale + mSampOff;
}

bool CRpcModel::imageToGround(double line, double sample, double height, double& latitude, double& longitude) {
    double lat = mLatOff;
    double lon = mLongOff;
    double error = 0.0;
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        double l0, s0;
        groundToImage(lat, lon, height, l0, s0);
        const double dl = line - l0;
        const double ds = sample - s0;
        error = std::hypot(dl, ds);
        if (!std::isfinite(error)) break;
        if (error < kRefinedPixels) break;
        // Jacobian by central differences, a small fraction of the scales.
        const double hLat = mLatScale * 1e-6;
        const double hLon = mLongScale * 1e-6;
        double l1, s1, l2, s2, l3, s3, l4, s4;
        groundToImage(lat + hLat, lon, height, l1, s1);
        groundToImage(lat - hLat, lon, height, l2, s2);
        groundToImage(lat, lon + hLon, height, l3, s3);
        groundToImage(lat, lon - hLon, height, l4, s4);
        const double aLat = (l1 - l2) / (2 * hLat), aLon = (l3 - l4) / (2 * hLon);
        const double bLat = (s1 - s2) / (2 * hLat), bLon = (s3 - s4) / (2 * hLon);
        const double det = aLat * bLon - aLon * bLat;
        if (det == 0.0 || !std::isfinite(det)) break;
        const double stepLat = (dl * bLon - aLon * ds) / det;
        const double stepLon = (aLat * ds - dl * bLat) / det;
        lat += stepLat;
        lon += stepLon;
        if (std::fabs(stepLat) < 1e-12 && std::fabs(stepLon) < 1e-12) {
            groundToImage(lat, lon, height, l0, s0);
            error = std::hypot(line - l0, sample - s0);
            break;
        }
    }
    if (!(error <= kConvergedPixels)) {
        set(ORBS_EC_RPC_MODEL, CORBS_RPC_SOURCE,
            fdfFormat("no ground point for line %.2f sample %.2f (%.3g pixels off)", line, sample, error), __LINE__);
        return false;
    }
    latitude = lat;
    longitude = std::remainder(lon, 360.0);
    if (longitude == -180.0) longitude = 180.0;
    return true;
}
