"""The event log: recording, debug text, JSON form and replay."""

import json
import pickle

import pytest

import tessarin
from conftest import levels, trade_tuple


def test_every_request_is_recorded_whatever_its_outcome(ex):
    assert ex.events() == []
    ex.submit_limit("buy", 10050, 100)
    ex.cancel(99)
    ex.modify(1, 10050, 0)
    assert [e.kind for e in ex.events()] == ["submit_limit", "cancel", "modify"]
    ex.clear_trades()
    ex.compact()
    ex.clear_order_history()
    assert len(ex.events()) == 3


def all_kinds_exchange():
    ex = tessarin.Exchange()
    ex.submit_limit("buy", 10050, 100)
    ex.submit_market("sell", 5)
    ex.cancel(7)
    ex.modify(1, -3, 9)
    ex.submit_stop_market("sell", 9900, 3)
    ex.submit_stop_limit("buy", 10100, 10150, 4, "fok")
    ex.submit_trailing_stop_market("sell", 9800, 2, "fixed", 100.0)
    ex.submit_trailing_stop_limit("buy", 10200, 10300, 1, "pct", 0.05, "ioc")
    ex.submit_trailing_stop_market("sell", 9700, 2, "sma_abs_change", 2.0, 14)
    return ex


EXPECTED = [
    ("submit_limit", "SubmitLimit { side: Buy, price: Price(10050), quantity: 100, time_in_force: GTC }",
     '{"SubmitLimit":{"side":"Buy","price":10050,"quantity":100,"time_in_force":"GTC"}}'),
    ("submit_market", "SubmitMarket { side: Sell, quantity: 5 }",
     '{"SubmitMarket":{"side":"Sell","quantity":5}}'),
    ("cancel", "Cancel { order_id: OrderId(7) }", '{"Cancel":{"order_id":7}}'),
    ("modify", "Modify { order_id: OrderId(1), new_price: Price(-3), new_quantity: 9 }",
     '{"Modify":{"order_id":1,"new_price":-3,"new_quantity":9}}'),
    ("submit_stop_market", "SubmitStopMarket { side: Sell, stop_price: Price(9900), quantity: 3 }",
     '{"SubmitStopMarket":{"side":"Sell","stop_price":9900,"quantity":3}}'),
    ("submit_stop_limit",
     "SubmitStopLimit { side: Buy, stop_price: Price(10100), limit_price: Price(10150), quantity: 4, "
     "time_in_force: FOK }",
     '{"SubmitStopLimit":{"side":"Buy","stop_price":10100,"limit_price":10150,"quantity":4,"time_in_force":"FOK"}}'),
    ("submit_trailing_stop_market",
     "SubmitTrailingStopMarket { side: Sell, stop_price: Price(9800), quantity: 2, trail_method: Fixed(100) }",
     '{"SubmitTrailingStopMarket":{"side":"Sell","stop_price":9800,"quantity":2,"trail_method":{"Fixed":100}}}'),
    ("submit_trailing_stop_limit",
     "SubmitTrailingStopLimit { side: Buy, stop_price: Price(10200), limit_price: Price(10300), quantity: 1, "
     "time_in_force: IOC, trail_method: Percentage(0.05) }",
     '{"SubmitTrailingStopLimit":{"side":"Buy","stop_price":10200,"limit_price":10300,"quantity":1,'
     '"time_in_force":"IOC","trail_method":{"Percentage":0.05}}}'),
    ("submit_trailing_stop_market",
     "SubmitTrailingStopMarket { side: Sell, stop_price: Price(9700), quantity: 2, "
     "trail_method: SmaAbsChange { multiplier: 2.0, period: 14 } }",
     '{"SubmitTrailingStopMarket":{"side":"Sell","stop_price":9700,"quantity":2,'
     '"trail_method":{"SmaAbsChange":{"multiplier":2.0,"period":14}}}}'),
]


def test_kinds_debug_texts_and_json_of_every_variant():
    events = all_kinds_exchange().events()
    assert [(e.kind, repr(e), e.__getstate__()) for e in events] == EXPECTED


def test_json_round_trip_through_setstate():
    events = all_kinds_exchange().events()
    target = tessarin.Exchange()
    target.cancel(1)
    holder = target.events()[0]
    for event in events:
        assert holder.__setstate__(event.__getstate__()) is None
        assert repr(holder) == repr(event)
        assert holder.kind == event.kind


@pytest.mark.parametrize(
    "text",
    [
        '{"SubmitLimit":{"side":"buy","price":1,"quantity":1,"time_in_force":"GTC"}}',  # case-sensitive
        '{"SubmitLimit":{"side":"Buy","price":1,"time_in_force":"GTC"}}',  # missing field
        '{"SubmitLimit":{"side":"Buy","side":"Sell","price":1,"quantity":1,"time_in_force":"GTC"}}',
        '{"Submit":{"side":"Buy"}}',  # unknown variant
        '{"Cancel":{"order_id":-1}}',  # negative id
        '{"Cancel":{"order_id":1.0}}',  # float for an integer
        '{"Cancel":{"order_id":"1"}}',
        '{"SubmitLimit":{"side":"Buy","price":1.5,"quantity":1,"time_in_force":"GTC"}}',
        '{"Cancel":{"order_id":1},"Modify":{"order_id":1,"new_price":1,"new_quantity":1}}',
        '{"SubmitTrailingStopMarket":{"side":"Sell","stop_price":1,"quantity":2,"trail_method":{"Linear":1}}}',
        '{"SubmitTrailingStopMarket":{"side":"Sell","stop_price":1,"quantity":2,'
        '"trail_method":{"Percentage":null}}}',
        '{"Cancel":{"order_id":1}} trailing',
        "not json",
        "",
        "[]",
    ],
)
def test_setstate_rejects_invalid_text_and_keeps_the_event(ex, text):
    ex.cancel(5)
    event = ex.events()[0]
    with pytest.raises(ValueError) as info:
        event.__setstate__(text)
    assert str(info.value)
    assert repr(event) == "Cancel { order_id: OrderId(5) }"


def test_setstate_error_messages_name_the_problem(ex):
    ex.cancel(5)
    event = ex.events()[0]
    cases = {
        '{"SubmitLimit":{"side":"Buy","price":1,"time_in_force":"GTC"}}': "quantity",
        '{"Cancel":{"order_id":1,"order_id":2}}': "duplicate",
        '{"Nope":{}}': "Nope",
    }
    for text, needle in cases.items():
        with pytest.raises(ValueError, match=needle):
            event.__setstate__(text)


def test_setstate_accepts_any_field_order_arrays_and_unknown_fields(ex):
    ex.cancel(5)
    event = ex.events()[0]
    event.__setstate__('{"SubmitLimit":{"time_in_force":"IOC","quantity":3,"note":"x","price":-2,"side":"Sell"}}')
    assert repr(event) == "SubmitLimit { side: Sell, price: Price(-2), quantity: 3, time_in_force: IOC }"
    event.__setstate__('{"Modify":[4, 100, 2]}')
    assert repr(event) == "Modify { order_id: OrderId(4), new_price: Price(100), new_quantity: 2 }"
    event.__setstate__('{"Cancel":{"order_id":18446744073709551615}}')
    assert json.loads(event.__getstate__()) == {"Cancel": {"order_id": 2**64 - 1}}


def test_events_cannot_be_pickled_by_the_standard_machinery(ex):
    ex.cancel(1)
    with pytest.raises(Exception):
        pickle.loads(pickle.dumps(ex.events()[0]))


def full_state(ex):
    max_id = max([0] + [t.aggressor_order_id for t in ex.trades()] + [len(ex.events()) * 2 + 2])
    orders = []
    for i in range(1, max_id + 1):
        o = ex.get_order(i)
        orders.append(None if o is None else (o.id, o.side, o.price, o.original_quantity, o.remaining_quantity,
                                              o.filled_quantity, o.status, o.time_in_force, o.timestamp))
    book = ex.full_book()
    return {
        "trades": [trade_tuple(t) for t in ex.trades()],
        "bids": levels(book.bids),
        "asks": levels(book.asks),
        "orders": orders,
        "stops": [ex.get_stop_order(i) for i in range(1, max_id + 1)],
        "pending": ex.pending_stop_count(),
        "last": ex.last_trade_price(),
        "events": [repr(e) for e in ex.events()],
    }


def test_replay_reproduces_state_including_triggered_stops():
    ex = tessarin.Exchange()
    ex.submit_limit("sell", 10000, 1)
    ex.submit_limit("buy", 10000, 1)
    ex.submit_limit("buy", 9500, 3)
    ex.submit_stop_market("sell", 9900, 2)
    ex.submit_trailing_stop_market("sell", 9000, 1, "fixed", 50.0)
    ex.submit_limit("sell", 9900, 1)
    ex.submit_limit("buy", 9900, 1)
    ex.cancel(42)
    ex.modify(3, 9400, 2)
    replayed = tessarin.Exchange.replay(ex.events())
    assert full_state(replayed) == full_state(ex)
    assert replayed.submit_limit("buy", 1, 1).order_id == ex.submit_limit("buy", 1, 1).order_id


def test_replay_of_an_empty_log():
    ex = tessarin.Exchange.replay([])
    assert repr(ex) == "Exchange(bid=None, ask=None, trades=0)"
    assert tessarin.Exchange.replay(()).events() == []
