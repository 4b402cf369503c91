// Volume kernels: on-balance volume, the Chaikin accumulation/distribution line
// and the Chaikin A/D oscillator. None has a warm-up except the oscillator.
#ifndef TESSARIN_INDICATORS_VOLUME_H_
#define TESSARIN_INDICATORS_VOLUME_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

// Running volume signed by the direction of each close; obv[0] = volume[0].
// Empty unless close and volume have the same non-zero length.
Series obv(SeriesView close, SeriesView volume);

// Running sum of money-flow volume from bar 0 (0 for a bar with no range).
// Empty unless the four lengths are equal and non-zero.
Series ad(SeriesView high, SeriesView low, SeriesView close, SeriesView volume);

// Fast minus slow exponential average of the A/D line, both seeded with its
// first value, from index max(fast, slow) - 1 (the periods are not swapped).
// close.size() positions; all NaN unless the four lengths are equal and
// fast, slow >= 2.
Series adosc(SeriesView high, SeriesView low, SeriesView close, SeriesView volume,
             std::size_t fast, std::size_t slow);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_VOLUME_H_
