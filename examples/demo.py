"""The tessarin demo: the module, a scripted trading session, the event log
replayed from JSON, and a synthetic ITCH 5.0 feed replayed into a MultiExchange."""

import pathlib
import sys

import tessarin

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import itch_replay  # noqa: E402  (the feed replay beside this script)


def section(title: str) -> None:
    print()
    print(f"== {title}")


def show_module() -> None:
    print(f"tessarin {tessarin.__version__}")
    print("capabilities:")
    for name in tessarin.capabilities():
        print(f"  - {name}")


def show_book(ex: tessarin.Exchange, levels: int = 5) -> None:
    snap = ex.depth(levels)
    for level in reversed(snap.asks):
        print(f"    ask {level.price_float:>8.2f}  {level.quantity:>6}  ({level.order_count} orders)")
    for level in snap.bids:
        print(f"    bid {level.price_float:>8.2f}  {level.quantity:>6}  ({level.order_count} orders)")
    mid = snap.mid_price()
    print(f"    spread {snap.spread()} cents, mid {mid / 100 if mid is not None else None}, "
          f"imbalance {snap.imbalance()}")


def trading_session() -> tessarin.Exchange:
    ex = tessarin.Exchange()
    section("resting orders")
    for side, price, qty in [("buy", 9990, 300), ("buy", 9980, 500), ("buy", 9970, 800),
                             ("sell", 10010, 200), ("sell", 10020, 400), ("sell", 10030, 600)]:
        print(f"  {side:<4} {qty:>4} @ {price / 100:.2f} -> {ex.submit_limit(side, price, qty)}")
    show_book(ex)

    section("a stop that waits below the market")
    stop = ex.submit_stop_market("sell", 9980, 350)
    print(f"  sell stop 350 @ 99.80 -> {stop}")

    section("a marketable buy walks two ask levels")
    r = ex.submit_limit("buy", 10020, 450)
    print(f"  buy 450 @ 100.20 -> {r}")
    for t in r.trades:
        print(f"    {t}")

    section("a market sell trades at 99.80 and triggers the stop")
    r = ex.submit_market("sell", 500)
    print(f"  market sell 500 -> {r}")
    print(f"  stop order: {ex.get_stop_order(stop.order_id)}")
    print(f"  trades since the start: {len(ex.trades())}, last price {ex.last_trade_price() / 100:.2f}")

    section("modify: cancel and replace loses time priority")
    resting = next(i for i in range(1, 20) if (o := ex.get_order(i)) and o.status in ("new", "partiallyfilled"))
    m = ex.modify(resting, ex.get_order(resting).price, 100)
    print(f"  modify order {resting} to 100 shares -> {m}")
    print(f"  old order: {ex.get_order(resting)}")
    print(f"  new order: {ex.get_order(m.new_order_id)}")

    section("depth snapshot")
    show_book(ex)
    print(f"  {ex}")
    return ex


def replay_from_json(ex: tessarin.Exchange) -> None:
    section("event log: JSON round trip and replay")
    events = ex.events()
    texts = [e.__getstate__() for e in events]
    for text in texts[:3]:
        print(f"  {text}")
    print(f"  ... {len(texts)} events")
    # Event objects are restored from their JSON text through __setstate__.
    holder = tessarin.Exchange()
    holder.cancel(0)
    restored = []
    for text in texts:
        event = holder.events()[0]
        event.__setstate__(text)
        restored.append(event)
    again = tessarin.Exchange.replay(restored)
    same = [repr(t) for t in again.trades()] == [repr(t) for t in ex.trades()]
    print(f"  replayed: {again}; same trades: {same}; "
          f"same book: {repr(again.full_book().bids) == repr(ex.full_book().bids)}")


def main() -> None:
    show_module()
    ex = trading_session()
    replay_from_json(ex)
    section("ITCH 5.0 feed replay")
    itch_replay.main(sys.argv[1:])


if __name__ == "__main__":
    main()
