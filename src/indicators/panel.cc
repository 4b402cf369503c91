#include "indicators/panel.h"

#include <optional>

namespace tessarin::indicators {

namespace {

// Rows of a panel of `length` values over `n_names` columns; nullopt when the
// shape rule fails.
std::optional<std::size_t> rows_of(std::size_t length, std::size_t n_names) {
  if (n_names == 0 || length % n_names != 0) return std::nullopt;
  return length / n_names;
}

// Runs a single-series kernel on each column copied into a scratch series, and
// scatters its result back to the column's positions.
template <typename Kernel>
Series by_column(SeriesView close, std::size_t n_names, Kernel kernel) {
  Series out = nan_series(close.size());
  const std::optional<std::size_t> rows = rows_of(close.size(), n_names);
  if (!rows) return out;
  Series column(*rows);
  for (std::size_t j = 0; j < n_names; ++j) {
    for (std::size_t t = 0; t < *rows; ++t) column[t] = close[t * n_names + j];
    const Series result = kernel(SeriesView(column));
    for (std::size_t t = 0; t < *rows; ++t) out[t * n_names + j] = result[t];
  }
  return out;
}

// The running sums of rows 0..period-1, one per column, as sma and ema seed them.
Series column_sums(const double* x, std::size_t n_names, std::size_t period) {
  Series sum(n_names, 0.0);
  for (std::size_t t = 0; t < period; ++t) {
    const double* row = x + t * n_names;
    for (std::size_t j = 0; j < n_names; ++j) sum[j] += row[j];
  }
  return sum;
}

void write_macd(MacdResult& r, std::size_t at, double line, double signal) {
  if (is_nan(line) || is_nan(signal)) return;
  r.macd[at] = line;
  r.signal[at] = signal;
  r.histogram[at] = line - signal;
}

}  // namespace

Series sma_panel(SeriesView close, std::size_t n_names, std::size_t period) {
  Series out = nan_series(close.size());
  const std::optional<std::size_t> rows = rows_of(close.size(), n_names);
  if (!rows || period == 0 || period > *rows) return out;
  const double* x = close.data();
  const double p = static_cast<double>(period);
  Series sum = column_sums(x, n_names, period);
  double* first = out.data() + (period - 1) * n_names;
  for (std::size_t j = 0; j < n_names; ++j) first[j] = sum[j] / p;
  for (std::size_t t = period; t < *rows; ++t) {
    const double* row = x + t * n_names;
    const double* leaving = x + (t - period) * n_names;
    double* dst = out.data() + t * n_names;
    for (std::size_t j = 0; j < n_names; ++j) {
      sum[j] = slide_sum(sum[j], row[j], leaving[j]);
      dst[j] = sum[j] / p;
    }
  }
  return out;
}

Series ema_panel(SeriesView close, std::size_t n_names, std::size_t period) {
  Series out = nan_series(close.size());
  const std::optional<std::size_t> rows = rows_of(close.size(), n_names);
  if (!rows || period == 0 || period > *rows) return out;
  const double* x = close.data();
  const double p = static_cast<double>(period);
  const double k = ema_alpha(period);
  Series e = column_sums(x, n_names, period);
  double* first = out.data() + (period - 1) * n_names;
  for (std::size_t j = 0; j < n_names; ++j) {
    e[j] = e[j] / p;
    first[j] = e[j];
  }
  for (std::size_t t = period; t < *rows; ++t) {
    const double* row = x + t * n_names;
    double* dst = out.data() + t * n_names;
    for (std::size_t j = 0; j < n_names; ++j) {
      e[j] = ema_step(e[j], row[j], k);
      dst[j] = e[j];
    }
  }
  return out;
}

Series sma_panel_by_column(SeriesView close, std::size_t n_names, std::size_t period) {
  return by_column(close, n_names, [period](SeriesView c) { return sma(c, period); });
}

Series ema_panel_by_column(SeriesView close, std::size_t n_names, std::size_t period) {
  return by_column(close, n_names, [period](SeriesView c) { return ema(c, period); });
}

Series rsi_panel(SeriesView close, std::size_t n_names, std::size_t period) {
  Series out = nan_series(close.size());
  const std::optional<std::size_t> rows = rows_of(close.size(), n_names);
  if (!rows || period == 0 || period >= *rows) return out;
  const double* x = close.data();
  const double p = static_cast<double>(period);
  const double p1 = static_cast<double>(period - 1);
  Series gain(n_names, 0.0);
  Series loss(n_names, 0.0);
  for (std::size_t t = 1; t <= period; ++t) {
    const double* row = x + t * n_names;
    const double* prev = row - n_names;
    for (std::size_t j = 0; j < n_names; ++j) rsi_seed(row[j] - prev[j], gain[j], loss[j]);
  }
  double* first = out.data() + period * n_names;
  for (std::size_t j = 0; j < n_names; ++j) {
    gain[j] = gain[j] / p;
    loss[j] = loss[j] / p;
    first[j] = rsi_value(gain[j], loss[j]);
  }
  for (std::size_t t = period + 1; t < *rows; ++t) {
    const double* row = x + t * n_names;
    const double* prev = row - n_names;
    double* dst = out.data() + t * n_names;
    for (std::size_t j = 0; j < n_names; ++j) {
      rsi_update(row[j] - prev[j], p1, p, gain[j], loss[j]);
      dst[j] = rsi_value(gain[j], loss[j]);
    }
  }
  return out;
}

// Row by row with three running values per column; the arithmetic is macd()'s.
MacdResult macd_panel(SeriesView close, std::size_t n_names, std::size_t fast,
                      std::size_t slow, std::size_t signal) {
  const std::size_t length = close.size();
  MacdResult r{nan_series(length), nan_series(length), nan_series(length)};
  const std::optional<std::size_t> rows = rows_of(length, n_names);
  if (!rows || fast == 0 || signal == 0 || slow > *rows || fast >= slow) return r;
  const std::size_t first = index_add(slow, signal) - 2;
  if (first >= *rows) return r;
  const double* x = close.data();
  const double k_slow = ema_alpha(slow);
  const double k_fast = ema_alpha(fast);
  const double k_signal = ema_alpha(signal);
  // Until row slow - 1 these hold the seed sums, until row `first` the signal
  // holds the sum of the MACD line; afterwards all three are averages.
  Series slow_e = column_sums(x, n_names, slow);
  Series fast_e = column_sums(x + (slow - fast) * n_names, n_names, fast);
  Series signal_e(n_names, 0.0);
  for (std::size_t j = 0; j < n_names; ++j) {
    slow_e[j] = slow_e[j] / static_cast<double>(slow);
    fast_e[j] = fast_e[j] / static_cast<double>(fast);
  }
  for (std::size_t t = slow - 1; t < *rows; ++t) {
    const double* row = x + t * n_names;
    const std::size_t base = t * n_names;
    for (std::size_t j = 0; j < n_names; ++j) {
      if (t >= slow) {
        slow_e[j] = ema_step(slow_e[j], row[j], k_slow);
        fast_e[j] = ema_step(fast_e[j], row[j], k_fast);
      }
      const double line = fast_e[j] - slow_e[j];
      if (t < first) {
        signal_e[j] += line;
        continue;
      }
      if (t == first) {
        signal_e[j] += line;
        signal_e[j] = signal_e[j] / static_cast<double>(signal);
      } else {
        signal_e[j] = ema_step(signal_e[j], line, k_signal);
      }
      write_macd(r, base + j, line, signal_e[j]);
    }
  }
  return r;
}

BandsResult bbands_panel(SeriesView close, std::size_t n_names, std::size_t period,
                         double num_std_up, double num_std_dn) {
  const std::size_t length = close.size();
  BandsResult r{nan_series(length), sma_panel(close, n_names, period), nan_series(length)};
  const std::optional<std::size_t> rows = rows_of(length, n_names);
  if (!rows || period == 0 || period > *rows) return r;
  const double* x = close.data();
  for (std::size_t t = period - 1; t < *rows; ++t) {
    const double* window = x + (t + 1 - period) * n_names;
    const std::size_t base = t * n_names;
    // Lanes run across neighbouring columns: their windows interleave in memory.
    for_each_position(0, n_names, [&](auto lanes, std::size_t j) {
      using Lanes = decltype(lanes);
      constexpr std::size_t kL = Lanes::size;
      double sd[kL];
      welford_sd<Lanes>(window + j, period, n_names, sd);
      for (std::size_t w = 0; w < kL; ++w) {
        const double middle = r.middle[base + j + w];
        if (is_nan(middle)) continue;
        r.upper[base + j + w] = upper_band(middle, num_std_up, sd[w]);
        r.lower[base + j + w] = lower_band(middle, num_std_dn, sd[w]);
      }
    });
  }
  return r;
}

Series atr_panel(SeriesView high, SeriesView low, SeriesView close, std::size_t n_names,
                 std::size_t period) {
  const std::size_t length = close.size();
  Series out = nan_series(length);
  if (high.size() != length || low.size() != length) return out;
  const std::optional<std::size_t> rows = rows_of(length, n_names);
  if (!rows || period == 0 || period >= *rows) return out;
  const double p = static_cast<double>(period);
  const double p1 = static_cast<double>(period - 1);
  Series atr(n_names, 0.0);
  for (std::size_t t = 1; t < *rows; ++t) {
    const std::size_t base = t * n_names;
    for (std::size_t j = 0; j < n_names; ++j) {
      const std::size_t at = base + j;
      const double tr = true_range(high[at], low[at], close[at - n_names]);
      if (t < period) {
        atr[j] += tr;
      } else if (t == period) {
        atr[j] += tr;
        atr[j] = atr[j] / p;
      } else {
        atr[j] = wilder_average(atr[j], tr, p1, p);
      }
      if (t >= period) out[at] = atr[j];
    }
  }
  return out;
}

}  // namespace tessarin::indicators
