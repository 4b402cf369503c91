// Bar oscillators over aligned high/low/close bars: the commodity channel index
// (typical price against its window mean and mean deviation) and the ultimate
// oscillator (buying pressure over true range on three horizons).
// Results have close.size() positions; unequal input lengths give all NaN.
#ifndef TESSARIN_INDICATORS_OSCILLATOR_H_
#define TESSARIN_INDICATORS_OSCILLATOR_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

// (tp - mean) / (mean deviation * 0.015) over a window of typical prices, from
// index period - 1; 0 where the numerator or the deviation is 0.
// All NaN unless the lengths are equal and 2 <= period <= n.
Series cci(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

// Weighted 4:2:1 average of buying pressure / true range over the shortest,
// middle and longest period (in any order given), times 100, from index
// max(period1, period2, period3). All NaN unless the lengths are equal, every
// period >= 1 and the longest < n.
Series ultosc(SeriesView high, SeriesView low, SeriesView close, std::size_t period1,
              std::size_t period2, std::size_t period3);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_OSCILLATOR_H_
