// Moving-average kernels: simple and exponential averages, MACD built on the
// exponential average, and Bollinger bands around the simple average.
// Every kernel returns fresh arrays of close.size() positions; undefined ones are
// NaN, and unusable parameters give an all-NaN result instead of an error.
#ifndef TESSARIN_INDICATORS_MOVING_AVERAGE_H_
#define TESSARIN_INDICATORS_MOVING_AVERAGE_H_

#include <cstddef>

#include "indicators/series.h"

namespace tessarin::indicators {

struct MacdResult {
  Series macd;
  Series signal;
  Series histogram;
};

struct BandsResult {
  Series upper;
  Series middle;
  Series lower;
};

// Simple moving average from index period - 1, by a running sum that is never
// recomputed (a NaN that enters it stays). All NaN when period = 0 or > n.
Series sma(SeriesView close, std::size_t period);

// Exponential average, k = 2 / (period + 1), seeded at index period - 1 with the
// mean of the first `period` values. All NaN when period = 0 or > n.
Series ema(SeriesView close, std::size_t period);

// MACD line, signal line and histogram, all first defined at slow + signal - 2.
// The fast average is seeded on the `fast` closes ending at slow - 1, so both
// averages start at the same bar. All NaN unless fast >= 1, signal >= 1,
// slow <= n and fast < slow (the periods are never swapped).
MacdResult macd(SeriesView close, std::size_t fast, std::size_t slow, std::size_t signal);

// Bands at num_std_up / num_std_dn population standard deviations around
// sma(close, period), from index period - 1. All NaN when period = 0 or > n.
BandsResult bbands(SeriesView close, std::size_t period, double num_std_up, double num_std_dn);

// The same computation as bbands, under its second name.
BandsResult bollinger(SeriesView close, std::size_t period, double num_std_up,
                      double num_std_dn);

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_MOVING_AVERAGE_H_
