// Panel kernels: one indicator over many instruments at once. A panel is a flat
// row-major time x names array of L = T * n_names doubles, element (t, j) at
// t * n_names + j; results use the same layout and length.
//   1. Every column is computed with exactly the arithmetic of the single-series
//      kernel, so a result column equals that kernel's result on the column.
//   2. n_names = 0, or L not a multiple of n_names, gives all NaN of length L.
//   3. No panel kernel reports an error; unusable periods give NaN.
#ifndef TESSARIN_INDICATORS_PANEL_H_
#define TESSARIN_INDICATORS_PANEL_H_

#include <cstddef>

#include "indicators/moving_average.h"
#include "indicators/series.h"

namespace tessarin::indicators {

// sma per column, walking the panel row by row with one running sum per column.
Series sma_panel(SeriesView close, std::size_t n_names, std::size_t period);

// ema per column, walking the panel row by row with one average per column.
Series ema_panel(SeriesView close, std::size_t n_names, std::size_t period);

// sma / ema run on each column copied out into a scratch series; equal to
// sma_panel / ema_panel.
Series sma_panel_by_column(SeriesView close, std::size_t n_names, std::size_t period);
Series ema_panel_by_column(SeriesView close, std::size_t n_names, std::size_t period);

// Wilder RSI per column, first defined at row `period`; all NaN when period = 0
// or period >= T.
Series rsi_panel(SeriesView close, std::size_t n_names, std::size_t period);

// MACD per column, outputs from row slow + signal - 2; all NaN unless fast >= 1,
// signal >= 1, slow <= T and fast < slow.
MacdResult macd_panel(SeriesView close, std::size_t n_names, std::size_t fast,
                      std::size_t slow, std::size_t signal);

// Bollinger bands per column around sma_panel; all NaN when period = 0 or > T.
BandsResult bbands_panel(SeriesView close, std::size_t n_names, std::size_t period,
                         double num_std_up, double num_std_dn);

// Wilder ATR per column from row `period`. All NaN of close.size() when the three
// panels differ in length, and all NaN when period = 0 or period >= T.
Series atr_panel(SeriesView high, SeriesView low, SeriesView close, std::size_t n_names,
                 std::size_t period);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_PANEL_H_
