// Directional-movement kernels (Wilder): +DI, -DI, DX and ADX over aligned
// high/low/close bars. The true-range and directional-movement sums use the
// Wilder running sum S <- S - S / p + x; ADX uses the Wilder average of DX.
// Results have high.size() positions; unequal input lengths give all NaN.
#ifndef TESSARIN_INDICATORS_DIRECTIONAL_H_
#define TESSARIN_INDICATORS_DIRECTIONAL_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

// +DI = S(+DM) * 100 / S(TR) from index `period`, 0 where S(TR) = 0.
// All NaN unless the lengths are equal and 1 <= period < n.
Series plus_di(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

// -DI, as plus_di for the downward movement.
Series minus_di(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

// DX = |+DI - -DI| * 100 / (+DI + -DI) from index `period`, 0 where S(TR) = 0 or
// the DI sum is 0; validity as plus_di.
Series dx(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

// ADX from index 2 * period - 1: the mean of the DX of bars period..2*period-1,
// then the Wilder average; bars with S(TR) = 0 leave it unchanged.
// All NaN unless the lengths are equal, period >= 2 and n >= 2 * period.
Series adx(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_DIRECTIONAL_H_
