"""The per-object access flag: a conflicting call fails at once."""

import threading

import pytest

import tessarin


def test_reentrant_read_during_a_write_is_refused():
    ex = tessarin.Exchange()
    seen = []

    class Price:
        def __index__(self):
            # Runs while submit_limit holds exclusive access to ex.
            with pytest.raises(RuntimeError) as info:
                ex.best_bid()
            seen.append(str(info.value))
            return 100

    ex.submit_limit("buy", Price(), 5)
    assert seen == ["Already mutably borrowed"]
    assert ex.best_bid() == 100  # the flag is released afterwards


def test_reentrant_write_during_a_write_is_refused():
    ex = tessarin.Exchange()
    seen = []

    class Qty:
        def __index__(self):
            try:
                ex.cancel(1)
            except RuntimeError as e:
                seen.append(str(e))
            return 1

    ex.submit_limit("buy", 100, Qty())
    assert seen == ["Already borrowed"]


def test_write_during_a_read_is_refused_and_reads_nest():
    ex = tessarin.Exchange()
    ex.submit_limit("buy", 100, 5)
    seen = []

    class Id:
        def __index__(self):
            seen.append(ex.best_bid())  # shared inside shared is fine
            try:
                ex.compact()
            except RuntimeError as e:
                seen.append(str(e))
            return 1

    assert ex.get_order(Id()).id == 1
    assert seen == [100, "Already borrowed"]


def test_flag_is_released_after_a_failed_call():
    ex = tessarin.Exchange()
    with pytest.raises(ValueError):
        ex.submit_limit("up", 1, 1)
    with pytest.raises(OverflowError):
        ex.submit_limit("buy", 1, -1)
    assert ex.submit_limit("buy", 1, 1).order_id == 1


def test_threads_sharing_one_exchange_stay_consistent():
    ex = tessarin.Exchange()
    errors = []

    def work(side):
        try:
            for i in range(2000):
                try:
                    ex.submit_limit(side, 100 + i % 3, 1)
                except RuntimeError as e:  # possible on free-threaded builds only
                    assert str(e) in ("Already borrowed", "Already mutably borrowed")
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    threads = [threading.Thread(target=work, args=(s,)) for s in ("buy", "sell")]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    assert len(ex.events()) == sum(1 for _ in ex.events())
    book = ex.full_book()
    assert not (book.bids and book.asks and book.bids[0].price >= book.asks[0].price)
