// Sine, cosine and arc tangent in single precision that give, bit for bit, the
// results of glibc 2.36 on x86-64 on any IEEE platform (float_trig.h says why).
//
// Sine and cosine follow the algorithm and coefficients of Arm's
// optimized-routines (math/sinf.c, cosf.c, sincosf.h, sincosf_data.c; MIT
// licence, Copyright (c) 2018 Arm Limited), which glibc uses: range reduction
// and polynomials in double precision. glibc builds them a second time with
// FMA and picks that build where the processor has FMA. Of its fused
// multiply-adds only the reduction's changes a result (34 of all 2^32
// arguments, |x| in 8..120 next to a multiple of pi/2, where it cancels);
// that one is computed exactly in integers below and rounded once. The
// polynomials' are left unfused: checked against glibc's FMA build for all
// 2^32 arguments, and a software fma would cost WebAssembly ten times the
// call.
//
// The arc tangent follows the algorithm and coefficients of fdlibm's float
// version (e_atan2f.c, s_atanf.c: Copyright (C) 1993 by Sun Microsystems,
// Inc.; "Permission to use, copy, modify, and distribute this software is
// freely granted, provided that this notice is preserved."), in plain float
// arithmetic with nothing fused.
#include "float_trig.h"

#include <cstdint>

#include "bit_cast.h"

namespace Zeb::Kamblo::trig {

namespace {

// ---- sine and cosine ----------------------------------------------------

struct SinCosPolynomial {
    double c0, c1, c2, c3, c4, s1, s2, s3;
};

// The second polynomial computes -cos(x), so that quadrants 2 and 3 negate
// the cosine for free.
constexpr SinCosPolynomial kPolynomial[2] = {
    {0x1p0, -0x1.ffffffd0c621cp-2, 0x1.55553e1068f19p-5, -0x1.6c087e89a359dp-10, 0x1.99343027bf8c3p-16,
     -0x1.555545995a603p-3, 0x1.1107605230bc4p-7, -0x1.994eb3774cf24p-13},
    {-0x1p0, 0x1.ffffffd0c621cp-2, -0x1.55553e1068f19p-5, 0x1.6c087e89a359dp-10, -0x1.99343027bf8c3p-16,
     -0x1.555545995a603p-3, 0x1.1107605230bc4p-7, -0x1.994eb3774cf24p-13},
};
constexpr double kQuadrantSign[4] = {1.0, -1.0, -1.0, 1.0};

// 2/pi scaled by 2^24, for the quadrant in integer arithmetic.
constexpr double kTwoOverPiTimes2To24 = 0x1.45F306DC9C883p+23;
// The double nearest pi/2, as a whole multiple of 2^-52.
constexpr int64_t kHalfPiTimes2To52 = 0x1921FB54442D18;
static_assert(double(kHalfPiTimes2To52) * 0x1p-52 == 0x1.921FB54442D18p0);

// 4/pi to 192 bits; each entry adds 8 bits so that any 96-bit window can be
// read from three aligned words.
constexpr uint32_t kFourOverPi[24] = {
    0xa2,       0xa2f9,     0xa2f983,   0xa2f9836e, 0xf9836e4e, 0x836e4e44, 0x6e4e4415, 0x4e441529,
    0x441529fc, 0x1529fc27, 0x29fc2757, 0xfc2757d1, 0x2757d1f5, 0x57d1f534, 0xd1f534dd, 0xf534ddc0,
    0x34ddc0db, 0xddc0db62, 0xc0db6295, 0xdb629599, 0x6295993c, 0x95993c43, 0x993c4390, 0x3c439041,
};

constexpr double kPiOver4 = 0x1.921FB54442D18p-1;
constexpr double kPiTimes2ToMinus64 = 0x1.921FB54442D18p-62;

// The exponent and the top three mantissa bits, sign dropped: the ranges below
// are told apart by these bits, not by comparing floats.
uint32_t absTop12(float x) { return (bit_cast<uint32_t>(x) >> 20) & 0x7ff; }

// The sine polynomial for even quadrants, the cosine one for odd quadrants.
float sinPolynomial(double x, double x2, const SinCosPolynomial& p, int quadrant)
{
    if ((quadrant & 1) == 0) {
        double x3 = x * x2;
        double s1 = p.s2 + x2 * p.s3;
        double x7 = x3 * x2;
        double s = x + x3 * p.s1;
        return float(s + x7 * s1);
    }
    double x4 = x2 * x2;
    double c2 = p.c3 + x2 * p.c4;
    double c1 = p.c0 + x2 * p.c1;
    double x6 = x4 * x2;
    double c = c1 + x4 * p.c2;
    return float(c + x6 * c2);
}

// 3/4 <= |x| < 120: x less the nearest multiple n of pi/2 (in the double
// nearest it). x and n * pi/2 are both whole multiples of 2^-52 below 2^60,
// so their difference is exact in integers and its conversion rounds it once,
// as a fused multiply-subtract does.
double reduceSmall(double x, int& quadrant)
{
    double r = x * kTwoOverPiTimes2To24;
    int n = (int(r) + 0x800000) >> 24;
    quadrant = n;
    const int64_t difference = int64_t(x * 0x1p52) - int64_t(n) * kHalfPiTimes2To52;
    return double(difference) * 0x1p-52;
}

// Larger finite x (as its bits, sign ignored): the exact 2.62 fixed-point
// remainder of x * 4/pi from a 32 x 96-bit product.
double reduceLarge(uint32_t bits, int& quadrant)
{
    const uint32_t* window = &kFourOverPi[(bits >> 26) & 15];
    int shift = (bits >> 23) & 7;
    uint32_t mantissa = ((bits & 0xffffff) | 0x800000) << shift;
    uint64_t low = uint32_t(mantissa * window[0]); // only its low 32 bits count
    uint64_t middle = uint64_t(mantissa) * window[4];
    uint64_t high = uint64_t(mantissa) * window[8];
    uint64_t fraction = ((high >> 32) | (low << 32)) + middle;
    uint64_t n = (fraction + (1ull << 61)) >> 62;
    fraction -= n << 62;
    quadrant = int(n);
    return double(int64_t(fraction)) * kPiTimes2ToMinus64;
}

enum class Wanted { sine, cosine };

float sinOrCos(float y, Wanted wanted)
{
    const int cosine = wanted == Wanted::cosine ? 1 : 0;
    double x = y;
    const uint32_t top = absTop12(y);
    if (top < absTop12(float(kPiOver4))) {
        if (top < absTop12(0x1p-12f))
            return cosine ? 1.0f : y;
        return sinPolynomial(x, x * x, kPolynomial[0], cosine);
    }
    int n = 0;
    int signedQuadrant = 0;
    if (top < absTop12(120.0f)) {
        x = reduceSmall(x, n);
        signedQuadrant = n;
    } else if (top < absTop12(INFINITY)) {
        const uint32_t bits = bit_cast<uint32_t>(y);
        x = reduceLarge(bits, n);
        signedQuadrant = n + int(bits >> 31);
    } else {
        return (y - y) / (y - y); // NaN for infinities, NaN stays NaN
    }
    const double s = kQuadrantSign[signedQuadrant & 3];
    const SinCosPolynomial& p = kPolynomial[(signedQuadrant & 2) ? 1 : 0];
    return sinPolynomial(x * s, x * x, p, n ^ cosine);
}

// ---- arc tangent ----------------------------------------------------------

// Coefficients of fdlibm's float atan, as bit patterns.
constexpr float fromBits(uint32_t bits) { return bit_cast<float>(bits); }
constexpr float kAtanHigh[4] = {fromBits(0x3eed6338), fromBits(0x3f490fda), fromBits(0x3f7b985e), fromBits(0x3fc90fda)};
constexpr float kAtanLow[4] = {fromBits(0x31ac3769), fromBits(0x33222168), fromBits(0x33140fb4), fromBits(0x33a22168)};
constexpr float kAtanSeries[11] = {
    fromBits(0x3eaaaaab), fromBits(0xbe4ccccd), fromBits(0x3e124925), fromBits(0xbde38e38),
    fromBits(0x3dba2e6e), fromBits(0xbd9d8795), fromBits(0x3d886b35), fromBits(0xbd6ef16b),
    fromBits(0x3d4bda59), fromBits(0xbd15a221), fromBits(0x3c8569d7),
};
constexpr float kTiny = fromBits(0x0da24260);    // 1e-30
constexpr float kPiOver4F = fromBits(0x3f490fdb);
constexpr float kPiOver2F = fromBits(0x3fc90fdb);
constexpr float kPiF = fromBits(0x40490fdb);
constexpr float kPiLow = fromBits(0xb3bbbd2e); // pi - kPiF

float atanOne(float x)
{
    const int32_t hx = bit_cast<int32_t>(x);
    const int32_t ix = hx & 0x7fffffff;
    // From 2^25 on the result is pi/2 (fdlibm's float version had 2^34).
    if (ix >= 0x4c000000) {
        if (ix > 0x7f800000)
            return x + x;
        return hx > 0 ? kAtanHigh[3] + kAtanLow[3] : -kAtanHigh[3] - kAtanLow[3];
    }
    int id = -1;
    if (ix < 0x3ee00000) { // |x| < 0.4375
        if (ix < 0x31000000) // |x| < 2^-29
            return x;
    } else {
        x = std::fabs(x);
        if (ix < 0x3f980000) {     // |x| < 1.1875
            if (ix < 0x3f300000) { // 7/16 <= |x| < 11/16
                id = 0;
                x = (2.0f * x - 1.0f) / (2.0f + x);
            } else {
                id = 1;
                x = (x - 1.0f) / (x + 1.0f);
            }
        } else if (ix < 0x401c0000) { // |x| < 2.4375
            id = 2;
            x = (x - 1.5f) / (1.0f + 1.5f * x);
        } else {
            id = 3;
            x = -1.0f / x;
        }
    }
    const float* a = kAtanSeries;
    float z = x * x;
    float w = z * z;
    // The odd and the even terms as two polynomials in z^2.
    float s1 = z * (a[0] + w * (a[2] + w * (a[4] + w * (a[6] + w * (a[8] + w * a[10])))));
    float s2 = w * (a[1] + w * (a[3] + w * (a[5] + w * (a[7] + w * a[9]))));
    if (id < 0)
        return x - x * (s1 + s2);
    z = kAtanHigh[id] - ((x * (s1 + s2) - kAtanLow[id]) - x);
    return hx < 0 ? -z : z;
}

} // namespace

float portableSin(float x) { return sinOrCos(x, Wanted::sine); }

float portableCos(float x) { return sinOrCos(x, Wanted::cosine); }

float portableAtan2(float y, float x)
{
    const int32_t hx = bit_cast<int32_t>(x);
    const int32_t hy = bit_cast<int32_t>(y);
    const int32_t ix = hx & 0x7fffffff;
    const int32_t iy = hy & 0x7fffffff;
    if (ix > 0x7f800000 || iy > 0x7f800000)
        return x + y;
    if (hx == 0x3f800000) // x == 1
        return atanOne(y);
    const int m = ((hy >> 31) & 1) | ((hx >> 30) & 2); // 2 * sign(x) + sign(y)

    if (iy == 0) {
        switch (m) {
        case 0:
        case 1: return y;
        case 2: return kPiF + kTiny;
        default: return -kPiF - kTiny;
        }
    }
    if (ix == 0)
        return hy < 0 ? -kPiOver2F - kTiny : kPiOver2F + kTiny;
    if (ix == 0x7f800000) {
        if (iy == 0x7f800000) {
            switch (m) {
            case 0: return kPiOver4F + kTiny;
            case 1: return -kPiOver4F - kTiny;
            case 2: return 3.0f * kPiOver4F + kTiny;
            default: return -3.0f * kPiOver4F - kTiny;
            }
        }
        switch (m) {
        case 0: return 0.0f;
        case 1: return -0.0f;
        case 2: return kPiF + kTiny;
        default: return -kPiF - kTiny;
        }
    }
    if (iy == 0x7f800000)
        return hy < 0 ? -kPiOver2F - kTiny : kPiOver2F + kTiny;

    const int32_t k = (iy - ix) >> 23;
    float z;
    if (k > 60) // |y/x| > 2^60
        z = kPiOver2F + 0.5f * kPiLow;
    else if (hx < 0 && k < -60) // |y|/x < -2^60
        z = 0.0f;
    else
        z = atanOne(std::fabs(y / x));
    switch (m) {
    case 0: return z;
    case 1: return -z;
    case 2: return kPiF - (z - kPiLow);
    default: return (z - kPiLow) - kPiF;
    }
}

} // namespace Zeb::Kamblo::trig
