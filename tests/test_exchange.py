"""Exchange: submissions, time in force, cancel, modify, queries and reprs."""

import pytest

import tessarin
from conftest import levels, trade_tuple


def test_first_order_rests_with_id_1_and_timestamp_1(ex):
    r = ex.submit_limit("buy", 10050, 100)
    assert (r.order_id, r.status, r.filled_quantity, r.resting_quantity, r.cancelled_quantity) == (1, "New", 0, 100, 0)
    assert r.trades == []
    assert repr(r) == "SubmitResult(order_id=1, status='New', filled=0, resting=100, cancelled=0, trades=0)"
    order = ex.get_order(1)
    assert repr(order) == "Order(id=1, side=buy, price=10050, qty=0/100, status=new)"
    assert (order.timestamp, order.time_in_force, order.remaining_quantity) == (1, "gtc", 100)


def test_exchange_repr_shows_best_prices_in_dollars(ex):
    assert repr(ex) == "Exchange(bid=None, ask=None, trades=0)"
    ex.submit_limit("buy", 10050, 100)
    ex.submit_limit("sell", 10107, 5)
    assert repr(ex) == "Exchange(bid=$100.50, ask=$101.07, trades=0)"
    ex.submit_limit("buy", 10107, 5)
    assert repr(ex) == "Exchange(bid=$100.50, ask=None, trades=1)"


def test_marketable_buy_walks_levels_at_resting_prices(ex):
    ex.submit_limit("sell", 10050, 30)
    ex.submit_limit("sell", 10040, 20)
    r = ex.submit_limit("buy", 10050, 60)
    assert [(t.price, t.quantity, t.passive_order_id) for t in r.trades] == [(10040, 20, 2), (10050, 30, 1)]
    assert (r.status, r.filled_quantity, r.resting_quantity) == ("PartiallyFilled", 50, 10)
    assert ex.best_bid_ask() == (10050, None)
    t = r.trades[0]
    assert (t.trade_id, t.aggressor_side, t.aggressor_order_id, t.timestamp) == (1, "buy", 3, 4)
    assert t.price_float == 100.4
    assert repr(t) == "Trade(id=1, price=$100.40, qty=20, side='buy')"
    assert [trade_tuple(x) for x in ex.trades()] == [trade_tuple(x) for x in r.trades]
    assert ex.last_trade_price() == 10050


def test_same_price_fills_in_arrival_order_and_partial_keeps_front(ex):
    ex.submit_limit("sell", 100, 10)
    ex.submit_limit("sell", 100, 10)
    first = ex.submit_market("buy", 4)
    assert [t.passive_order_id for t in first.trades] == [1]
    second = ex.submit_market("buy", 10)
    assert [(t.passive_order_id, t.quantity) for t in second.trades] == [(1, 6), (2, 4)]
    assert ex.get_order(1).status == "filled"
    assert ex.get_order(2).status == "partiallyfilled"


@pytest.mark.parametrize("limit, crosses", [(10050, True), (10049, False)])
def test_limit_equal_to_best_ask_crosses(ex, limit, crosses):
    ex.submit_limit("sell", 10050, 10)
    r = ex.submit_limit("buy", limit, 10)
    assert bool(r.trades) is crosses


def test_fok_rejection_consumes_an_id_and_leaves_the_book(ex):
    ex.submit_limit("sell", 100, 60)
    ex.submit_limit("sell", 101, 40)
    ex.submit_limit("sell", 102, 500)
    before = levels(ex.full_book().asks)
    r = ex.submit_limit("buy", 101, 150, "fok")
    assert (r.order_id, r.status, r.trades, r.filled_quantity, r.resting_quantity, r.cancelled_quantity) == (
        4, "Cancelled", [], 0, 0, 150)
    assert ex.get_order(4) is None
    assert levels(ex.full_book().asks) == before
    nxt = ex.submit_limit("buy", 1, 1)
    assert nxt.order_id == 5
    assert ex.get_order(5).timestamp == 5  # the rejected order took a clock tick


def test_fok_for_exactly_the_available_quantity_fills(ex):
    ex.submit_limit("sell", 100, 60)
    ex.submit_limit("sell", 101, 40)
    r = ex.submit_limit("buy", 101, 100, "FOK")
    assert (r.status, r.filled_quantity) == ("Filled", 100)


def test_fok_check_ignores_cancelled_quantity(ex):
    ex.submit_limit("sell", 100, 60)
    ex.submit_limit("sell", 100, 40)
    ex.cancel(2)
    assert ex.submit_limit("buy", 100, 100, "fok").status == "Cancelled"
    assert ex.submit_limit("buy", 100, 60, "fok").status == "Filled"


def test_ioc_rest_is_cancelled_but_kept_in_the_order_table(ex):
    ex.submit_limit("sell", 100, 60)
    r = ex.submit_limit("buy", 100, 100, "ioc")
    assert (r.status, r.filled_quantity, r.cancelled_quantity, r.resting_quantity) == ("PartiallyFilled", 60, 40, 0)
    assert ex.best_bid() is None
    order = ex.get_order(2)
    assert (order.status, order.remaining_quantity) == ("partiallyfilled", 40)
    # still active: cancelling it returns the recorded remainder
    c = ex.cancel(2)
    assert (c.success, c.cancelled_quantity) == (True, 40)


def test_market_orders(ex):
    r = ex.submit_market("sell", 25)
    assert (r.status, r.filled_quantity, r.cancelled_quantity) == ("Cancelled", 0, 25)
    ex.submit_limit("buy", 99, 10)
    ex.submit_limit("buy", 98, 10)
    r = ex.submit_market("sell", 15)
    assert [(t.price, t.quantity) for t in r.trades] == [(99, 10), (98, 5)]
    assert ex.get_order(r.order_id).price == -(2**63)


def test_zero_quantity_is_stored_filled(ex):
    r = ex.submit_limit("buy", 100, 0)
    assert (r.status, r.trades) == ("Filled", [])
    assert ex.get_order(r.order_id).status == "filled"
    assert ex.best_bid() is None


def test_cancel_outcomes(ex):
    assert repr(ex.cancel(999)) == "CancelResult(success=False, error='OrderNotFound')"
    ex.submit_limit("buy", 100, 10)
    ok = ex.cancel(1)
    assert (ok.success, ok.cancelled_quantity, ok.error) == (True, 10, None)
    assert repr(ok) == "CancelResult(success=True, cancelled_quantity=10)"
    again = ex.cancel(1)
    assert (again.success, again.cancelled_quantity, again.error) == (False, 0, "OrderNotActive")
    ex.submit_limit("sell", 100, 5)
    ex.submit_limit("buy", 100, 5)
    assert ex.cancel(2).error == "OrderNotActive"  # filled


def test_cancel_middle_order_leaves_a_tombstone_that_matching_skips(ex):
    for _ in range(3):
        ex.submit_limit("sell", 100, 10)
    ex.cancel(2)
    assert levels(ex.depth().asks) == [(100, 20, 2)]
    r = ex.submit_market("buy", 20)
    assert [t.passive_order_id for t in r.trades] == [1, 3]
    assert ex.best_ask() is None


def test_cancelling_the_best_level_moves_the_best_price(ex):
    ex.submit_limit("buy", 100, 1)
    ex.submit_limit("buy", 99, 1)
    ex.cancel(1)
    assert ex.best_bid() == 99
    ex.cancel(2)
    assert ex.best_bid() is None
    assert ex.spread() is None


def test_modify_replaces_with_a_new_id_at_the_back_of_the_queue(ex):
    ex.submit_limit("buy", 100, 10)
    ex.submit_limit("buy", 100, 10)
    m = ex.modify(1, 100, 5)
    assert repr(m) == "ModifyResult(success=True, old=1, new=Some(3), trades=0)"
    assert (m.success, m.old_order_id, m.new_order_id, m.cancelled_quantity, m.error, m.trades) == (
        True, 1, 3, 10, None, [])
    assert ex.get_order(1).status == "cancelled"
    r = ex.submit_market("sell", 12)
    assert [(t.passive_order_id, t.quantity) for t in r.trades] == [(2, 10), (3, 2)]


def test_modify_that_crosses_trades_and_reports_them(ex):
    ex.submit_limit("sell", 105, 10)
    ex.submit_limit("buy", 100, 10)
    m = ex.modify(2, 105, 4)
    assert [(t.price, t.quantity, t.aggressor_order_id) for t in m.trades] == [(105, 4, 3)]
    assert ex.last_trade_price() == 105


@pytest.mark.parametrize(
    "setup, order_id, quantity, error",
    [
        ([], 7, 5, "OrderNotFound"),
        ([("buy", 100, 10)], 1, 0, "InvalidQuantity"),
        ([("buy", 100, 10), ("sell", 100, 10)], 1, 5, "OrderNotActive"),
    ],
)
def test_modify_failures(ex, setup, order_id, quantity, error):
    for side, price, qty in setup:
        ex.submit_limit(side, price, qty)
    m = ex.modify(order_id, 101, quantity)
    assert (m.success, m.error, m.new_order_id, m.cancelled_quantity, m.trades) == (False, error, None, 0, [])
    assert repr(m) == f"ModifyResult(success=False, error='{error}')"
    assert ex.events()[-1].kind == "modify"


def test_depth_snapshot_and_analytics(ex):
    ex.submit_limit("buy", 100, 10)
    ex.submit_limit("buy", 99, 290)
    ex.submit_limit("sell", 102, 30)
    ex.submit_limit("sell", 103, 70)
    snap = ex.depth()
    assert repr(snap) == "BookSnapshot(bids=2, asks=2)"
    assert levels(snap.bids) == [(100, 10, 1), (99, 290, 1)]
    assert levels(snap.asks) == [(102, 30, 1), (103, 70, 1)]
    assert repr(snap.bids[0]) == "Level(price=$1.00, qty=10, orders=1)"
    assert snap.bids[0].price_float == 1.0
    assert snap.imbalance() == 0.5
    assert snap.spread() == 2
    assert snap.mid_price() == 101.0
    assert snap.weighted_mid() == 100.5  # (30*100 + 10*102) / 40
    assert levels(ex.depth(1).bids) == [(100, 10, 1)]


def test_empty_snapshots(ex):
    snap = ex.depth(0)
    assert (snap.bids, snap.asks) == ([], [])
    assert (snap.imbalance(), snap.spread(), snap.mid_price(), snap.weighted_mid()) == (None, None, None, None)
    ex.submit_limit("buy", 100, 10)
    assert ex.depth(0).bids == []
    assert ex.full_book().bids[0].quantity == 10


def test_snapshot_analytics_at_extreme_prices_do_not_overflow(ex):
    ex.submit_limit("buy", -(2**63), 1)
    ex.submit_limit("sell", 2**63 - 1, 1)
    assert ex.spread() == 2**63 - 1  # saturates instead of wrapping
    snap = ex.depth()
    assert snap.spread() == 2**63 - 1
    assert snap.mid_price() == -0.5


def test_clear_trades_keeps_last_trade_price(ex):
    ex.submit_limit("sell", 100, 10)
    ex.submit_limit("buy", 100, 10)
    ex.clear_trades()
    assert ex.trades() == []
    assert ex.last_trade_price() == 100
    assert len(ex.events()) == 2


def test_clear_order_history_purges_terminal_orders_only(ex):
    ex.submit_limit("sell", 100, 10)  # filled below
    ex.submit_limit("buy", 100, 10)  # filled
    ex.submit_limit("buy", 90, 10)  # cancelled below
    ex.submit_limit("buy", 80, 10)  # stays active
    ex.cancel(3)
    assert ex.clear_order_history() == 3
    assert [ex.get_order(i) is None for i in (1, 2, 3, 4)] == [True, True, True, False]
    assert ex.clear_order_history() == 0
    assert ex.submit_limit("buy", 1, 1).order_id == 5  # ids are never reused


def test_compact_keeps_queue_order(ex):
    for _ in range(4):
        ex.submit_limit("sell", 100, 1)
    ex.cancel(1)
    ex.cancel(3)
    ex.compact()
    assert levels(ex.depth().asks) == [(100, 2, 2)]
    assert [t.passive_order_id for t in ex.submit_market("buy", 2).trades] == [2, 4]
    assert ex.cancel(2).error == "OrderNotActive"


def test_every_value_handed_out_is_a_copy(ex):
    ex.submit_limit("buy", 100, 10)
    order = ex.get_order(1)
    snap = ex.depth()
    ex.submit_limit("sell", 100, 4)
    assert order.remaining_quantity == 10
    assert levels(snap.bids) == [(100, 10, 1)]
    trades = ex.trades()
    trades.clear()
    assert len(ex.trades()) == 1
