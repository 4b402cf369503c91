import pytest

import tessarin


@pytest.fixture
def ex():
    return tessarin.Exchange()


def trade_tuple(t):
    return (t.trade_id, t.price, t.quantity, t.aggressor_side, t.aggressor_order_id, t.passive_order_id, t.timestamp)


def levels(snapshot_side):
    return [(lvl.price, lvl.quantity, lvl.order_count) for lvl in snapshot_side]
