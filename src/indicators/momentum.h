// Momentum kernels over one close series: Wilder's RSI and the rate-of-change
// family (momentum, percent, ratio and multiplier forms).
// Results have close.size() positions; unusable periods give all NaN.
#ifndef TESSARIN_INDICATORS_MOMENTUM_H_
#define TESSARIN_INDICATORS_MOMENTUM_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

// Wilder RSI from index `period`: seeded on the first `period` changes, then the
// Wilder average of gains and losses. All NaN when period = 0 or period >= n.
Series rsi(SeriesView close, std::size_t period);

// close[i] - close[i - period] from index `period`. All NaN unless 1 <= period < n.
Series mom(SeriesView close, std::size_t period);

// (close[i] - prev) * 100 / prev, 0 where prev = 0; validity as mom.
Series roc(SeriesView close, std::size_t period);

// (close[i] - prev) / prev, 0 where prev = 0; validity as mom.
Series rocp(SeriesView close, std::size_t period);

// close[i] / prev, 0 where prev = 0; validity as mom.
Series rocr(SeriesView close, std::size_t period);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_MOMENTUM_H_
