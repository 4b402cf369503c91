// The indicator catalogue: one fixed row per indicator that claims TA-Lib
// parity, with its family and the series it reads. Static data built into the
// core; the Python layer only converts it.
#ifndef TESSARIN_INDICATORS_CATALOGUE_H_
#define TESSARIN_INDICATORS_CATALOGUE_H_

#include <span>
#include <string_view>

namespace tessarin::indicators {

// One catalogue row. The views refer to string literals (NUL-terminated, static
// storage).
struct IndicatorMeta {
  std::string_view name;        // indicator name, also the kernel name
  std::string_view category;    // "overlap", "momentum", "volatility" or "volume"
  std::string_view input_type;  // "close", "ohlc", "close_volume" or "ohlcv"
  std::string_view core_fn;     // the core function the row stands for
  bool has_parity;              // whether the indicator claims TA-Lib parity
};

// The 25 rows in catalogue order ("sma" first, "trange" last). The "atr" row
// stands for the kernel wilder_atr.
std::span<const IndicatorMeta> indicator_catalogue();

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_CATALOGUE_H_
