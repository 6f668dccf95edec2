// Rational polynomial (RPC) model of an image delivered with one, from the
// header section "AcquisitionParameters": image position of a ground point,
// and the ground point of an image position at a given height.
#pragma once

#include <array>

#include "orbs_errors.h"

class CSectionDataGroup;

constexpr int ORBS_EC_RPC_MODEL = 250003;  // the model is incomplete or cannot be inverted at a position

inline constexpr const char* CORBS_RPC_SOURCE = "geolib/orbs_rpc_model";

class CRpcModel : public NORBS_ERRORS_CODE::CNorvikErrorCode {
public:
    // 1 when the header holds the ten offsets and scales and the four
    // polynomials of 20 coefficients; else 0 with the error items set.
    int init(const CSectionDataGroup& header);

    double getHeightOffset() const { return mHeightOff; }
    // Line and sample (pixel centres from 0) of a ground point (degrees,
    // metres above the ellipsoid).
    void groundToImage(double latitude, double longitude, double height, double& line, double& sample) const;
    // The ground point of an image position at `height`, iterated until its
    // image position agrees within 0.01 pixel; false (error items set) when
    // it does not.  Longitudes in (-180, 180].
    bool imageToGround(double line, double sample, double height, double& latitude, double& longitude);

private:
    static double polynomial(const std::array<double, 20>& c, double l, double p, double h);

    double mLineOff = 0, mSampOff = 0, mLatOff = 0, mLongOff = 0, mHeightOff = 0;
    double mLineScale = 1, mSampScale = 1, mLatScale = 1, mLongScale = 1, mHeightScale = 1;
    std::array<double, 20> mLineNum{}, mLineDen{}, mSampNum{}, mSampDen{};
};
