#include "indicators/catalogue.h"

#include <array>

namespace tessarin::indicators {

namespace {

constexpr IndicatorMeta row(std::string_view name, std::string_view category,
                            std::string_view input_type) {
  return {name, category, input_type, name, true};
}

constexpr std::array<IndicatorMeta, 25> kCatalogue = {
    row("sma", "overlap", "close"),
    row("ema", "overlap", "close"),
    row("rsi", "momentum", "close"),
    row("macd", "momentum", "close"),
    row("bbands", "overlap", "close"),
    row("atr", "volatility", "ohlc"),
    row("stoch", "momentum", "ohlc"),
    row("stochf", "momentum", "ohlc"),
    row("stochrsi", "momentum", "close"),
    row("adx", "momentum", "ohlc"),
    row("plus_di", "momentum", "ohlc"),
    row("minus_di", "momentum", "ohlc"),
    row("dx", "momentum", "ohlc"),
    row("cci", "momentum", "ohlc"),
    row("willr", "momentum", "ohlc"),
    row("ultosc", "momentum", "ohlc"),
    row("mom", "momentum", "close"),
    row("roc", "momentum", "close"),
    row("rocp", "momentum", "close"),
    row("rocr", "momentum", "close"),
    row("obv", "volume", "close_volume"),
    row("ad", "volume", "ohlcv"),
    row("adosc", "volume", "ohlcv"),
    row("natr", "volatility", "ohlc"),
    row("trange", "volatility", "ohlc"),
};

}  // namespace

std::span<const IndicatorMeta> indicator_catalogue() { return kCatalogue; }

}  // namespace tessarin::indicators
