"""Replay equivalence: replaying an exchange's event log, directly or after a
JSON round trip of every event, rebuilds the same exchange."""

import random

from hypothesis import given, settings
from hypothesis import strategies as st

import tessarin
from test_events import full_state

sides = st.sampled_from(["buy", "sell"])
tifs = st.sampled_from(["gtc", "ioc", "fok"])
prices = st.integers(95, 105)
quantities = st.integers(0, 20)
ids = st.integers(0, 60)
trails = st.one_of(
    st.tuples(st.just("fixed"), st.sampled_from([0.0, 1.0, 2.0, 3.5]), st.none()),
    st.tuples(st.just("percentage"), st.sampled_from([0.0, 0.01, 0.025]), st.none()),
    st.tuples(st.just("sma_abs_change"), st.sampled_from([0.5, 1.0, 2.0]), st.integers(0, 5)),
)

requests = st.one_of(
    st.tuples(st.just("submit_limit"), sides, prices, quantities, tifs),
    st.tuples(st.just("submit_market"), sides, quantities),
    st.tuples(st.just("cancel"), ids),
    st.tuples(st.just("modify"), ids, prices, quantities),
    st.tuples(st.just("submit_stop_market"), sides, prices, quantities),
    st.tuples(st.just("submit_stop_limit"), sides, prices, prices, quantities, tifs),
    st.tuples(st.just("submit_trailing_stop_market"), sides, prices, quantities, trails),
    st.tuples(st.just("submit_trailing_stop_limit"), sides, prices, prices, quantities, tifs, trails),
)


def apply(ex, request):
    name, *args = request
    if name == "submit_trailing_stop_market":
        side, price, qty, (kind, value, period) = args
        return ex.submit_trailing_stop_market(side, price, qty, kind, value, atr_period=period)
    if name == "submit_trailing_stop_limit":
        side, stop, limit, qty, tif, (kind, value, period) = args
        return ex.submit_trailing_stop_limit(side, stop, limit, qty, kind, value, tif=tif, atr_period=period)
    return getattr(ex, name)(*args)


def json_round_trip(events):
    holder_source = tessarin.Exchange()
    holder_source.cancel(0)
    copies = []
    for event in events:
        holder = holder_source.events()[0]  # a fresh Event object each time
        holder.__setstate__(event.__getstate__())
        copies.append(holder)
    return copies


def check_replay(live):
    events = live.events()
    expected = full_state(live)
    replays = [tessarin.Exchange.replay(events), tessarin.Exchange.replay(json_round_trip(events))]
    for replayed in replays:
        assert full_state(replayed) == expected
    # the counters match too: the next request gets the same id and timestamp
    a = live.submit_limit("buy", 1, 0)
    for replayed in replays:
        b = replayed.submit_limit("buy", 1, 0)
        assert (a.order_id, live.get_order(a.order_id).timestamp) == (
            b.order_id, replayed.get_order(b.order_id).timestamp)


@settings(max_examples=120, deadline=None)
@given(st.lists(requests, min_size=1, max_size=120))
def test_replay_equivalence(reqs):
    live = tessarin.Exchange()
    for request in reqs:
        apply(live, request)
    check_replay(live)


def random_request(rng, n_events):
    side = rng.choice(["buy", "sell"])
    tif = rng.choice(["gtc", "gtc", "ioc", "fok"])
    price = rng.randint(90, 110)
    qty = rng.randint(1, 30)
    kind = rng.random()
    if kind < 0.45:
        return ("submit_limit", side, price, qty, tif)
    if kind < 0.55:
        return ("submit_market", side, qty)
    if kind < 0.75:
        return ("cancel", rng.randint(1, n_events + 2))
    if kind < 0.85:
        return ("modify", rng.randint(1, n_events + 2), price, rng.randint(0, 30))
    if kind < 0.90:
        return ("submit_stop_market", side, price, qty)
    if kind < 0.94:
        return ("submit_stop_limit", side, price, rng.randint(90, 110), qty, tif)
    trail = rng.choice([("fixed", 2.0, None), ("pct", 0.02, None), ("atr", 1.5, rng.randint(1, 8))])
    if kind < 0.97:
        return ("submit_trailing_stop_market", side, price, qty, trail)
    return ("submit_trailing_stop_limit", side, price, rng.randint(90, 110), qty, tif, trail)


def test_replay_equivalence_on_a_long_seeded_flow():
    seed = 20261211
    rng = random.Random(seed)
    live = tessarin.Exchange()
    for i in range(12000):
        apply(live, random_request(rng, i))
        if i % 3000 == 2999:
            check_replay(live)
    assert len(live.trades()) > 1000, f"seed {seed}: the flow should trade"
    assert any(live.get_stop_order(i) for i in range(1, 24000)), f"seed {seed}: stops should be present"
