"""MultiExchange: one independent exchange per symbol."""

import tessarin


def test_new_collection_and_first_symbol():
    mx = tessarin.MultiExchange()
    assert (mx.len(), mx.symbols(), repr(mx)) == (0, [], "MultiExchange(symbols=0)")
    r = mx.submit_limit("AAPL", "buy", 15000, 100, "gtc")
    assert (r.order_id, r.status) == (1, "New")
    assert (mx.len(), mx.symbols(), repr(mx)) == (1, ["AAPL"], "MultiExchange(symbols=1)")
    assert mx.best_prices() == [("AAPL", 15000, None)]


def test_get_or_create_returns_an_independent_copy():
    mx = tessarin.MultiExchange()
    mx.submit_limit("AAPL", "buy", 15000, 100)
    copy = mx.get_or_create("AAPL")
    assert copy.best_bid() == 15000
    copy.submit_limit("sell", 15000, 100)
    assert copy.best_bid() is None
    assert mx.best_prices() == [("AAPL", 15000, None)]
    assert len(mx.get_or_create("AAPL").events()) == 1
    assert mx.get_or_create("MSFT").events() == []
    assert mx.len() == 2


def test_ids_are_per_symbol():
    mx = tessarin.MultiExchange()
    assert mx.submit_limit("A", "buy", 1, 1).order_id == 1
    assert mx.submit_limit("B", "sell", 2, 1).order_id == 1
    assert mx.submit_market("A", "sell", 1).trades[0].price == 1
    m = mx.modify("B", 1, 3, 2)
    assert (m.success, m.new_order_id) == (True, 2)
    assert sorted(mx.best_prices()) == [("A", None, None), ("B", None, 3)]
    assert mx.symbols() == [s for s, _, _ in mx.best_prices()]


def test_cancel_or_modify_on_an_unknown_symbol_creates_it_and_fails_there():
    mx = tessarin.MultiExchange()
    assert mx.cancel("ZZZ", 1).error == "OrderNotFound"
    assert mx.modify("YYY", 1, 1, 0).error == "InvalidQuantity"
    assert mx.len() == 2
    assert [e.kind for e in mx.get_or_create("ZZZ").events()] == ["cancel"]


def test_same_requests_build_equal_collections():
    def build():
        mx = tessarin.MultiExchange()
        for i in range(30):
            mx.submit_limit(f"S{i % 4}", "buy" if i % 3 else "sell", 100 + i % 5, 1 + i)
        mx.cancel("S1", 2)
        return mx

    a, b = build(), build()
    assert a.symbols() == b.symbols()
    assert a.best_prices() == b.best_prices()
    for s in a.symbols():
        assert [repr(e) for e in a.get_or_create(s).events()] == [repr(e) for e in b.get_or_create(s).events()]
