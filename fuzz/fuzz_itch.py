"""Fuzz target for parse_itch: any byte string either parses or raises OSError,
never crashes, never hangs, and the outcome matches a small model of the feed
format (the pairs, or the exact error text).

Half the inputs are raw bytes; the other half are built into frames of the
recognised types with lengths around their minimums, so the interesting
boundaries are reached at once. The model is instrumented: its branches give
the fuzzer the coverage feedback the native parser cannot.

    python fuzz/fuzz_itch.py -max_total_time=60 [corpus_dir]
"""

import json
import os
import struct
import sys
import tempfile

import atheris

with atheris.instrument_imports():
    import tessarin

MIN_PAYLOAD = {"A": 35, "F": 35, "E": 30, "C": 35, "X": 22, "D": 18, "U": 34, "P": 43, "R": 10}
FULL_LENGTH = {"A": 36, "F": 40, "E": 31, "C": 36, "X": 23, "D": 19, "U": 35, "P": 44, "R": 39, "S": 12}
WHITE_SPACE = "".join(map(chr, [*range(0x09, 0x0E), 0x20, 0x85, 0xA0, 0x1680, *range(0x2000, 0x200B),
                                0x2028, 0x2029, 0x202F, 0x205F, 0x3000]))
TYPES = "AFECXDUPRS"


@atheris.instrument_func
def model(data: bytes):
    """The pairs as (symbol, JSON state) and None, or None and the error text."""
    pairs = []
    pos = 0
    while pos + 2 <= len(data):
        (n,) = struct.unpack_from(">H", data, pos)
        if n == 0:
            return None, "ITCH message length is 0"
        if pos + 2 + n > len(data):
            return None, "failed to fill whole buffer"
        msg = data[pos + 2:pos + 2 + n]
        pos += 2 + n
        kind = chr(msg[0])
        need = MIN_PAYLOAD.get(kind)
        if need is None:
            continue
        if n - 1 < need:
            return None, f"ITCH '{kind}' message too short: {n - 1} bytes, need {need}"
        if kind in "AF":
            side = "Buy" if msg[19:20] == b"B" else "Sell"
            (shares,) = struct.unpack_from(">I", msg, 20)
            (price,) = struct.unpack_from(">I", msg, 32)
            symbol = msg[24:32].decode("utf-8", "replace").strip(WHITE_SPACE)
            pairs.append((symbol, {"SubmitLimit": {"side": side, "price": price // 100,
                                                   "quantity": shares, "time_in_force": "GTC"}}))
        elif kind in "XD":
            (ref,) = struct.unpack_from(">Q", msg, 11)
            pairs.append(("", {"Cancel": {"order_id": ref}}))
        elif kind == "U":
            ref, _, shares, price = struct.unpack_from(">QQII", msg, 11)
            pairs.append(("", {"Modify": {"order_id": ref, "new_price": price // 100,
                                          "new_quantity": shares}}))
    return pairs, None


@atheris.instrument_func
def structured(fdp: atheris.FuzzedDataProvider) -> bytes:
    """Frames of the recognised types, with lengths near their boundaries."""
    out = bytearray()
    for _ in range(fdp.ConsumeIntInRange(0, 12)):
        kind = TYPES[fdp.ConsumeIntInRange(0, len(TYPES) - 1)] if fdp.ConsumeBool() else \
            chr(fdp.ConsumeIntInRange(0, 255))
        full = FULL_LENGTH.get(kind, 12)
        need = MIN_PAYLOAD.get(kind, 0) + 1
        choice = fdp.ConsumeIntInRange(0, 5)
        n = (full, need, need - 1, full + 1, fdp.ConsumeIntInRange(0, 80), 0)[choice]
        body = kind.encode("latin-1")[:1] + fdp.ConsumeBytes(max(0, n - 1))
        body = body.ljust(max(n, 1), b" ")[:n]
        out += struct.pack(">H", n) + body
    tail = fdp.ConsumeIntInRange(0, 3)
    if tail == 1:
        out += b"\x00"  # a stray byte
    elif tail == 2 and out:
        del out[-fdp.ConsumeIntInRange(1, min(len(out), 40)):]  # cut the last frame
    return bytes(out)


FD, PATH = tempfile.mkstemp(prefix="fuzz-itch-", suffix=".itch")
os.close(FD)


@atheris.instrument_func
def test_one_input(data: bytes) -> None:
    if data[:1] == b"\x01":
        feed = structured(atheris.FuzzedDataProvider(data[1:]))
    else:
        feed = data
    with open(PATH, "wb") as out:
        out.write(feed)
    expected_pairs, expected_error = model(feed)
    try:
        pairs = tessarin.parse_itch(PATH)
    except OSError as e:
        if type(e) is not OSError or e.args != (expected_error,):
            raise AssertionError(f"{feed!r}: raised {e!r}, expected {expected_error!r}") from e
        return
    if expected_error is not None:
        raise AssertionError(f"{feed!r}: parsed, expected {expected_error!r}")
    if not isinstance(pairs, list) or any(type(p) is not tuple or len(p) != 2 for p in pairs):
        raise AssertionError(f"{feed!r}: not a list of pairs")
    got = [(symbol, json.loads(event.__getstate__())) for symbol, event in pairs]
    if got != expected_pairs:
        raise AssertionError(f"{feed!r}: {got!r} != {expected_pairs!r}")


def main() -> None:
    try:
        atheris.Setup(sys.argv, test_one_input)
        atheris.Fuzz()
    finally:
        os.unlink(PATH)


if __name__ == "__main__":
    main()
