"""Input echo of the analysis listing (prtout) against recorded listings, the conversion of the
angles of obliqueness to radians, and the refusal of grids outside the preset's limits.

data/echo_blocks.out holds the echo of every case of ECHOES as prtout wrote it once each block
(edge table and its star rules, suppressed freedoms, curvature formats, stiffness blocks of
every strip with the rotation terms) had been checked against a layout built by hand. Run with
ZEFT_RECORD_ECHOES=1 to write it anew after a deliberate change of the listing."""
import os
from pathlib import Path

import numpy as np
import pytest

from conftest import leit_table, set_grid, unit9

_zeft = pytest.importorskip("_zeft")
P31 = _zeft.prtnds31
ELEMENTS = 900
ECHOES_FILE = Path(__file__).parent / "data" / "echo_blocks.out"


def panel(mx=3, my=3, ku=(1, 2, 3, 0, 0), seiten=0, bnd=None, idesup=(), radii=(1e29, 1e29, 1e29)):
    """Stores a panel in the records of preset 31 as the input check leaves them."""
    set_grid(mx, my, ku, a=10.0, b=20.0, edges=bnd or {}, sup=idesup, seiten=seiten)
    _zeft.f07inb.rx, _zeft.f07inb.ry, _zeft.f07inb.rxy = radii


def stiffness_arrays():
    """Element arrays whose columns differ, so a wrong strip or kind shows in the listing."""
    arrays = []
    for kind, rows in enumerate((6, 6, 6, 6, 6, 6, 3), start=1):
        v = np.zeros((rows, ELEMENTS), np.float32, order="F")
        for col in range(ELEMENTS):
            v[:, col] = kind * 1000.0 + (col + 1) * 10.0 + np.arange(1, rows + 1)
        arrays.append(v)
    return arrays


@pytest.fixture
def listing():
    """Runs prtout into fort.9 and returns the records of the listing."""
    _zeft.datran.nwrite = 9

    def run(arrays=None):
        P31.prtout(*(arrays or stiffness_arrays()))
        return unit9()

    return run


# Every edge kind: held codes, symmetry, anti-symmetry, a code outside the six columns (7).
EDGES = {"bndy0": [0, 1, 6, 0, -3, 0, 0], "bndx0": [-1, 1, 2, 3, 4, 5, 6],
         "bndyl": [2, 0, 0, 0, 0, 0, 0], "bndxl": [0, 2, 3, 4, 5, 7, 0]}
ECHOES = {
    "edges, all five functions": dict(ku=(1, 2, 3, 4, 5), seiten=1, bnd=EDGES),
    "edges, W alone: stars overwrite the held codes": dict(ku=(1, 0, 0, 0, 0), seiten=1, bnd=EDGES),
    "edges, W U V": dict(ku=(1, 2, 3, 0, 0), seiten=1, bnd=EDGES),
    "edges, W BETA GAMMA": dict(ku=(1, 4, 5, 0, 0), seiten=1, bnd=EDGES),
    "suppressed freedoms": dict(ku=(1, 2, 3, 4, 5), idesup=[(1, 4, 3, 2), (5, 1, 17, 31)]),
    "radii at the infinite limit": dict(radii=(1.0e19, 1.0e20, -1.0e20)),
    "negative radii": dict(radii=(-2500.0, 1.0e29, -1.0e19)),
}


def recorded():
    """The cases of the reference file: {name: records}."""
    cases, name = {}, None
    for line in ECHOES_FILE.read_text().split("\n"):
        if line.startswith("@@ CASE "):
            name = line[len("@@ CASE "):]
            cases[name] = []
        elif line == "@@ END":
            name = None
        elif name is not None:
            cases[name].append(line)
    return cases


def test_echo_equals_the_recorded_listing(listing):
    got = {}
    for name, changes in ECHOES.items():
        panel(**changes)
        got[name] = listing()
    if os.environ.get("ZEFT_RECORD_ECHOES"):
        ECHOES_FILE.write_text("".join(f"@@ CASE {n}\n" + "".join(s + "\n" for s in v) + "@@ END\n"
                                       for n, v in got.items()))
    want = recorded()
    assert list(want) == list(ECHOES)
    for name in ECHOES:
        for k, (g, w) in enumerate(zip(got[name], want[name]), start=1):
            assert g == w, f"{name}, line {k}"
        assert len(got[name]) == len(want[name]), name


def test_echo_lists_the_angles_in_degrees_and_leaves_them_in_radians(listing):
    panel()
    ang = _zeft._internal31.f07ang
    ang.alfax, ang.alfay = 90.0, 0.0
    assert " ANGLES OF OBLIQUENESS      X'-X:  90.0000" in listing()
    assert (ang.alfax, ang.alfay) == (np.float32(1.5707964), 0.0)


# ----------------------------------------------------------------------------- refusals

def bad_node(iy, ix, node):
    table = leit_table(3, 3)
    table[iy - 1, ix - 1] = node
    return table


@pytest.mark.parametrize("record, field, value, reason", [
    ("f07ina", "mx", 1, "NUMBER OF SUBDIVISION LINES OUTSIDE 2 .. 31:  MX = 1  MY = 3"),
    ("f07ina", "knfun", 6, "NUMBER OF FUNCTIONAL DOFS OUTSIDE 1 .. 5:  KNFUN = 6"),
    ("f07ind", "numsup", 251, "NUMBER OF SUPPRESSED FREEDOMS ABOVE 250:  NUMSUP = 251"),
    ("f07ina", "leit", bad_node(2, 3, 962),
     "NODE NUMBER OUTSIDE 1 .. 961 AT IY = 2, IX = 3:  LEIT = 962"),
])
def test_inadmissible_grid_is_refused(listing, capfd, record, field, value, reason):
    panel(3, 3)
    setattr(getattr(_zeft, record), field, value)
    block = ["", " MESSAGE FROM SUBROUTINE PRTOUT:", " " + reason, " INPUT ECHO NOT WRITTEN"]
    assert listing() == block
    assert "\n".join(block) in capfd.readouterr().out


def test_too_few_element_columns_are_rejected(listing):
    panel(3, 5)
    short = [np.zeros((6 if k < 6 else 3, 3), np.float32, order="F") for k in range(7)]
    with pytest.raises(_zeft.error):
        P31.prtout(*short)
