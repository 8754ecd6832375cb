"""Key matrix: freedom numbering, suppressions, half-bandwidths, listing block, index maps."""

import numpy as np
import pytest

import _zeft
from conftest import set_grid

M = _zeft.prtnds31


def setkey():
    """Numbers the freedoms; the counts (ix, iy) are the largest W and in-plane equation
    numbers of the key matrix (the routine's own count arguments are input copies)."""
    M.setkey(0, 0)
    lm = np.asarray(_zeft._internal31.f07mat.lm)
    return int(max(lm[0].max(), 0)), int(max(lm[1:].max(), 0))


def key_entries(lines):
    """lm as listed: {(ix, iy): {f: [F, Fx, Fy, Fxy]}} for the columns that are printed."""
    start = next(k for k, s in enumerate(lines) if s.startswith(" NODEX NODEY")) + 1
    lm = {}
    for s in lines[start:]:
        if s.startswith("0  BANDWIDTHS"):
            break
        node = lm.setdefault((int(s[1:4]), int(s[7:10])), {})
        for f in range(1, 6):
            col = 15 + 23 * (f - 1)
            if s[col:col + 19].strip():
                node[f] = [int(s[col + 5 * k:col + 5 * k + 4]) for k in range(4)]
    return lm


def iuoriv(i, j, ifun):
    iu, ier = np.zeros((4, 4), np.int32, order="F"), np.zeros(1, np.int32)
    M.iuoriv(i, j, ifun, iu, ier)
    return iu, int(ier[0])


def kuorkv(xory, ii, jj, ifun):
    kv, ier = np.zeros((2, 4), np.int32, order="F"), np.zeros(1, np.int32)
    M.kuorkv(xory, ii, jj, ifun, kv, ier)
    return kv, int(ier[0])


def message(reason, routine="SETKEY"):
    return ["", f" MESSAGE FROM SUBROUTINE {routine}:", reason]


def set_leit(iy, ix, value):
    _zeft.f07ina.leit[iy - 1, ix - 1] = value


@pytest.mark.parametrize("mx, my, ibdx, ibdy, second", [
    (3, 10, 20, 80, (2, 1)), (10, 3, 20, 80, (1, 2)), (1, 4, 1, 1, (1, 2)), (6, 1, 1, 1, (2, 1))])
def test_bandwidth_follows_the_direction_of_fewer_lines(listing, mx, my, ibdx, ibdy, second):
    set_grid(mx, my, ku=(1, 2, 3, 4, 5))
    setkey()
    assert (_zeft.f07ina.ibdx, _zeft.f07ina.ibdy) == (ibdx, ibdy)
    # the node numbered second, (ix, iy), lies along the direction of fewer lines
    assert key_entries(listing())[second][1] == [5, 6, 7, 8]


# (edge, first code) -> suppressed (function, kind) pairs at every node of the edge
SYM = {
    ("bndy0", 1): {(f, k) for f in (1, 2, 4) for k in (1, 2)} | {(f, k) for f in (3, 5) for k in (3, 4)},
    ("bndyl", -1): {(f, k) for f in (1, 2, 4) for k in (3, 4)} | {(f, k) for f in (3, 5) for k in (1, 2)},
    ("bndx0", 1): {(f, k) for f in (1, 3, 5) for k in (1, 3)} | {(f, k) for f in (2, 4) for k in (2, 4)},
    ("bndxl", -1): {(f, k) for f in (1, 3, 5) for k in (2, 4)} | {(f, k) for f in (2, 4) for k in (1, 3)},
}
CODE = {
    "y": {**{c: {(c, 1), (c, 2)} for c in range(1, 6)}, 6: {(1, 3), (1, 4)}},
    "x": {**{c: {(c, 1), (c, 3)} for c in range(1, 6)}, 6: {(1, 2), (1, 4)}},
}
CASES = [(e, [s, 0, 0, 0, 0, 0, 0], held) for (e, s), held in SYM.items()]
CASES += [(e, [0, 0, -2, c, 0, 0, 0], CODE[e[3]][c]) for e in ("bndy0", "bndyl", "bndx0", "bndxl")
          for c in range(1, 7)]


@pytest.mark.parametrize("edge, codes, held", CASES, ids=[f"{e}-{c[0]}-{c[3]}" for e, c, _ in CASES])
def test_edge_suppressions(listing, edge, codes, held):
    mx, my = 3, 4
    set_grid(mx, my, ku=(1, 2, 3, 4, 5), edges={edge: codes})
    nw, nuv = setkey()
    on_edge = {"bndy0": lambda ix, iy: iy == 1, "bndyl": lambda ix, iy: iy == my,
               "bndx0": lambda ix, iy: ix == 1, "bndxl": lambda ix, iy: ix == mx}[edge]
    for (ix, iy), node in key_entries(listing()).items():
        zero = {(f, k + 1) for f, v in node.items() for k in range(4) if v[k] == 0}
        assert zero == (held if on_edge(ix, iy) else set())
    nedge = mx if edge[3] == "y" else my
    assert nw == 4 * mx * my - nedge * sum(f == 1 for f, _ in held)
    assert nuv == 16 * mx * my - nedge * sum(f > 1 for f, _ in held)


def test_doubly_suppressed_freedom_counted_once(listing):
    mx, my = 3, 3
    set_grid(mx, my, edges={"bndy0": [0, 1, 0, 0, 0, 0, 0]}, sup=[(1, 1, 1, 1), (1, 3, 2, 2)])
    nw, _ = setkey()
    assert nw == 4 * mx * my - 2 * mx - 1
    numbers = sorted(v for node in key_entries(listing()).values() for v in node[1] if v > 0)
    assert numbers == list(range(1, nw + 1))


def test_index_maps_follow_the_key_matrix(listing):
    """iuoriv: the 4 x 4 freedoms of subdivision (y-lines 2..3, x-lines 1..2); kuorkv: those of a
    stringer on y-line 2 (x-lines 1..2) and of a frame on x-line 3 (y-lines 2..3)."""
    set_grid(3, 4, ku=(1, 2, 3, 4, 5))
    setkey()
    lm = key_entries(listing())
    i, j = 2, 1
    # (r, c) -> (y offset, x offset, kind)
    table = [[(0, 0, 1), (0, 0, 2), (0, 1, 1), (0, 1, 2)], [(0, 0, 3), (0, 0, 4), (0, 1, 3), (0, 1, 4)],
             [(1, 0, 1), (1, 0, 2), (1, 1, 1), (1, 1, 2)], [(1, 0, 3), (1, 0, 4), (1, 1, 3), (1, 1, 4)]]
    for f in range(1, 6):
        iu, ier = iuoriv(i, j, f)
        assert ier == 0
        assert iu.tolist() == [[lm[(j + dx, i + dy)][f][kd - 1] for dy, dx, kd in row] for row in table]
        for xory, ii, jj, first, second, along, across in [("X", 2, 1, (1, 2), (2, 2), 2, 3),
                                                           ("Y", 3, 2, (3, 2), (3, 3), 3, 2)]:
            kv, ier = kuorkv(xory, ii, jj, f)
            a, b = lm[first][f], lm[second][f]
            assert ier == 0 and kv.tolist() == [[a[0], a[along - 1], b[0], b[along - 1]],
                                                [a[across - 1], a[3], b[across - 1], b[3]]]


@pytest.mark.parametrize("i, j", [(4, 1), (1, 3), (0, 1), (2 ** 31 - 1, 1)])
def test_iuoriv_subdivision_out_of_range(listing, i, j):
    set_grid(3, 4)
    setkey()
    listing()
    iu, ier = iuoriv(i, j, 1)
    assert ier == 1 and not iu.any()
    assert listing() == ["", " MESSAGE FROM SUBROUTINE IUORIV: INCONSISTENT ARGUMENT",
                         " WRONG FUNCTION INDEX, OR SUBDIVISION OUT OF RANGE"]


@pytest.mark.parametrize("ku, ifun, ier", [
    ((1,), 2, 2), ((1, 2), 2, 2), ((1, 2, 3), 4, 2), ((1, 4, 5), 2, 0), ((1, 2, 3, 4), 2, 2),
    ((1, 2, 3, 4, 5), 6, 2), ((1, 2, 3, 4, 5), 0, 2)])
def test_iuoriv_admissible_functions(listing, ku, ifun, ier):
    set_grid(2, 2, ku)
    setkey()
    listing()
    iu, code = iuoriv(1, 1, ifun)
    assert code == ier
    if ier:
        assert not iu.any() and listing() == []


WRONG = " SECOND AND THIRD ARGUMENT SPECIFY WRONG NODE"


@pytest.mark.parametrize("args, ier, text", [
    (("x", 1, 1, 1), 1, " FIRST ARGUMENT NEITHER 'X' NOR 'Y' "),
    (("X", 5, 1, 1), 2, WRONG + "   5   1STIFFENER DIRECTION IS X"),
    (("Y", 1, 1, 6), 3, " FOURTH ARGUMENT 6 IS NO FUNCTION CODE 1 .. 5"),
])
def test_kuorkv_errors(listing, args, ier, text):
    set_grid(3, 4)
    setkey()
    listing()
    kv, code = kuorkv(*args)
    assert code == ier and not kv.any()
    assert listing() == message(text, "KUORKV")


@pytest.mark.parametrize("spoil, reason", [
    (lambda: setattr(_zeft.f07ina, "mx", 40), " NUMBER OF SUBDIVISION LINES MX=40 MY=3 OUTSIDE 1 .. 31"),
    (lambda: set_leit(3, 3, -7), " NODE NUMBER LEIT(3,3) = -7 OUTSIDE 1 .. 961"),
])
def test_setkey_numbers_nothing_on_a_grid_outside_the_preset(listing, spoil, reason):
    set_grid(3, 3)
    setkey()
    before, _ = iuoriv(1, 1, 1)
    listing()
    spoil()
    M.setkey(0, 0)
    assert (_zeft.f07ina.ibdx, _zeft.f07ina.ibdy) == (0, 0)
    assert listing() == message(reason + ", NO FREEDOMS NUMBERED")
    set_grid(3, 3)
    assert (iuoriv(1, 1, 1)[0] == before).all()  # the key matrix was left alone


OUT = " OUTSIDE THE GRID OR THE CODES, IGNORED"


@pytest.mark.parametrize("ku, knfun, sup, numsup, edges, counts, blocks, first", [
    ((1, 2, 3, 4, 5), 7, (), 0, None, (36, 144), 1, " NUMBER OF FUNCTIONS KNFUN=7 OUTSIDE 0 .. 5, TAKEN AS 5"),
    ((1, 9), 2, (), 0, None, (36, 0), 1, " FUNCTION CODE KU(2) = 9 OUTSIDE 1 .. 5, IGNORED"),
    ((1, 1, 1, 1, 1), 5, (), 0, None, (36, 0), 4, " FUNCTION CODE KU(2) = 1 REPEATED, IGNORED"),
    ((1,), 1, [(7, 1, 1, 1), (1, 5, 1, 1), (1, 1, 4, 1), (1, 1, 1, 0), (1, 1, 1, 1)], 5, None, (35, 0), 4,
     " SUPPRESSED FREEDOM NO. 1 (FUNCTION 7, DERIVATIVE 1, NODY 1, NODX 1)" + OUT),
    ((1,), 1, [(1, 2, 2, 2)] * 250, 300, None, (35, 0), 1,
     " NUMBER OF SUPPRESSED FREEDOMS NUMSUP=300 OUTSIDE 0 .. 250, TAKEN AS 250"),
    ((1,), 1, (), 0, {"bndx0": [0, 9, 6, 0, 0, 0, 0]}, (30, 0), 1, " BOUNDARY CODE 9 OF EDGE X=0 OUTSIDE 1 .. 6, IGNORED"),
])
def test_setkey_skips_invalid_record_entries(listing, ku, knfun, sup, numsup, edges, counts, blocks, first):
    set_grid(3, 3, ku, edges=edges, sup=sup)
    _zeft.f07ina.knfun, _zeft.f07ind.numsup = knfun, numsup
    assert setkey() == counts
    out = listing()
    out = out[:out.index("1")]
    assert out[:3] == message(first) and len(out) == 3 * blocks


@pytest.mark.parametrize("spoil, iu_text, kv_text", [
    (lambda: setattr(_zeft.f07ina, "my", 40), " INCONSISTENT GRID: MX=3 MY=40 EXCEED 31 LINES",
     " INCONSISTENT GRID: MX=3 MY=40 EXCEED 31 LINES"),
    (lambda: set_leit(2, 2, 5000), " INCONSISTENT GRID: NODE NUMBER LEIT(2,2) = 5000 OUTSIDE 1 .. 961",
     " INCONSISTENT GRID: NODE NUMBER 5000 OUTSIDE 1 .. 961"),
])
def test_index_maps_refuse_an_inconsistent_grid(listing, spoil, iu_text, kv_text):
    set_grid(3, 3)
    setkey()
    listing()
    spoil()
    iu, ier = iuoriv(1, 1, 1)
    assert ier == 3 and not iu.any()
    kv, ier = kuorkv("X", 2, 1, 1)
    assert ier == 4 and not kv.any()
    assert listing() == message(iu_text, "IUORIV") + message(kv_text, "KUORKV")
