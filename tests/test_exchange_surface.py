"""The exchange area's Python surface: registration, signatures, docstrings,
argument conversion and the shared side / time-in-force / symbol parsers."""

import inspect

import pytest

import tessarin

EXCHANGE_CLASSES = [
    "Exchange", "MultiExchange", "Order", "Event", "SubmitResult", "CancelResult", "ModifyResult",
    "StopSubmitResult", "Trade", "LevelSnapshot", "BookSnapshot",
]

EXCHANGE_SIGNATURES = {
    "submit_limit": '($self, side, price, quantity, tif="gtc")',
    "submit_market": "($self, side, quantity)",
    "cancel": "($self, order_id)",
    "modify": "($self, order_id, new_price, new_quantity)",
    "submit_stop_market": "($self, side, stop_price, quantity)",
    "submit_stop_limit": '($self, side, stop_price, limit_price, quantity, tif="gtc")',
    "submit_trailing_stop_market":
        "($self, side, initial_stop_price, quantity, trail_type, trail_value, atr_period=None)",
    "submit_trailing_stop_limit":
        '($self, side, initial_stop_price, limit_price, quantity, trail_type, trail_value, tif="gtc", atr_period=None)',
    "get_order": "($self, order_id)",
    "get_stop_order": "($self, order_id)",
    "best_bid_ask": "($self)",
    "best_bid": "($self)",
    "best_ask": "($self)",
    "spread": "($self)",
    "last_trade_price": "($self)",
    "trades": "($self)",
    "events": "($self)",
    "depth": "($self, levels=10)",
    "full_book": "($self)",
    "pending_stop_count": "($self)",
    "clear_trades": "($self)",
    "clear_order_history": "($self)",
    "compact": "($self)",
    "replay": "(events)",
}

MULTI_SIGNATURES = {
    "get_or_create": "($self, symbol)",
    "symbols": "($self)",
    "best_prices": "($self)",
    "submit_limit": '($self, symbol, side, price, quantity, tif="gtc")',
    "submit_market": "($self, symbol, side, quantity)",
    "cancel": "($self, symbol, order_id)",
    "modify": "($self, symbol, order_id, new_price, new_quantity)",
    "len": "($self)",
}


def test_classes_are_registered_in_order():
    names = [n for n in vars(tessarin) if isinstance(getattr(tessarin, n), type)]
    assert [n for n in names if n in EXCHANGE_CLASSES] == EXCHANGE_CLASSES


@pytest.mark.parametrize("cls, table", [(tessarin.Exchange, EXCHANGE_SIGNATURES),
                                        (tessarin.MultiExchange, MULTI_SIGNATURES)])
def test_text_signatures(cls, table):
    for name, sig in table.items():
        assert getattr(cls, name).__text_signature__ == sig, name
        inspect.signature(getattr(cls, name))  # parses


@pytest.mark.parametrize(
    "cls, doc",
    [
        (tessarin.Exchange, "A limit order book exchange."),
        (tessarin.MultiExchange, "Multi-symbol exchange wrapping one Exchange per symbol."),
        (tessarin.SubmitResult, "Result of submitting an order."),
        (tessarin.CancelResult, "Result of cancelling an order."),
        (tessarin.ModifyResult, "Result of modifying an order."),
        (tessarin.StopSubmitResult, "Result of submitting a stop order."),
        (tessarin.Trade, "A trade that occurred in the exchange."),
        (tessarin.LevelSnapshot, "A price level in the order book snapshot."),
        (tessarin.BookSnapshot, "Book depth snapshot."),
        (tessarin.Order, None),
        (tessarin.Event, None),
    ],
)
def test_class_docstrings(cls, doc):
    assert cls.__doc__ == doc


def test_method_docstrings():
    assert tessarin.Exchange.replay.__doc__ == "Replay events to reconstruct exchange state."
    assert tessarin.Exchange.modify.__doc__ == (
        "Modify an order (cancel and replace).\n\nThe new order gets a new ID and loses time priority.")
    assert tessarin.Exchange.compact.__doc__ == "Remove tombstones from the order book."
    assert tessarin.Trade.price_float.__doc__ == "Price as a float (dollars, not cents)."
    assert "sma_abs_change" in tessarin.Exchange.submit_trailing_stop_market.__doc__


@pytest.mark.parametrize("name", [n for n in EXCHANGE_CLASSES if n not in ("Exchange", "MultiExchange")])
def test_result_classes_have_no_constructor(name):
    with pytest.raises(TypeError):
        getattr(tessarin, name)()


def test_constructors_take_no_arguments():
    assert tessarin.Exchange.__text_signature__ == "()"
    with pytest.raises(TypeError):
        tessarin.Exchange(1)
    with pytest.raises(TypeError):
        tessarin.MultiExchange(symbols=1)


def test_attributes_are_read_only(ex):
    r = ex.submit_limit("buy", 100, 1)
    with pytest.raises(AttributeError):
        r.order_id = 5
    with pytest.raises(AttributeError):
        ex.get_order(1).price = 1
    assert r.order_id == 1


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda ex: ex.submit_limit("buy", 100), TypeError,
         "Exchange.submit_limit() missing 1 required positional argument: 'quantity'"),
        (lambda ex: ex.submit_limit("buy"), TypeError,
         "Exchange.submit_limit() missing 2 required positional arguments: 'price' and 'quantity'"),
        (lambda ex: ex.submit_limit("buy", 100, 1, "gtc", 5), TypeError,
         "Exchange.submit_limit() takes from 3 to 4 positional arguments but 5 were given"),
        (lambda ex: ex.submit_limit("buy", 100, 1, typo="gtc"), TypeError,
         "Exchange.submit_limit() got an unexpected keyword argument 'typo'"),
        (lambda ex: ex.submit_limit("buy", 100, 1, side="buy"), TypeError,
         "Exchange.submit_limit() got multiple values for argument 'side'"),
        (lambda ex: ex.submit_limit("buy", 1.5, 1), TypeError,
         "argument 'price': 'float' object cannot be interpreted as an integer"),
        (lambda ex: ex.submit_limit(1, 100, 1), TypeError, "argument 'side': expected str, got int"),
        (lambda ex: ex.submit_limit("buy", 100, -1), OverflowError,
         "argument 'quantity': can't convert negative int to unsigned"),
        (lambda ex: ex.submit_limit("buy", 2**63, 1), OverflowError, "argument 'price': int too big to convert"),
        (lambda ex: ex.cancel(2**64), OverflowError, "argument 'order_id': int too big to convert"),
        (lambda ex: ex.depth(-1), OverflowError, "argument 'levels': can't convert negative int to unsigned"),
        (lambda ex: tessarin.Exchange.replay("abc"), TypeError, "argument 'events': expected a sequence, got str"),
        (lambda ex: tessarin.Exchange.replay([1]), TypeError,
         "argument 'events': expected a sequence of Event, found int"),
    ],
)
def test_argument_conversion_errors(ex, call, exc, message):
    with pytest.raises(exc) as info:
        call(ex)
    assert str(info.value) == message
    assert ex.events() == []  # nothing was recorded


def test_keywords_and_index_objects_are_accepted(ex):
    class Qty:
        def __index__(self):
            return 7

    r = ex.submit_limit(side="sell", quantity=Qty(), price=True, tif="IOC")
    assert (r.cancelled_quantity, r.order_id) == (7, 1)
    assert ex.get_order(order_id=1).price == 1


@pytest.mark.parametrize("text, side", [("buy", "buy"), ("BUY", "buy"), ("Buy", "buy"), ("b", "buy"),
                                        ("sell", "sell"), ("S", "sell"), ("sElL", "sell")])
def test_side_spellings(ex, text, side):
    ex.submit_limit(text, 100, 1)
    assert ex.get_order(1).side == side


@pytest.mark.parametrize("text", [" buy", "buy ", "long", "", "bu", "\u0130"])
def test_side_rejections_quote_the_argument(ex, text):
    with pytest.raises(ValueError) as info:
        ex.submit_limit(text, 100, 1)
    assert str(info.value) == f"Invalid side '{text}'. Use 'buy' or 'sell'."


@pytest.mark.parametrize("text, tif", [("gtc", "GTC"), ("GTC", "GTC"), ("Ioc", "IOC"), ("fOK", "FOK")])
def test_tif_spellings(ex, text, tif):
    ex.submit_limit("buy", 100, 1, text)
    assert repr(ex.events()[0]).endswith(f"time_in_force: {tif} }}")


@pytest.mark.parametrize("text", ["day", " gtc", ""])
def test_tif_rejections_quote_the_argument(ex, text):
    with pytest.raises(ValueError) as info:
        ex.submit_limit("buy", 100, 1, text)
    assert str(info.value) == f"Invalid time_in_force '{text}'. Use 'gtc', 'ioc', or 'fok'."


def test_side_is_parsed_before_tif(ex):
    with pytest.raises(ValueError, match="Invalid side"):
        ex.submit_limit("x", 100, 1, "day")


@pytest.mark.parametrize("symbol", ["ABCDEFGH", "\u00e9\u00e9\u00e9", "aapl", ""])
def test_symbols_up_to_8_bytes_are_accepted_unchanged(symbol):
    mx = tessarin.MultiExchange()
    mx.submit_limit(symbol, "buy", 100, 1)
    assert mx.symbols() == [symbol]


@pytest.mark.parametrize("symbol", ["ABCDEFGHI", "\u00e9\u00e9\u00e9\u00e9\u00e9"])
def test_symbols_over_8_bytes_are_refused(symbol):
    mx = tessarin.MultiExchange()
    with pytest.raises(ValueError) as info:
        mx.submit_limit(symbol, "buy", 100, 1)
    assert str(info.value) == f"Symbol '{symbol}' exceeds 8 bytes. Use a shorter symbol."
    assert mx.len() == 0
