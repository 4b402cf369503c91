"""Stop, stop-limit and trailing-stop orders: triggering, cascades, trailing."""

import pytest

import tessarin


def trade_at(ex, price, qty=1):
    """Prints one trade at `price` between two fresh orders."""
    ex.submit_limit("sell", price, qty)
    ex.submit_limit("buy", price, qty)


def test_sell_stop_market_triggers_on_equality_and_sells_into_bids(ex):
    trade_at(ex, 10000)
    ex.submit_limit("buy", 9850, 5)
    r = ex.submit_stop_market("sell", 9900, 5)
    assert repr(r) == f"StopSubmitResult(order_id={r.order_id}, status='Pending')"
    assert ex.pending_stop_count() == 1
    trade_at(ex, 9900)
    stop = ex.get_stop_order(r.order_id)
    assert stop["status"] == "triggered"
    assert ex.pending_stop_count() == 0
    last = ex.trades()[-1]
    assert (last.price, last.quantity, last.aggressor_side) == (9850, 5, "sell")
    assert last.aggressor_order_id > r.order_id  # the stop's order gets a new id


def test_stop_dict_keys_and_values(ex):
    r = ex.submit_stop_limit("buy", 10100, 10150, 7, "ioc")
    assert ex.get_stop_order(r.order_id) == {
        "id": 1, "side": "buy", "stop_price": 10100, "limit_price": 10150, "quantity": 7,
        "status": "pending", "timestamp": 1,
    }
    assert list(ex.get_stop_order(r.order_id)) == [
        "id", "side", "stop_price", "limit_price", "quantity", "status", "timestamp"]
    m = ex.submit_stop_market("sell", 9000, 1)
    assert ex.get_stop_order(m.order_id)["limit_price"] is None
    assert ex.get_stop_order(999) is None
    assert ex.get_order(r.order_id) is None  # stops are not in the order table


def test_buy_stop_at_or_below_last_trade_triggers_at_once(ex):
    trade_at(ex, 10000)
    ex.submit_limit("sell", 10010, 3)
    r = ex.submit_stop_market("buy", 10000, 3)
    assert r.status == "Triggered"
    assert ex.trades()[-1].price == 10010
    trailing = ex.submit_trailing_stop_market("buy", 9000, 1, "fixed", 100.0)
    assert trailing.status == "Pending"  # trailing stops wait for the next trade


def test_stops_crossed_together_execute_in_submission_order(ex):
    trade_at(ex, 10000)
    ex.submit_limit("buy", 9000, 100)
    a = ex.submit_stop_market("sell", 9800, 1)
    b = ex.submit_stop_market("sell", 9900, 2)
    trade_at(ex, 9700)
    fills = [t for t in ex.trades() if t.price == 9000]
    assert [t.quantity for t in fills] == [1, 2]
    assert fills[0].aggressor_order_id < fills[1].aggressor_order_id
    assert {ex.get_stop_order(a.order_id)["status"], ex.get_stop_order(b.order_id)["status"]} == {"triggered"}


def test_triggered_stop_limit_that_does_not_cross_rests_as_a_new_order(ex):
    trade_at(ex, 10000)
    s = ex.submit_stop_limit("buy", 10100, 10050, 5)
    ex.submit_limit("sell", 10200, 1)
    trade_at(ex, 10100)
    assert ex.get_stop_order(s.order_id)["status"] == "triggered"
    assert ex.best_bid() == 10050
    new_id = max(i for i in range(1, 20) if ex.get_order(i) is not None)
    order = ex.get_order(new_id)
    assert (order.price, order.remaining_quantity, order.status) == (10050, 5, "new")


def test_cancel_a_pending_stop_then_again(ex):
    s = ex.submit_stop_market("sell", 9000, 4)
    c = ex.cancel(s.order_id)
    assert (c.success, c.cancelled_quantity) == (True, 4)
    assert ex.get_stop_order(s.order_id)["status"] == "cancelled"
    assert ex.cancel(s.order_id).error == "OrderNotFound"
    assert ex.pending_stop_count() == 0
    assert ex.modify(s.order_id, 1, 1).error == "OrderNotFound"  # stops cannot be modified


def test_fixed_trailing_sell_stop_only_tightens(ex):
    trade_at(ex, 10000)
    s = ex.submit_trailing_stop_market("sell", 9800, 1, "fixed", 100.0)
    trade_at(ex, 10000)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 9900
    trade_at(ex, 10050)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 9950
    trade_at(ex, 9990)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 9950
    assert ex.get_stop_order(s.order_id)["status"] == "pending"


def test_percentage_trail_rounds_half_away_from_zero(ex):
    trade_at(ex, 10050)
    s = ex.submit_trailing_stop_market("sell", 1, 1, "pct", 0.05)
    trade_at(ex, 10050)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 10050 - 503


def test_buy_trailing_stop_follows_the_low(ex):
    trade_at(ex, 10000)
    s = ex.submit_trailing_stop_limit("buy", 11000, 12000, 1, "FIXED", 200.0, "gtc")
    trade_at(ex, 9900)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 10100
    trade_at(ex, 9950)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 10100


def test_sma_abs_change_without_history_does_not_move(ex):
    s = ex.submit_trailing_stop_market("sell", 9000, 1, "sma_abs_change", 2.0, atr_period=14)
    trade_at(ex, 10000)  # first observation: no change recorded yet
    assert ex.get_stop_order(s.order_id)["stop_price"] == 9000
    trade_at(ex, 10100)  # one change of 100: distance 2 * 100
    assert ex.get_stop_order(s.order_id)["stop_price"] == 10100 - 200


def test_stop_cascade_and_history_purge(ex):
    trade_at(ex, 10000)
    ex.submit_limit("buy", 9500, 1)
    ex.submit_limit("buy", 9400, 1)
    first = ex.submit_stop_market("sell", 9900, 1)  # fills at 9500 ...
    second = ex.submit_stop_market("sell", 9500, 1)  # ... which triggers this one at 9400
    trade_at(ex, 9900)
    assert [t.price for t in ex.trades()[-2:]] == [9500, 9400]
    assert ex.last_trade_price() == 9400
    assert ex.clear_order_history() > 0
    assert ex.get_stop_order(first.order_id) is None
    assert ex.get_stop_order(second.order_id) is None


@pytest.mark.parametrize("trail_type", ["Fixed", "PERCENTAGE", "pct", "sma_abs_change", "ATR"])
def test_trail_type_spellings(ex, trail_type):
    r = ex.submit_trailing_stop_market("sell", 100, 1, trail_type, 1.0, atr_period=3)
    assert r.status == "Pending"


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (dict(trail_type="ema", trail_value=1.0),
         "Invalid trail_type 'ema'. Use 'fixed', 'percentage', or 'sma_abs_change'."),
        (dict(trail_type="atr", trail_value=1.0),
         "atr_period is required when trail_type='sma_abs_change' (or the deprecated alias 'atr')"),
        (dict(trail_type="sma_abs_change", trail_value=1.0, atr_period=None),
         "atr_period is required when trail_type='sma_abs_change' (or the deprecated alias 'atr')"),
    ],
)
def test_trail_argument_errors(ex, kwargs, message):
    with pytest.raises(ValueError) as info:
        ex.submit_trailing_stop_market("sell", 100, 1, **kwargs)
    assert str(info.value) == message
    with pytest.raises(ValueError) as info:
        ex.submit_trailing_stop_limit("sell", 100, 90, 1, **kwargs)
    assert str(info.value) == message


def test_fixed_trail_value_truncates_and_saturates(ex):
    trade_at(ex, 10000)
    s = ex.submit_trailing_stop_market("sell", 1, 1, "fixed", 99.9)
    big = ex.submit_trailing_stop_market("sell", 1, 1, "fixed", float("nan"))
    huge = ex.submit_trailing_stop_market("buy", 2**63 - 1, 1, "fixed", 1e300)
    trade_at(ex, 10000)
    assert ex.get_stop_order(s.order_id)["stop_price"] == 10000 - 99
    assert ex.get_stop_order(big.order_id)["stop_price"] == 1  # NaN gives offset 0: never moves
    assert ex.get_stop_order(huge.order_id)["stop_price"] == 2**63 - 1  # W + D saturates, no move
