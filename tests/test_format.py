"""Formatted records (FORMAT interpreter) and numbered units.

The reference records in data/format_refs.txt were written by a Fortran compiler's runtime
from data/gen_format_refs.f90; items are stored there by their exact bits.
"""

import os
import struct
from pathlib import Path

import numpy as np
import pytest

import _zeft

REFS = Path(__file__).parent / "data" / "format_refs.txt"


def load_refs():
    """Cases of the reference file as (format, items, records)."""
    cases, case, section = [], None, None
    for line in REFS.read_text(encoding="latin-1").split("\n"):
        if line.startswith("@@ CASE "):
            case, section = (line[len("@@ CASE "):], [], []), "items"
        elif line == "@@ OUT":
            section = "out"
        elif line == "@@ END":
            cases.append(case)
            section = None
        elif section == "out":
            case[2].append(line)
        elif section == "items":
            tag, value = line[3], line[5:]
            if tag == "I":
                case[1].append(int(value))
            elif tag == "D":
                case[1].append(struct.unpack(">d", bytes.fromhex(value))[0])
            elif tag == "S":
                case[1].append(np.frombuffer(bytes.fromhex(value), ">f4")[0])
            else:
                case[1].append(value[:-1])  # texts end with a '|' marker
    return cases


CASES = load_refs()


def test_reference_file_is_complete():
    assert len(CASES) > 90
    assert sum(len(c[2]) for c in CASES) > 2000


@pytest.mark.parametrize("layout,items,expected", CASES, ids=[f"{k}:{c[0]}" for k, c in enumerate(CASES)])
def test_reference_records(layout, items, expected):
    got = _zeft._format(layout, items)
    diffs = [(k, items[k] if k < len(items) else None, g, e)
             for k, (g, e) in enumerate(zip(got, expected)) if g != e]
    assert not diffs, diffs[:5]
    assert len(got) == len(expected)


@pytest.mark.parametrize("layout,items,expected", [
    # The format text may come without its parentheses; letters in any case.
    ("1X,'N =',i3", [7], [" N =  7"]),
    # Reversion to the last top-level group, carrying its repeat count.
    ("(1X,'H',2(I2),'|')", [1, 2, 3, 4, 5], [" H 1 2|", " 3 4|", " 5"]),
    # Reversion to the whole format when it holds no group.
    ("(2X,F5.1)", [1.0, 2.0], ["    1.0", "    2.0"]),
    # Nested groups with repeat counts, and a repeated slash.
    ("(2(I1,2('-')),2/,A)", [1, 2, "z"], ["1--2--", "", "z"]),
    # A without width takes the whole text, including its blanks.
    ("(A,'|')", ["  x  "], ["  x  |"]),
    # An empty item list ends output at the first data descriptor.
    ("(' VALUE',I3,' UNITS')", [], [" VALUE"]),
    # Reals are written from their exact value, single precision included; NumPy integers are integers.
    ("(F21.15)", [np.float32(0.1)], ["    0.100000001490116"]),
    ("(F21.15)", [0.1], ["    0.100000000000000"]),
    ("(F21.15)", [np.float64(2.5)], ["    2.500000000000000"]),
    ("(2I4)", [np.int32(-12), np.int64(345)], [" -12 345"]),
])
def test_format_rules(layout, items, expected):
    assert _zeft._format(layout, items) == expected


def test_real_fields_round_as_printf():
    """E and F fields of random, tie and extreme values carry the digits of Python's correctly
    rounded conversion."""
    rng = np.random.default_rng(5)
    values = np.concatenate([rng.standard_normal(400) * 10.0 ** rng.integers(-30, 30, 400),
                             [0.125, 0.375, 2.5, -0.5, 1e-300, 5e-324, 1.7976931348623157e308, 123456.5]])
    for d in (1, 4, 9, 17):
        got = _zeft._format(f"(E40.{d})", list(values))
        for v, field in zip(values, got):
            mantissa, exponent = f"{abs(v):.{d - 1}e}".split("e")
            digits = mantissa.replace(".", "")
            e = int(exponent) + 1 if v != 0.0 else 0
            tail = f"E{e:+03d}" if abs(e) <= 99 else f"{e:+04d}"
            assert field.strip() == ("-" if v < 0 else "") + "0." + digits + tail
    small = values[np.abs(values) < 1e12]
    for d in (0, 3, 12):
        got = _zeft._format(f"(F60.{d})", list(small))
        assert [f.strip() for f in got] == [f"{v:.{d}f}" + ("." if d == 0 else "") for v in small]


@pytest.mark.parametrize("layout,items", [
    ("(I3", [1]),              # unbalanced parentheses
    ("(I3))", [1]),
    ("(Q5)", [1]),             # unknown descriptor
    ("(F8)", [1.0]),           # F needs w.d
    ("(E10.0)", [1.0]),        # E needs at least one digit
    ("(1P,E12.4)", [1.0]),     # scale factors are not supported
    ("(0I3)", [1]),            # zero repeat count
    ("(I0)", [1]),             # zero width
    ("('open", []),            # unterminated literal
    ("(3X)", [1]),             # items but no data descriptor
    ("(I3,2('x'))", [1, 2]),   # the reverted part has no data descriptor
    ("(I3)", [1.5]),           # a real for I
    ("(F8.2)", [3]),           # an integer for F
    ("(A)", [3]),              # an integer for A
])
def test_bad_formats_and_items_raise(layout, items):
    with pytest.raises(_zeft.error):
        _zeft._format(layout, items)


# ---------------------------------------------------------------------------------------------
# Units
# ---------------------------------------------------------------------------------------------

UNITS = (41, 42, 43)


@pytest.fixture
def workdir(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    yield tmp_path
    for n in UNITS:
        _zeft._close_unit(n)


def test_unconnected_unit_uses_fort_file(workdir):
    assert _zeft._read_unit(41) is None            # nothing to read: end of file ...
    _zeft._rewind_unit(41)
    assert not (workdir / "fort.41").exists()      # ... and no file created by reading
    _zeft._write_unit(41, "(I3)", [1, 2])
    _zeft._close_unit(41)
    assert (workdir / "fort.41").read_text() == "  1\n  2\n"
    assert _zeft._read_unit(41) == "  1"           # an existing fort.41 is read


def test_reopen_same_name_keeps_position_other_name_closes(workdir):
    name = "AB      .out"                          # blanks inside the name are kept
    assert _zeft._open_unit(42, name)
    _zeft._write_unit(42, "(A)", ["first"])
    assert _zeft._open_unit(42, name)              # same file: continues where it stands
    _zeft._write_unit(42, "(A)", ["second"])
    assert _zeft._open_unit(42, "other.out")       # another file: the old one is closed
    assert (workdir / name).read_text() == "first\nsecond\n"
    assert sorted(os.listdir(workdir)) == sorted([name, "other.out"])


def test_replace_rewrites_and_keep_preserves(workdir):
    (workdir / "f.txt").write_text("old 1\nold 2\nold 3\n")
    assert _zeft._open_unit(43, "f.txt", False)    # keep: positioned at its start
    assert _zeft._read_unit(43) == "old 1"
    _zeft._write_unit(43, "(A)", ["new 2"])        # a write makes its record the last one
    _zeft._close_unit(43)
    assert (workdir / "f.txt").read_text() == "old 1\nnew 2\n"
    assert _zeft._open_unit(43, "f.txt")           # replace: rewritten from its start
    _zeft._write_unit(43, "(A)", ["only"])
    _zeft._flush_units()
    assert (workdir / "f.txt").read_text() == "only\n"


def test_records_without_final_newline_and_crlf(workdir):
    (workdir / "in.txt").write_bytes(b"a b\r\nlast")
    assert _zeft._open_unit(41, "in.txt", False)
    assert [_zeft._read_unit(41) for _ in range(3)] == ["a b", "last", None]
    _zeft._rewind_unit(41)
    assert _zeft._read_unit(41) == "a b"


@pytest.mark.parametrize("name", ["no/such/folder/x.out", "", "."])
def test_open_failure_reports_and_returns_false(workdir, capfd, name):
    assert not _zeft._open_unit(42, name)
    out = capfd.readouterr().out
    assert "UNIT 42" in out and name in out
    _zeft._write_unit(42, "(A)", ["dropped"])      # later records are dropped quietly
    assert capfd.readouterr().out == ""
    assert _zeft._read_unit(42) is None


def test_unformatted_records(workdir):
    assert _zeft._open_unit(43, "RCA25")
    records = [[1.0, -2.5, 1e-300], [], [np.pi] * 1000]
    for r in records:
        _zeft._write_doubles(43, r)
    _zeft._rewind_unit(43)
    assert _zeft._read_doubles(43, 3) == records[0]
    assert _zeft._read_doubles(43, 0) == []
    assert _zeft._read_doubles(43, 2) == records[2][:2]   # the rest of the record is skipped
    assert _zeft._read_doubles(43, 1) is None             # end of file
    _zeft._rewind_unit(43)
    assert _zeft._read_doubles(43, 4) is None             # record shorter than asked for
    assert _zeft._read_doubles(43, 0) == []               # ... and the next record follows


def test_large_listing_is_buffered_and_complete(workdir):
    assert _zeft._open_unit(41, "big.out")
    for k in range(20000):
        _zeft._write_unit(41, "(1X,I6,2E20.7)", [k, k * 0.5, -k * 0.25])
    _zeft._close_unit(41)
    lines = (workdir / "big.out").read_text().split("\n")
    assert len(lines) == 20001 and lines[-1] == ""
    assert lines[19999] == _zeft._format("(1X,I6,2E20.7)", [19999, 19999 * 0.5, -19999 * 0.25])[0]
