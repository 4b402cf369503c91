#include "indicators/directional.h"

namespace tessarin::indicators {

namespace {

struct Sums {
  double tr = 0.0;
  double plus_dm = 0.0;
  double minus_dm = 0.0;
};

// Adds bar i's true range and directional movements to `s` through `accumulate`.
template <typename Accumulate>
void add_bar(const double* h, const double* l, const double* c, std::size_t i, Sums& s,
             Accumulate accumulate) {
  const double up = h[i] - h[i - 1];
  const double down = l[i - 1] - l[i];
  // Both movements in one pair: which of them wins is a coin toss on real data,
  // and the lane-wise select keeps it free of mispredicted branches.
  const Pair move = {up, down};
  const Pair other = {down, up};
  const Pair zero = splat<Pair>(0.0);
  const Pair dm = ((move > other) & (move > zero)) ? move : zero;
  s.tr = accumulate(s.tr, true_range(h[i], l[i], c[i - 1]));
  s.plus_dm = accumulate(s.plus_dm, dm[0]);
  s.minus_dm = accumulate(s.minus_dm, dm[1]);
}

// Plain sums over bars 1..period-1, then from bar `period` on the Wilder running
// sum; calls emit(i, sums) at every bar i >= period.
// REQUIRES: 1 <= period < n.
template <typename Emit>
void directional_pass(const double* h, const double* l, const double* c, std::size_t n,
                      std::size_t period, Emit emit) {
  const double p = static_cast<double>(period);
  Sums s;
  for (std::size_t i = 1; i < period; ++i) {
    add_bar(h, l, c, i, s, [](double sum, double x) { return sum + x; });
  }
  for (std::size_t i = period; i < n; ++i) {
    add_bar(h, l, c, i, s, [p](double sum, double x) { return wilder_sum(sum, x, p); });
    emit(i, s);
  }
}

struct Indicators {
  double plus;
  double minus;
};

// Multiply first, then divide: the order fixes the last bit.
Indicators directional_indicators(const Sums& s) {
  if (s.tr == 0.0) return {0.0, 0.0};
  return {(s.plus_dm * 100.0) / s.tr, (s.minus_dm * 100.0) / s.tr};
}

double directional_index(const Sums& s) {
  if (s.tr == 0.0) return 0.0;
  const Indicators di = directional_indicators(s);
  const double total = di.plus + di.minus;
  if (total == 0.0) return 0.0;
  return std::fabs(di.plus - di.minus) * 100.0 / total;
}

bool usable(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  const std::size_t n = high.size();
  return low.size() == n && close.size() == n && period >= 1 && period < n;
}

template <typename Value>
Series per_bar(SeriesView high, SeriesView low, SeriesView close, std::size_t period,
               Value value) {
  const std::size_t n = high.size();
  Series out = nan_series(n);
  if (!usable(high, low, close, period)) return out;
  directional_pass(high.data(), low.data(), close.data(), n, period,
                   [&](std::size_t i, const Sums& s) { out[i] = value(s); });
  return out;
}

}  // namespace

Series plus_di(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  return per_bar(high, low, close, period,
                 [](const Sums& s) { return directional_indicators(s).plus; });
}

Series minus_di(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  return per_bar(high, low, close, period,
                 [](const Sums& s) { return directional_indicators(s).minus; });
}

Series dx(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  return per_bar(high, low, close, period, directional_index);
}

Series adx(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  const std::size_t n = high.size();
  Series out = nan_series(n);
  if (!usable(high, low, close, period) || period < 2 || n / 2 < period) return out;
  const std::size_t first = 2 * period - 1;
  const double p = static_cast<double>(period);
  const double p1 = static_cast<double>(period - 1);
  double sum = 0.0;
  double average = 0.0;
  directional_pass(high.data(), low.data(), close.data(), n, period,
                   [&](std::size_t i, const Sums& s) {
                     // A bar without range carries no direction: it neither
                     // joins the seed nor moves the average.
                     const bool ranged = s.tr != 0.0;
                     if (i < first) {
                       if (ranged) sum += directional_index(s);
                       return;
                     }
                     if (i == first) {
                       if (ranged) sum += directional_index(s);
                       average = sum / p;
                     } else if (ranged) {
                       average = wilder_average(average, directional_index(s), p1, p);
                     }
                     out[i] = average;
                   });
  return out;
}

}  // namespace tessarin::indicators
