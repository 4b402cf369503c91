"""parse_itch: framing, each message type and its conversions, skipped types,
the error cases with their exact texts and classes, and the sample feed."""

import errno
import importlib.util
import json
import os
import pathlib
import random
import struct
import subprocess
import sys

import pytest

import tessarin

ROOT = pathlib.Path(__file__).resolve().parents[1]


def _load(name, relative):
    spec = importlib.util.spec_from_file_location(name, ROOT / relative)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


gen_itch = _load("gen_itch", "tools/gen_itch.py")


# ---- message builders (the 5.0 layouts) --------------------------------------------

def frame(message: bytes) -> bytes:
    return struct.pack(">H", len(message)) + message


def ts48(ns: int) -> bytes:
    return ns.to_bytes(6, "big")


def add(ref=1, side=b"B", shares=100, stock=b"AAPL    ", price=1502500, kind=b"A", ts=0):
    body = kind + struct.pack(">HH", 1, 0) + ts48(ts) + struct.pack(">Q", ref) + side
    body += struct.pack(">I", shares) + stock + struct.pack(">I", price)
    return body + (b"MPID" if kind == b"F" else b"")


def executed(ref=1, shares=100, match=1):
    return b"E" + struct.pack(">HH", 1, 0) + ts48(0) + struct.pack(">QIQ", ref, shares, match)


def executed_price(ref=1, shares=100, match=1, price=1502500):
    return (b"C" + struct.pack(">HH", 1, 0) + ts48(0)
            + struct.pack(">QIQ", ref, shares, match) + b"Y" + struct.pack(">I", price))


def cancel(ref=1, shares=50):
    return b"X" + struct.pack(">HH", 1, 0) + ts48(0) + struct.pack(">QI", ref, shares)


def delete(ref=1):
    return b"D" + struct.pack(">HH", 1, 0) + ts48(0) + struct.pack(">Q", ref)


def replace(old=1, new=2, shares=200, price=1503000):
    return b"U" + struct.pack(">HH", 1, 0) + ts48(0) + struct.pack(">QQII", old, new, shares, price)


def trade(shares=100, stock=b"AAPL    ", price=1502500, match=1):
    return (b"P" + struct.pack(">HH", 1, 0) + ts48(0) + struct.pack(">Q", 0) + b"B"
            + struct.pack(">I", shares) + stock + struct.pack(">IQ", price, match))


def directory(locate=1, stock=b"AAPL    "):
    return (b"R" + struct.pack(">HH", locate, 0) + ts48(0) + stock + b"QN" + struct.pack(">I", 100)
            + b"NCZ PNN2N" + struct.pack(">I", 0) + b"N")


def system(code=b"O"):
    return b"S" + struct.pack(">HH", 0, 0) + ts48(0) + code


REAL_LENGTHS = {"A": 36, "F": 40, "E": 31, "C": 36, "X": 23, "D": 19, "U": 35, "P": 44, "R": 39, "S": 12}
BUILDERS = {
    "A": add, "F": lambda: add(kind=b"F"), "E": executed, "C": executed_price, "X": cancel,
    "D": delete, "U": replace, "P": trade, "R": directory, "S": system,
}
MIN_PAYLOAD = {"A": 35, "F": 35, "E": 30, "C": 35, "X": 22, "D": 18, "U": 34, "P": 43, "R": 10}


@pytest.fixture
def feed(tmp_path):
    """Writes raw bytes to a file and parses it."""
    def parse(data: bytes):
        path = tmp_path / "feed.itch"
        path.write_bytes(data)
        return tessarin.parse_itch(str(path))
    return parse


def state(event):
    return json.loads(event.__getstate__())


# ---- the builders themselves ---------------------------------------------------------

@pytest.mark.parametrize("kind", sorted(REAL_LENGTHS))
def test_builders_have_the_real_message_lengths(kind):
    message = BUILDERS[kind]()
    assert message[:1] == kind.encode()
    assert len(message) == REAL_LENGTHS[kind]


# ---- conversions ---------------------------------------------------------------------

def test_add_message_yields_a_gtc_limit_with_the_trimmed_stock(feed):
    pairs = feed(frame(add()))
    assert len(pairs) == 1
    symbol, event = pairs[0]
    assert symbol == "AAPL"
    assert event.kind == "submit_limit"
    assert repr(event) == "SubmitLimit { side: Buy, price: Price(15025), quantity: 100, time_in_force: GTC }"


@pytest.mark.parametrize(
    "kind, side, shares, price, expected",
    [
        (b"A", b"B", 100, 1502599, ("Buy", 15025, 100)),  # sub-cent digits dropped
        (b"A", b"S", 1, 99, ("Sell", 0, 1)),
        (b"A", b"b", 7, 0, ("Sell", 0, 7)),  # only an upper-case B buys
        (b"A", b"X", 7, 100, ("Sell", 1, 7)),
        (b"A", b"\x00", 0, 100, ("Sell", 1, 0)),
        # unsigned reads: a signed 32-bit read would turn these negative
        (b"A", b"B", 0xFFFFFFFF, 0xFFFFFFFF, ("Buy", 42949672, 4294967295)),
        (b"A", b"S", 0x80000000, 0x80000000, ("Sell", 21474836, 2147483648)),
        (b"F", b"B", 300, 1000000, ("Buy", 10000, 300)),  # the attribution is not read
        (b"F", b"S", 0x01020304, 0x0A0B0C0D, ("Sell", 0x0A0B0C0D // 100, 0x01020304)),
    ],
)
def test_add_conversions(feed, kind, side, shares, price, expected):
    [(symbol, event)] = feed(frame(add(kind=kind, side=side, shares=shares, price=price)))
    side_name, cents, quantity = expected
    assert symbol == "AAPL"
    assert state(event) == {"SubmitLimit": {"side": side_name, "price": cents,
                                            "quantity": quantity, "time_in_force": "GTC"}}


WHITE_SPACE = "".join(map(chr, [*range(0x09, 0x0E), 0x20, 0x85, 0xA0, 0x1680, *range(0x2000, 0x200B),
                                0x2028, 0x2029, 0x202F, 0x205F, 0x3000]))


def expected_symbol(raw: bytes) -> str:
    """UTF-8 with replacement, stripped of Unicode White_Space."""
    return raw.decode("utf-8", "replace").strip(WHITE_SPACE)


STOCK_CASES = [
    (b"AAPL    ", "AAPL"),
    (b"  MSFT  ", "MSFT"),
    (b"BRK B   ", "BRK B"),  # inner space kept
    (b"\tIBM\r\n\x0b\x0c", "IBM"),
    (b"        ", ""),
    (b"ABCDEFGH", "ABCDEFGH"),
    (b"aapl    ", "aapl"),  # case kept
    (b"AB\x00\x00\x00\x00\x00\x00", "AB\x00\x00\x00\x00\x00\x00"),  # NUL is not whitespace
    (b"\x1cABC\x1f   ", "\x1cABC\x1f"),  # nor are the separators 0x1C..0x1F
    (b"\xc3\xa9T     ", "\u00e9T"),
    (b"\xc2\xa0AAPL\xc2\xa0", "AAPL"),  # no-break space is whitespace
    (b"\xe3\x80\x80XY   ", "XY"),  # ideographic space
    (b"\xc2\x85Q\xe2\x80\xa8  ", "Q"),  # next line, line separator
    (b"\xffABC    ", "\ufffdABC"),
    (b"AB\xe2\x82    ", "AB\ufffd"),  # a truncated sequence is one replacement
    (b"\xed\xa0\x80ABCDE", "\ufffd\ufffd\ufffdABCDE"),  # surrogates are ill-formed
    (b"\xe0\x80\x80ABCDE", "\ufffd\ufffd\ufffdABCDE"),  # overlong forms too
    (b"\xf4\x90\x80\x80ABCD", "\ufffd" * 4 + "ABCD"),  # beyond U+10FFFF
    (b"\xf0\x9f\x98\x80ABCD", "\U0001f600ABCD"),
    (b"ABCDEFG\xc3", "ABCDEFG\ufffd"),  # cut at the end of the field
    (b"\x80\x80\x80\x80\x80\x80\x80\x80", "\ufffd" * 8),
]


@pytest.mark.parametrize("raw, symbol", STOCK_CASES)
def test_stock_text(feed, raw, symbol):
    assert len(raw) == 8
    assert expected_symbol(raw) == symbol  # the table agrees with the reference rule
    [(got, _)] = feed(frame(add(stock=raw)))
    assert got == symbol


def test_stock_text_matches_the_reference_on_random_fields(feed):
    rng = random.Random(20240611)
    alphabet = [b" ", b"\t", b"A", b"z", b"\x00", b"\x80", b"\xbf", b"\xc2", b"\xa0", b"\xe2",
                b"\x80", b"\xa8", b"\xe3", b"\xed", b"\xf0", b"\x9f", b"\xf4", b"\xff"]
    fields = []
    for _ in range(3000):
        if rng.random() < 0.5:
            raw = bytes(rng.randrange(256) for _ in range(8))
        else:
            raw = b"".join(rng.choice(alphabet) for _ in range(8))
        fields.append(raw)
    pairs = feed(b"".join(frame(add(ref=i, stock=raw)) for i, raw in enumerate(fields)))
    mismatches = [(raw, got) for raw, (got, _) in zip(fields, pairs) if got != expected_symbol(raw)]
    assert len(pairs) == len(fields)
    assert mismatches == []


@pytest.mark.parametrize(
    "message, expected",
    [
        (cancel(ref=42, shares=10), {"Cancel": {"order_id": 42}}),  # the whole order goes
        (cancel(ref=2**64 - 1, shares=0), {"Cancel": {"order_id": 2**64 - 1}}),
        (delete(ref=7), {"Cancel": {"order_id": 7}}),
        (delete(ref=0x0102030405060708), {"Cancel": {"order_id": 0x0102030405060708}}),
        (replace(old=5, new=6, shares=250, price=1503099),
         {"Modify": {"order_id": 5, "new_price": 15030, "new_quantity": 250}}),
        (replace(old=2**63, new=1, shares=0xFFFFFFFF, price=0xFFFFFFFF),
         {"Modify": {"order_id": 2**63, "new_price": 42949672, "new_quantity": 4294967295}}),
    ],
)
def test_order_reference_messages_carry_the_feed_reference_and_no_symbol(feed, message, expected):
    [(symbol, event)] = feed(frame(message))
    assert symbol == ""
    assert state(event) == expected


def test_delete_repr(feed):
    [(symbol, event)] = feed(frame(delete(ref=31337)))
    assert (symbol, repr(event), event.kind) == ("", "Cancel { order_id: OrderId(31337) }", "cancel")


def test_pairs_come_in_file_order_with_one_str_per_symbol(feed):
    data = b"".join(frame(m) for m in [
        system(b"O"), directory(1, b"AAPL    "), add(ref=1), add(ref=2, stock=b"MSFT    ", side=b"S"),
        executed(ref=1), replace(old=2, new=3), add(ref=4), cancel(ref=1), delete(ref=3), trade(),
    ])
    pairs = feed(data)
    assert [(s, e.kind) for s, e in pairs] == [
        ("AAPL", "submit_limit"), ("MSFT", "submit_limit"), ("", "modify"),
        ("AAPL", "submit_limit"), ("", "cancel"), ("", "cancel"),
    ]
    assert all(type(p) is tuple and len(p) == 2 for p in pairs)
    assert pairs[0][0] is pairs[3][0]  # the repeated symbol shares its str


# ---- skipped messages ----------------------------------------------------------------

@pytest.mark.parametrize(
    "message",
    [
        executed(), executed_price(), trade(), directory(), system(),
        executed() + b"extra", trade() + b"\x00" * 20, directory() + b"more",
        executed()[:MIN_PAYLOAD["E"] + 1], executed_price()[:MIN_PAYLOAD["C"] + 1],
        trade()[:MIN_PAYLOAD["P"] + 1], directory()[:MIN_PAYLOAD["R"] + 1],
        b"S",  # system events are skipped whatever their length
        b"S" * 3,
        system() * 30,
        b"H" + b"\x00" * 24, b"Y" + b"\x00" * 19, b"Z", b"a" * 40, b"\x00", b"\xff" * 5, b"Q" * 300,
    ],
    ids=lambda m: f"{m[:1]!r}x{len(m)}",
)
def test_message_without_output_is_skipped_and_framing_continues(feed, message):
    pairs = feed(frame(add(ref=1)) + frame(message) + frame(delete(ref=1)))
    assert [e.kind for _, e in pairs] == ["submit_limit", "cancel"]


@pytest.mark.parametrize("kind", ["A", "F", "X", "D", "U"])
def test_longer_messages_use_their_frame_length(feed, kind):
    long_message = BUILDERS[kind]() + b"\xee" * 17
    pairs = feed(frame(long_message) + frame(delete(ref=99)))
    assert len(pairs) == 2
    assert state(pairs[1][1]) == {"Cancel": {"order_id": 99}}


def test_largest_frame(feed):
    message = add(ref=3) + b"\x01" * (0xFFFF - REAL_LENGTHS["A"])
    pairs = feed(frame(message) + frame(system() + b"x" * 0xFFF0) + frame(delete(ref=3)))
    assert [e.kind for _, e in pairs] == ["submit_limit", "cancel"]


@pytest.mark.parametrize("data", [b"", b"\x00", b"\x24"], ids=["empty", "zero-byte", "lone-byte"])
def test_file_without_a_whole_length_is_empty(feed, data):
    assert feed(data) == []


@pytest.mark.parametrize("stray", [b"\x00", b"\x24", b"\xff"])
def test_a_trailing_stray_byte_is_ignored(feed, stray):
    pairs = feed(frame(add()) + stray)
    assert [s for s, _ in pairs] == ["AAPL"]


# ---- errors ----------------------------------------------------------------------------

def raises_oserror(parse, data, message):
    with pytest.raises(OSError) as info:
        parse(data)
    assert type(info.value) is OSError
    assert info.value.args == (message,)


@pytest.mark.parametrize("kind", sorted(MIN_PAYLOAD))
def test_message_one_byte_short_names_type_length_and_minimum(feed, kind):
    need = MIN_PAYLOAD[kind]
    message = BUILDERS[kind]()[: need]  # the type byte and need - 1 payload bytes
    raises_oserror(feed, frame(add()) + frame(message),
                   f"ITCH '{kind}' message too short: {need - 1} bytes, need {need}")


@pytest.mark.parametrize("kind", sorted(MIN_PAYLOAD))
def test_message_at_its_minimum_parses(feed, kind):
    message = BUILDERS[kind]()[: MIN_PAYLOAD[kind] + 1]
    pairs = feed(frame(message))
    assert len(pairs) == (1 if kind in "AFXDU" else 0)


@pytest.mark.parametrize(
    "data, message",
    [
        (frame(b"A"), "ITCH 'A' message too short: 0 bytes, need 35"),
        (frame(add()[:35]), "ITCH 'A' message too short: 34 bytes, need 35"),
        (frame(b"U" + b"\x00" * 10), "ITCH 'U' message too short: 10 bytes, need 34"),
        (b"\x00\x00", "ITCH message length is 0"),
        (frame(add()) + b"\x00\x00", "ITCH message length is 0"),
        (frame(add()) + b"\x00\x00" + frame(add()), "ITCH message length is 0"),
        (b"\x00\x24", "failed to fill whole buffer"),  # a length and no message
        (frame(add())[:20], "failed to fill whole buffer"),
        (frame(add()) + frame(delete())[:-1], "failed to fill whole buffer"),
        (b"\xff\xff" + b"S" * 0xFFFE, "failed to fill whole buffer"),
    ],
    ids=["type-only", "A34", "U10", "zero-length", "zero-after-add", "zero-between",
         "length-only", "cut-add", "cut-last-byte", "cut-largest"],
)
def test_malformed_feed_raises_oserror_and_returns_nothing(feed, data, message):
    raises_oserror(feed, data, message)


def test_error_after_many_pairs_discards_them(feed):
    good = b"".join(frame(add(ref=i)) for i in range(5000))
    raises_oserror(feed, good + frame(b"D" + b"\x00" * 5), "ITCH 'D' message too short: 5 bytes, need 18")


def test_missing_file_raises_file_not_found_with_the_path(tmp_path):
    path = str(tmp_path / "absent.itch")
    with pytest.raises(FileNotFoundError) as info:
        tessarin.parse_itch(path)
    assert info.value.errno == errno.ENOENT
    assert info.value.filename == path


@pytest.mark.skipif(os.geteuid() == 0, reason="root reads files whatever their mode")
def test_unreadable_file_raises_permission_error(tmp_path):
    path = tmp_path / "locked.itch"
    path.write_bytes(frame(add()))
    path.chmod(0)
    with pytest.raises(PermissionError):
        tessarin.parse_itch(str(path))


def test_path_with_nul_byte_is_an_oserror(tmp_path):
    with pytest.raises(OSError) as info:
        tessarin.parse_itch(str(tmp_path) + "/a\0b")
    assert info.value.errno == errno.EINVAL


def test_directory_opens_and_its_failed_first_read_ends_the_feed(tmp_path):
    # Opening a directory for reading succeeds; the read of the first length
    # fails, and a failure at that point is the end of the feed.
    assert tessarin.parse_itch(str(tmp_path)) == []


@pytest.mark.parametrize("path", [b"/tmp/feed.itch", pathlib.Path("/tmp/feed.itch"), None, 3])
def test_path_must_be_a_str(path):
    with pytest.raises(TypeError):
        tessarin.parse_itch(path)


def test_signature(tmp_path):
    assert tessarin.parse_itch.__text_signature__ == "(path)"
    assert tessarin.parse_itch.__doc__ is None
    path = tmp_path / "f.itch"
    path.write_bytes(frame(delete(ref=4)))
    assert len(tessarin.parse_itch(path=str(path))) == 1
    with pytest.raises(TypeError):
        tessarin.parse_itch()
    with pytest.raises(TypeError):
        tessarin.parse_itch(str(path), str(path))


# ---- reads that return less than asked ---------------------------------------------------

PIPE_WRITER = """
import os, sys
data = open(sys.argv[2], "rb").read()
sizes = [int(n) for n in sys.argv[3].split(",")]
fd = os.open(sys.argv[1], os.O_WRONLY)
pos = i = 0
while pos < len(data):
    n = sizes[i % len(sizes)]
    os.write(fd, data[pos:pos + n])
    pos += n
    i += 1
os.close(fd)
"""


def parse_through_pipe(tmp_path, data, chunk_sizes):
    """Feeds `data` through a FIFO in small writes from another process (the
    call holds the interpreter lock while it reads), so reads come back short
    and frames are split at many positions."""
    fifo = tmp_path / "feed.fifo"
    source = tmp_path / "feed.bytes"
    os.mkfifo(fifo)
    source.write_bytes(data)
    sizes = ",".join(map(str, chunk_sizes))
    writer = subprocess.Popen([sys.executable, "-c", PIPE_WRITER, str(fifo), str(source), sizes])
    try:
        return tessarin.parse_itch(str(fifo))
    finally:
        writer.wait(timeout=60)


PIPE_FEED = [add(ref=1), system(), replace(old=1, new=2), executed(ref=2), add(ref=3, stock=b"MSFT    "),
             cancel(ref=3), trade(), delete(ref=2), directory(2, b"MSFT    ")]


@pytest.mark.parametrize("chunks", [[1], [2, 1], [3, 5, 7], [35, 1, 36], [4096]])
def test_short_reads_give_the_same_pairs(tmp_path, feed, chunks):
    data = b"".join(frame(m) for m in PIPE_FEED) * 20
    expected = [(s, repr(e)) for s, e in feed(data)]
    got = [(s, repr(e)) for s, e in parse_through_pipe(tmp_path, data, chunks)]
    assert len(expected) == 100
    assert got == expected


def test_pipe_that_closes_inside_a_message(tmp_path):
    data = frame(add()) + frame(replace())[:-3]
    with pytest.raises(OSError) as info:
        parse_through_pipe(tmp_path, data, [3])
    assert info.value.args == ("failed to fill whole buffer",)


# ---- the sample feed -----------------------------------------------------------------------

def walk_frames(data):
    pos = 0
    while pos + 2 <= len(data):
        (n,) = struct.unpack_from(">H", data, pos)
        yield data[pos + 2:pos + 2 + n]
        pos += 2 + n
    assert pos == len(data)


def test_generated_feed_parses_to_its_counts(tmp_path):
    path = tmp_path / "sample.itch"
    info = gen_itch.generate(str(path), 120_000, seed=11, symbols=("AAPL", "MSFT", "BRK.B", "Z"))
    assert info["messages"] == 120_000
    assert info["bytes"] == path.stat().st_size > 2 * (1 << 20)  # crosses the read blocks
    types = info["types"]
    assert all(types.get(t, 0) > 0 for t in "AFECXDUPRS")
    pairs = tessarin.parse_itch(str(path))
    assert len(pairs) == info["pairs"] == sum(types[t] for t in "AFXDU")
    kinds = {}
    adds = {}
    for symbol, event in pairs:
        kinds[event.kind] = kinds.get(event.kind, 0) + 1
        if event.kind == "submit_limit":
            adds[symbol] = adds.get(symbol, 0) + 1
        else:
            assert symbol == ""
    assert kinds == {"submit_limit": types["A"] + types["F"], "cancel": types["X"] + types["D"],
                     "modify": types["U"]}
    assert adds == info["adds_by_symbol"]


def test_generated_feed_is_a_consistent_uncrossed_book(tmp_path):
    path = tmp_path / "book.itch"
    info = gen_itch.generate(str(path), 20_000, seed=5, symbols=("AAPL", "MSFT", "IBM"))
    books = {}  # locate -> {ref: [side, price, shares]}
    next_ref = 1
    last_ts = 0

    def rest(locate, ref, side, price, shares):
        book = books.setdefault(locate, {})
        opposite = [p for s, p, _ in book.values() if s != side]
        if opposite:  # a resting order never crosses the other side
            assert price < min(opposite) if side == b"B" else price > max(opposite)
        assert shares > 0
        book[ref] = [side, price, shares]

    for message in walk_frames(path.read_bytes()):
        kind = chr(message[0])
        assert len(message) == REAL_LENGTHS[kind]
        (locate,) = struct.unpack_from(">H", message, 1)
        ts = int.from_bytes(message[5:11], "big")
        assert ts >= last_ts
        last_ts = ts
        if kind in "AF":
            ref, side, shares, _, price = struct.unpack_from(">QcI8sI", message, 11)
            assert ref == next_ref
            next_ref += 1
            rest(locate, ref, side, price, shares)
        elif kind in "ECX":
            ref, shares = struct.unpack_from(">QI", message, 11)
            order = books[locate][ref]
            assert 0 < shares <= order[2]
            order[2] -= shares
            if order[2] == 0:
                del books[locate][ref]
        elif kind == "D":
            del books[locate][struct.unpack_from(">Q", message, 11)[0]]
        elif kind == "U":
            old, new, shares, price = struct.unpack_from(">QQII", message, 11)
            side = books[locate].pop(old)[0]
            assert new == next_ref
            next_ref += 1
            rest(locate, new, side, price, shares)
    assert info["messages"] == 20_000
    assert all(len(book) > 24 for book in books.values())


def test_generator_is_deterministic_and_sized(tmp_path):
    a, b, c = (tmp_path / n for n in ("a", "b", "c"))
    gen_itch.generate(str(a), 5000, seed=3)
    gen_itch.generate(str(b), 5000, seed=3)
    gen_itch.generate(str(c), 5000, seed=4)
    assert a.read_bytes() == b.read_bytes() != c.read_bytes()
    sized = tmp_path / "sized"
    info = gen_itch.generate(str(sized), size=300_000, seed=1)
    assert 300_000 <= info["bytes"] == sized.stat().st_size < 300_000 + 100
    assert gen_itch.generate(str(tmp_path / "tiny"), 2, seed=1)["messages"] == 2
    with pytest.raises(ValueError):
        gen_itch.generate(str(tmp_path / "bad"), 10, symbols=("TOOLONGNAME",))


# ---- the replay demo -----------------------------------------------------------------------

@pytest.fixture(scope="module")
def replay_demo():
    return _load("itch_replay", "examples/itch_replay.py")


def test_replay_maps_feed_references_to_engine_ids(feed, replay_demo):
    pairs = feed(b"".join(frame(m) for m in [
        add(ref=1, side=b"B", shares=100, price=1500000),
        add(ref=2, side=b"S", shares=200, price=3000000, stock=b"MSFT    "),
        add(ref=3, side=b"B", shares=300, price=1499000),
        replace(old=1, new=4, shares=50, price=1501000),  # engine: order 1 becomes 3
        delete(ref=3),  # engine order 2, not the engine's order 3
        add(ref=5, side=b"S", shares=70, price=1502000),
        cancel(ref=2, shares=1),  # the whole MSFT order goes
        delete(ref=99),  # never added
    ]))
    replayer = replay_demo.FeedReplay()
    for symbol, event in pairs:
        replayer.apply(symbol, event)
    aapl = replayer.exchange.get_or_create("AAPL")
    assert aapl.best_bid_ask() == (15010, 15020)
    assert [(lvl.price, lvl.quantity) for lvl in aapl.full_book().bids] == [(15010, 50)]
    assert replayer.exchange.get_or_create("MSFT").best_bid_ask() == (None, None)
    assert replayer.orders == {4: ("AAPL", 3), 5: ("AAPL", 4)}
    assert (replayer.unknown, replayer.refused) == (1, 0)
    assert replayer.submitted == {"AAPL": 3, "MSFT": 1}


def test_replay_demo_prints_every_symbol(capsys, replay_demo):
    assert replay_demo.main(["--messages", "20000", "--seed", "3", "--levels", "3"]) == 0
    out = capsys.readouterr().out
    assert "feed: 20,000 messages" in out
    for symbol in gen_itch.DEFAULT_SYMBOLS:
        line = next(l for l in out.splitlines() if l.startswith(symbol + " "))
        assert " orders " in line and " trades " in line and " bid " in line and " ask " in line
