#pragma once
// The single-precision sine, cosine and arc tangent whose results reach the
// simulation state. Natively they are the C library's, as they have always
// been. In WebAssembly the C library (musl) rounds some arguments differently
// from glibc, and a rotating body then parts from the native run within a few
// hundred steps; there the portable versions below stand in, which return
// exactly what glibc 2.36 on x86-64 returns (its FMA variant of sinf and cosf,
// which glibc picks on every processor that has FMA).
#include <cmath>

namespace Zeb::Kamblo::trig {

float portableSin(float x);
float portableCos(float x);
float portableAtan2(float y, float x);

#if defined(__EMSCRIPTEN__)
inline float sin(float x) { return portableSin(x); }
inline float cos(float x) { return portableCos(x); }
inline float atan2(float y, float x) { return portableAtan2(y, x); }
#else
inline float sin(float x) { return std::sin(x); }
inline float cos(float x) { return std::cos(x); }
inline float atan2(float y, float x) { return std::atan2(y, x); }
#endif

} // namespace Zeb::Kamblo::trig
