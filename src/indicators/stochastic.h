// Range-position kernels: the stochastic oscillators (slow, fast, and over the
// RSI) and Williams' %R. Each places a value inside the highest-high /
// lowest-low range of a trailing window; every window is recomputed from
// scratch with NaN-ignoring extremes, and %K/%D smoothing is a plain mean.
// Results have close.size() positions.
#ifndef TESSARIN_INDICATORS_STOCHASTIC_H_
#define TESSARIN_INDICATORS_STOCHASTIC_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

struct StochResult {
  Series k;
  Series d;
};

// Slow %K (mean of fastk-window %K over slowk) and slow %D (mean of slow %K
// over slowd), both from fastk + slowk + slowd - 3. %K = 50 where the window
// has no range. high/low longer than close are read up to close.size(); shorter
// ones give all NaN. All NaN when a period is 0 or n <= the first index.
StochResult stoch(SeriesView high, SeriesView low, SeriesView close, std::size_t fastk,
                  std::size_t slowk, std::size_t slowd);

// Fast %K and fast %D (mean of %K over fastd), both from fastk + fastd - 2.
// Lengths as stoch. All NaN when a period is 0 or n <= the first index.
StochResult stochf(SeriesView high, SeriesView low, SeriesView close, std::size_t fastk,
                   std::size_t fastd);

// Fast stochastic of rsi(close, timeperiod), both outputs from
// timeperiod + fastk + fastd - 2; a %K whose RSI window holds a NaN stays NaN.
// All NaN when fastk = 0, fastd = 0 or n <= the first index.
StochResult stochrsi(SeriesView close, std::size_t timeperiod, std::size_t fastk,
                     std::size_t fastd);

// ((hh - close) * -100) / (hh - ll) from index period - 1, 0 where hh = ll.
// All NaN unless the lengths are equal and 2 <= period <= n.
Series willr(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_STOCHASTIC_H_
