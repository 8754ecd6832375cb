"""Mode-shape file: plot grid, curvature contour against the shell surface over its corner
plane, the file layout, the W field of buckling runs against the plate's sine modes with
scaling and symmetry continuation, skipped and vanishing modes, and refused plot data."""
import re
from pathlib import Path

import numpy as np
import pytest

from conftest import callzeft_args, isotropic

_zeft = pytest.importorskip("_zeft")
P31, P19 = _zeft.prtnds31, _zeft.prtnds19
HEADER = "Next line: Nmbr of grid points in x- and y-direction"
FIELD = re.compile(r"  [ -]0\.\d{4}E[+-]\d\d")


@pytest.fixture
def folder(work_folder):
    _zeft.datran.nwrite = 9
    return work_folder


def row_values(line):
    """Values of one data row, checking its fields: a blank before each E12.4 value."""
    n = len(line) // 13
    assert len(line) == 13 * n and 1 < n <= 82
    fields = [line[13 * k: 13 * k + 13] for k in range(n)]
    assert all(FIELD.fullmatch(f) for f in fields)
    return [float(f) for f in fields]


def read_plot_file(name="fort.26"):
    """(npx, npy, blocks): each block is (title, xplt, yplt, v) with v[i, j] at (xplt[i], yplt[j])."""
    _zeft._close_unit(26)
    lines = Path(name).read_text().splitlines()
    assert lines[0] == HEADER and re.fullmatch(r"[ \d]{4} [ \d]{4}", lines[1])
    npx, npy = int(lines[1][:4]), int(lines[1][5:])
    by_x = npy <= npx
    n_lines = (npx if by_x else npy) + 1
    blocks, k = [], 2
    while k < len(lines):
        title, rows = lines[k], [row_values(r) for r in lines[k + 1: k + 2 + n_lines]]
        assert title.endswith(("X" if by_x else "Y") + " increases from line to line")
        assert rows[0][0] == 0.0 and all(len(r) == len(rows[0]) for r in rows)
        across, along = np.array(rows[0][1:]), np.array([r[0] for r in rows[1:]])
        table = np.array([r[1:] for r in rows[1:]])
        blocks.append((title, along, across, table) if by_x else (title, across, along, table.T))
        k += 2 + n_lines
    return npx, npy, blocks


def close(a, b):
    """Equal to the four digits of E12.4."""
    return np.allclose(a, b, rtol=6e-4, atol=1e-6)


def set_panel(a, b, npx, npy, isymx=0, isymy=0, b11=0.0, b22=0.0, b12=0.0):
    """Grid, plot options and curvature couplings of the preset-31 records."""
    _zeft.f07ina.mx, _zeft.f07ina.my = len(a) + 1, len(b) + 1
    _zeft.f07ina.a = np.r_[a, np.zeros(30 - len(a))]
    _zeft.f07ina.b = np.r_[b, np.zeros(30 - len(b))]
    p = _zeft.plotin
    p.npx, p.npy, p.isymx, p.isymy = npx, npy, isymx, isymy
    feps = np.array(_zeft.f01eps.feps)
    feps[0, 1], feps[1, 1], feps[2, 2] = b11, b22, b12
    _zeft.f01eps.feps = feps


# ----------------------------------------------------------------------------- grid and contour

@pytest.mark.parametrize("npx, npy, adjusted", [(7, 5, (6, 4)), (100, 81, (80, 80)), (21, 31, (20, 30))])
def test_plot_grid_of_a_flat_panel(folder, npx, npy, adjusted):
    set_panel([1.0] * 3, [0.5] * 4, npx, npy)
    P31.pltmsh()
    P31.cntour()
    got_npx, got_npy, [(title, xp, yp, cntr)] = read_plot_file()
    assert (got_npx, got_npy) == adjusted == (_zeft.plotin.npx, _zeft.plotin.npy)
    assert title == "#CONTOUR. %s increases from line to line" % ("Y" if npy > npx else "X")
    assert close(xp, np.linspace(0, 3, adjusted[0] + 1)) and close(yp, np.linspace(0, 2, adjusted[1] + 1))
    assert not cntr.any()


@pytest.mark.parametrize("isymx, isymy, npx, npy", [(0, 0, 8, 6), (-2, 1, 12, 6), (2, -1, 6, 10), (1, -2, 4, 8)])
def test_contour_is_the_shell_surface_over_its_corner_plane(folder, isymx, isymy, npx, npy):
    b11, b22, b12 = -1 / 40.0, -1 / 25.0, -2 / 90.0
    set_panel([1.0, 2.0], [0.5, 0.5, 1.0], npx, npy, isymx, isymy, b11, b22, b12)
    P31.pltmsh()
    P31.cntour()
    _, _, [(title, xp, yp, cntr)] = read_plot_file()
    assert title[10] == ("Y" if npy > npx else "X")
    xs = (-3, 3) if abs(isymx) == 2 else (0, 6) if isymx else (0, 3)
    ys = (-2, 2) if abs(isymy) == 2 else (0, 4) if isymy else (0, 2)
    assert close(xp, np.linspace(*xs, npx + 1)) and close(yp, np.linspace(*ys, npy + 1))

    def surface(x, y):
        return 0.5 * (b11 * x * x + b12 * x * y + b22 * y * y)
    cx, cy = np.array([xs[0], xs[1], xs[0], xs[1]]), np.array([ys[0], ys[0], ys[1], ys[1]])
    plane = np.linalg.lstsq(np.c_[cx, cy, np.ones(4)], surface(cx, cy), rcond=None)[0]
    x, y = np.meshgrid(np.linspace(*xs, npx + 1), np.linspace(*ys, npy + 1), indexing="ij")
    expected = surface(x, y) - (plane[0] * x + plane[1] * y + plane[2])
    assert close(cntr, expected) and np.abs(expected).max() > 0.01


# ----------------------------------------------------------------------------- refusals

@pytest.mark.parametrize("change, before_pltmsh", [
    (dict(npx=0), True), (dict(npy=-3), False), (dict(npx=100), False), (dict(mx=1), False),
    (dict(my=40), False), (dict(isymx=3), False), (dict(nmod=51), False),
])
def test_unfit_plot_data_is_refused(folder, capfd, change, before_pltmsh):
    set_panel([1.0] * 3, [1.0] * 3, 10, 10)
    for step in ("before", "pltmsh", "after"):
        if step == "pltmsh":
            P31.pltmsh()
        elif before_pltmsh == (step == "before"):
            for name, value in change.items():
                setattr(_zeft.f07ina if name in ("mx", "my") else _zeft.plotin, name, value)
    ier = np.zeros(1, np.int32)
    P31.modes(ier)
    assert ier[0] == 12 and not Path("fort.26").exists()
    _zeft._close_unit(9)
    listing = Path("fort.9").read_text().splitlines()
    assert listing[-3:-1] == ["", " MESSAGE FROM SUBROUTINE MODES:"] and listing[-1] in capfd.readouterr().out
    assert (listing[1] == " MESSAGE FROM SUBROUTINE PLTMSH:") == before_pltmsh


# ----------------------------------------------------------------------------- buckling runs

def plate_run(n_x, len_x, len_y, bnd, npx, npy, neigrq=3, isymx=0):
    """Buckling run of a simply supported square-celled isotropic plate (W only, preset 19)
    under unit compression in x, with the plot file; returns (eigenvalues, eigenvectors)."""
    _zeft.plotin.npx, _zeft.plotin.npy = npx, npy
    _zeft.plotin.isymx, _zeft.plotin.isymy = isymx, 0
    held = [0, 1, 0, 0, 0, 0, 0]
    args = callzeft_args(
        19, filenamep="PLATE", titp="MODES", matabdf=np.asfortranarray(np.c_[isotropic(2.0), isotropic(2.0)]),
        steifxf=np.zeros(4), framepitch=len_x, stringerpitch=len_y, stypep=4, sfootwdth=0.0, loadvxp=1.0,
        neigit=6, neigrq=neigrq, mempri=0, indplt=1, ku=[1], istx=[], elmstf=np.ones(18),
        **{"bnd" + e: bnd.get(e, held) for e in ("y0", "yl", "x0", "xl")}, anzelzwframes=n_x, anzelzwstr=1)
    P19.callzeft(**args)
    return args["elamp"], args["displ"].reshape((1444, neigrq), order="F")


def test_mode_blocks_of_a_plate_follow_its_sine_modes(folder):
    elam, x = plate_run(6, 300.0, 180.0, {}, npx=12, npy=36)
    npx, npy, blocks = read_plot_file("PLATE   MODES.txt")
    assert (npx, npy) == (12, 36) and len(blocks) == 4
    assert [b[0][:10] for b in blocks] == ["#CONTOUR. ", " MODE  1. ", " MODE  2. ", " MODE  3. "]
    _, xp, yp, w = blocks[1]
    scal = 2.0   # equivalent thickness of the skin
    assert np.abs(w).max() == pytest.approx(scal, abs=1e-4)
    # lowest mode of a 300 x 180 plate: two half-waves in x, one in y
    sine = np.outer(np.sin(2 * np.pi * xp / 300), np.sin(np.pi * yp / 180))
    assert np.allclose(w, scal * np.sign(w[3, 18]) * sine, atol=0.01 * scal)
    # at the lower-left node of every subdivision the plotted W is its value freedom, scaled
    # alike and with its sign
    iu, ier, ratio = np.zeros((4, 4), np.int32, order="F"), np.zeros(1, np.int32), []
    for i in range(2, 7):   # interior nodes: W is free there
        for j in range(2, 19):
            P19.iuoriv(j, i, 1, iu, ier)
            ratio.append(w[2 * i - 2, 2 * j - 2] / x[iu[0, 0] - 1, 0])
    assert min(ratio) > 0 and np.allclose(ratio, np.mean(ratio), rtol=1e-3)
    assert elam[0] == pytest.approx(64.6, rel=2e-3)


SYM, ANTI = [-1, 0, 0, 0, 0, 0, 0], [1, 0, 0, 0, 0, 0, 0]


@pytest.mark.parametrize("edge, code, isym, waves", [
    ("xl", SYM, -1, (1, 1)), ("xl", ANTI, 1, (2, 1)), ("x0", SYM, -2, (1, 1)), ("x0", ANTI, 2, (2, 1)),
    ("yl", SYM, -1, (1, 1)), ("y0", ANTI, 2, (2, 2)),
])
def test_symmetry_continues_the_computed_half(folder, edge, code, isym, waves):
    """Half of a square 180 x 180 plate with a symmetry line; the plot shows the whole plate,
    whose lowest mode under compression in x has the given half-waves in x and y."""
    along_x = edge[0] == "x"
    plate_run(6 if along_x else 12, 90.0 if along_x else 180.0, 180.0 if along_x else 90.0,
              {edge: code}, npx=12, npy=18, neigrq=2)
    assert (_zeft.plotin.isymx, _zeft.plotin.isymy) == ((isym, 0) if along_x else (0, isym))
    _, _, [_, (_, xp, yp, w), _] = read_plot_file("PLATE   MODES.txt")
    # the mirror image is exact, negated across an anti-symmetry line
    mirror = w[::-1, :] if along_x else w[:, ::-1]
    assert np.array_equal(mirror, (-1.0 if isym > 0 else 1.0) * w)
    # the plot spans the whole plate: from -90 to 90 across a symmetry line at 0
    shift = 90.0 if abs(isym) == 2 else 0.0
    x, y = np.meshgrid(xp + (shift if along_x else 0), yp + (0 if along_x else shift), indexing="ij")
    assert x.min() == y.min() == 0.0 and x.max() == pytest.approx(180) and y.max() == pytest.approx(180)
    sine = np.sin(waves[0] * np.pi * x / 180) * np.sin(waves[1] * np.pi * y / 180)
    expected = 2.0 * np.sign(np.sum(w * sine)) * sine / np.abs(sine).max()
    assert np.abs(w).max() == pytest.approx(2.0, abs=1e-4)
    assert np.allclose(w, expected, atol=0.02)


def test_modes_skips_modes_not_computed_and_writes_a_vanishing_mode_as_zeros(folder):
    plate_run(6, 300.0, 180.0, {}, npx=6, npy=18)
    p = _zeft.plotin
    p.nmod = 4
    p.mdsplt = np.r_[3, 4, 0, 2, np.zeros(46)]
    x = np.array(_zeft._internal19.vectrs.x)
    x[:, 1] = 0.0   # mode 2 vanishes
    _zeft._internal19.vectrs.x = x
    ier = np.zeros(1, np.int32)
    P19.cntour()
    P19.modes(ier)
    _, _, blocks = read_plot_file()
    assert ier[0] == 0 and [b[0][:10] for b in blocks] == ["#CONTOUR. ", " MODE  3. ", " MODE  2. "]
    assert np.abs(blocks[1][3]).max() == pytest.approx(2.0, abs=1e-4)
    assert not blocks[2][3].any() and np.isfinite(blocks[2][3]).all()
    _zeft._close_unit(9)
    listing = Path("fort.9").read_text().splitlines()
    skipped = [listing[i + 1] for i, line in enumerate(listing) if line == " MESSAGE FROM SUBROUTINE MODES:"]
    assert skipped == [" SELECTED MODE   4 IS NOT AMONG THE  3 COMPUTED MODES, NOT PLOTTED",
                       " SELECTED MODE   0 IS NOT AMONG THE  3 COMPUTED MODES, NOT PLOTTED"]


def test_symmetry_line_at_zero_survives_rounding_of_the_plot_coordinates(folder):
    """With 18 strips of a 278.4-long half plate and 80 plot intervals, the running plot
    coordinate of the symmetry line x = 0 lands a few ulps below zero; the point still lies on
    the panel's start edge and the mode is written."""
    plate_run(18, 278.4, 180.0, {"x0": SYM}, npx=80, npy=18, neigrq=2)
    assert _zeft.plotin.isymx == -2
    _, _, [_, (_, xp, _, w), _] = read_plot_file("PLATE   MODES.txt")
    assert xp[40] < 0.0 and np.abs(w).max() == pytest.approx(2.0, abs=1e-4)
