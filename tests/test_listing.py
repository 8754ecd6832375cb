"""Input echo of the analysis listing (prtout): block layouts, the knfun star rules, the
curvature and node-table formats, the refusal of grids outside the preset's limits, and the
degree-to-radian conversion of the angles of obliqueness."""
import numpy as np
import pytest

from conftest import fortran_e, leit_table, set_grid, unit9

_zeft = pytest.importorskip("_zeft")
P31 = _zeft.prtnds31
ELEMENTS = 900


# ----------------------------------------------------------------------------- helpers

def E(v, w):
    """Fortran E w.7 of a single-precision value."""
    return fortran_e(float(np.float32(v)), w, 7)


def panel(mx=3, my=3, ku=(1, 2, 3, 0, 0), a=None, b=None, seiten=0, bnd=None, idesup=(),
          radii=(1e29, 1e29, 1e29)):
    """Stores a panel in the records of preset 31 as the input check leaves them."""
    set_grid(mx, my, ku, a=10.0 if a is None else a, b=20.0 if b is None else b, edges=bnd or {},
             sup=idesup, seiten=seiten)
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


def section(lines, title, ends=(), before=3):
    """The records from `before` lines before `title` up to three lines before the first of
    `ends` that follows (or to the end)."""
    start = lines.index(title) - before
    stop = len(lines)
    for end in ends:
        if end in lines[start + before + 1:]:
            stop = min(stop, lines.index(end, start + before + 1) - 3)
    return lines[start:stop]


DOFS = " CODE NUMBERS OF THE FUNCTIONAL DOFS INVOLVED:"
STIFF = " STIFFNESS COEFFICIENTS"
LATER = (" DISCRETE STIFFNESSES IN X'-DIRECTION", " DISCRETE STIFFNESSES IN Y'-DIRECTION",
         " PRESCRIBED MEMBRANE FORCES")


# ----------------------------------------------------------------------------- boundaries

HEADER = [
    "", "", "",
    " BOUNDARY CONDITIONS, EDGE-WISE",
    "",
    "       0 = FIXED",
    "       - = FREE",
    "       * = NOT SPECIFIED",
    "",
    "       BOUNDARY !     W     U     V   BETA  GAMMA  W,X OR W,Y",
    "       " + "-" * 9 + "+" + "-" * 44,
]


def edge_row(name, marks):
    return "        " + name.ljust(8) + "!" + "".join(m.rjust(6) for m in marks[:5]) + marks[5].rjust(10)


@pytest.mark.parametrize("ku, y0_marks, xl_marks", [
    ((1, 2, 3, 4, 5), "0----0", "-0000-"),
    ((1, 0, 0, 0, 0), "0****0", "-****-"),   # W alone: stars overwrite the fixed codes
    ((1, 2, 3, 0, 0), "0--**0", "-00**-"),
    ((1, 4, 5, 0, 0), "0**--0", "-**00-"),
])
def test_boundary_conditions(listing, ku, y0_marks, xl_marks):
    # Code 7 lies outside the six columns and is ignored.
    bnd = {"bndy0": [0, 1, 6, 0, -3, 0, 0], "bndx0": [-1, 1, 2, 3, 4, 5, 6],
           "bndyl": [2, 0, 0, 0, 0, 0, 0], "bndxl": [0, 2, 3, 4, 5, 7, 0]}
    panel(ku=ku, seiten=1, bnd=bnd)
    lines = listing()
    assert lines[:15] == HEADER + [
        edge_row("Y = 0", y0_marks),
        "        X = 0   !" + " " * 15 + "SYMMETRY",
        "        Y = LY  !" + " " * 12 + "ANTI-SYMMETRY",
        edge_row("X = LX", xl_marks),
    ]
    assert lines[15:18] == ["", "", ""] and lines[18].startswith(DOFS)


def test_suppressed_freedoms(listing):
    panel(ku=(1, 2, 3, 4, 5), idesup=[(1, 4, 3, 2), (5, 1, 17, 31)])
    lines = listing()
    assert lines[:10] == [
        "", "", "",
        " NUMBER OF SUPPRESSED FREEDOMS:      2",
        "",
        "     NODE          FUNCTION CODE NUMBER       KIND OF DERIVATIVE",
        "  NODY  NODX       1=W,2=U,3=V,4=BETA,5=GAMMA    1=F,2=FX,3=FY,4=FXY",
        "    3     2" + " " * 16 + "  1" + " " * 23 + "  4",
        "   17    31" + " " * 16 + "  5" + " " * 23 + "  1",
        "",
    ]
    assert lines[12] == DOFS + "  1  2  3  4  5"


# ----------------------------------------------------------------------------- curvature

@pytest.mark.parametrize("radii, shown", [
    ((1.0e19, 1.0e20, -1.0e20), (E(1.0e19, 14), "   INFINITE", "   INFINITE")),
    ((-2500.0, 1.0e29, -1.0e19), ("-0.2500000E+04", "   INFINITE", "-0.1000000E+20")),
])
def test_shell_curvature(listing, radii, shown):
    panel(radii=radii)
    lines = listing()
    i = lines.index(" SHELL CURVATURE:")
    assert lines[i - 3:i] == ["", "", ""]
    assert lines[i + 1:i + 4] == ["       RX  = " + shown[0], "       RY  = " + shown[1],
                                  "       RXY = " + shown[2]]


# ----------------------------------------------------------------------------- stiffnesses

def matrix(e):
    rows = [(e[0], e[1], e[3]), (e[1], e[2], e[4]), (e[3], e[4], e[5])]
    return [" " + "".join(E(v, 20) for v in row) for row in rows] + ["", ""]


@pytest.mark.parametrize("ku", [(1, 4, 5, 0, 0), (1, 2, 3, 4, 5)])
def test_stiffness_coefficients_with_rotations(listing, ku):
    """With the rotations the adjustment terms of the last strip follow the three blocks of
    every strip, then the transverse shear of every strip."""
    panel(my=3, ku=ku)
    bb, dd, bd, rr, dr, br, ss = arrays = stiffness_arrays()
    lines = section(listing(arrays), STIFF, LATER, before=4)
    strip = ["0      ELEMENT STRIP :  1", "0      ELEMENT STRIP :  2"]
    expected = ["", "", "", "", STIFF, "", "       MEMBRANE"]
    for j in range(2):
        expected += [strip[j]] + matrix(bb[:, j])
    for title, v in (("BENDING", dd), ("MEMBRANE-BENDING COUPLING", bd)):
        for j in range(2):
            expected += ["0      " + title, strip[j]] + matrix(v[:, j])
    expected += ["0      BENDING ADJUSTMENT"] + matrix(rr[:, 1])
    expected += ["0      MEMBRANE-BENDING ADJUSTMENT COUPLING"] + matrix(dr[:, 1])
    expected += ["0      BENDING-BENDING ADJUSTMENT COUPLING"] + matrix(br[:, 1])
    for j in range(2):
        s = ss[:, j]
        expected += ["0      TRANSVERSE SHEAR", " " + E(s[0], 20) + E(s[1], 20),
                     " " + E(s[1], 20) + E(s[2], 20), "", ""]
    assert lines == expected


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


# ----------------------------------------------------------------------------- whole run

def test_run_echo_angles(tmp_path):
    """A driver run without buckling analysis writes the echo with the angles in degrees; a
    later echo shows the angles converted to radians."""
    panel(4, 3)
    istx = np.zeros(29, np.int32)
    istx[0] = 2
    steifx = np.zeros((4, 29), np.float32, order="F")
    steifx[:, 0] = (1.25e5, -2.5, 3.0e7, 0.0)
    P31.zeftmain("ECHO", "ANGLES", 0, 0, 4, 2, 1, 0, [1, 2, 3, 0, 0],
                 np.full(30, 10.0, np.float32), np.full(30, 20.0, np.float32),
                 [0] * 7, [0] * 7, [0] * 7, [0] * 7, 1e29, 1e29, 1e29,
                 istx, np.zeros(29, np.int32), np.ones(30, np.int32), steifx,
                 np.zeros((4, 29), np.float32, order="F"), 90.0, 0.0)
    _zeft._close_unit(9)
    lines = (tmp_path / "ECHO    .out").read_text().split("\n")
    i = lines.index(" ANGLES OF OBLIQUENESS      X'-X:  90.0000")
    assert lines[i + 1] == " " * 28 + "Y'-Y:   0.0000"

    # The conversion happened in place: 90 degrees became 1.5707964 radians.
    _zeft.datran.nwrite = 9
    panel(4, 3)
    P31.prtout(*stiffness_arrays())
    _zeft._close_unit(9)
    again = (tmp_path / "fort.9").read_text().split("\n")
    assert " ANGLES OF OBLIQUENESS      X'-X:   1.5708" in again
