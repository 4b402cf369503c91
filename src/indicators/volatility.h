// True-range kernels over aligned high/low/close bars: the unsmoothed true
// range, Wilder's average true range and its normalised (percent of close) form.
// Results have high.size() positions; unequal input lengths give all NaN.
#ifndef TESSARIN_INDICATORS_VOLATILITY_H_
#define TESSARIN_INDICATORS_VOLATILITY_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

// True range of every bar i >= 1 against close[i - 1]; index 0 stays NaN.
// All NaN when n = 1 or the lengths differ.
Series trange(SeriesView high, SeriesView low, SeriesView close);

// Wilder ATR from index `period`: mean of the true ranges of bars 1..period, then
// the Wilder average (bar 0 is never used). All NaN unless the lengths are equal
// and 1 <= period < n.
Series wilder_atr(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

// wilder_atr / close * 100 where the ATR is defined, 0 where close = 0; validity
// as wilder_atr.
Series natr(SeriesView high, SeriesView low, SeriesView close, std::size_t period);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_VOLATILITY_H_
