"""Input check rddata: plot defaults and eigenvalue-count bounds, node numbers, boundary
summary and plot symmetry, stiffener counts, element stiffness from the data sets of the
strips, plot scale, the namelist groups of vibration and crippling runs, and the refusal of
inconsistent panel descriptions before anything is indexed with them."""
import numpy as np
import pytest

from conftest import Hidden, isotropic, set_grid, unit9

_zeft = pytest.importorskip("_zeft")
P31 = _zeft.prtnds31
ELEMENTS = 900


class Panel:
    """A consistent 4 x 3 panel (W, U, V) in the records of preset 31, and the rddata call on it."""

    def __init__(self):
        self.h = h = Hidden(31)
        _zeft.datran.nwrite, _zeft.datran.nread = 9, 8
        _zeft.man.neigit, _zeft.man.neigrq = 4, 2
        set_grid(4, 3, ku=(1, 2, 3), a=10.0, b=20.0, seiten=0)
        _zeft.f07ina.leit = np.zeros((31, 31), np.int32)      # rddata numbers the nodes
        _zeft.plotin.isymx = _zeft.plotin.isymy = 0
        h.matabd[:, 0], h.matabd[:, 1] = isotropic(2.0), isotropic(3.0)
        h.elmstf[:] = 1

    def run(self):
        """Calls rddata; returns the error code, the element arrays and the listing records."""
        self.arrays = [np.zeros((rows, ELEMENTS), np.float32, order="F") for rows in (6,) * 6 + (3,)]
        ier = np.zeros(1, np.int32)
        P31.rddata(*self.arrays, ier)
        self.listing = unit9()
        return int(ier[0])


@pytest.fixture
def panel():
    return Panel()


# ----------------------------------------------------------------------------- defaults

@pytest.mark.parametrize("neigrq, neigit, plotted, neigrq_after, neigit_after, warning", [
    (3, 4, [1, 2, 3], 3, 4, None),
    (60, 4, list(range(1, 51)), 50, 4, 50),
    (2, 70, [1, 2], 2, 55, 55),
])
def test_modes_to_plot_and_count_bounds(panel, neigrq, neigit, plotted, neigrq_after,
                                        neigit_after, warning):
    _zeft.man.neigrq, _zeft.man.neigit = neigrq, neigit
    _zeft.plotin.scal = 7.0
    assert panel.run() == 0
    mdsplt = list(_zeft.plotin.mdsplt)
    assert mdsplt == plotted + [0] * (50 - len(plotted))
    assert _zeft.plotin.nmod == len(plotted)
    assert (_zeft.man.neigrq, _zeft.man.neigit) == (neigrq_after, neigit_after)
    if warning is None:
        assert panel.listing == []
    else:
        assert panel.listing == ["    WARNING: IN SUBROUTINE RDDATA",
                                 f"             NUMBER OF EIGENMODES FOR ITERATION WAS REDUCED TO {warning:2d}"]


# The code of each symmetry kind on each edge after a run: test_mode_shapes.
@pytest.mark.parametrize("codes, seiten, isymx, isymy", [
    ({}, 0, 5, 6),                                    # no edge codes: symmetry codes stay
    ({"bndy0": 1, "bndyl": -1}, 1, 5, -1),            # the later edge y = l overrides
    ({"bndxl": -1, "bndy0": 2}, 1, -1, 6),            # kinds other than +-1 leave the code
    ({"bndxl": [0, 0, 0, 0, 0, 0, 6]}, 1, 5, 6),      # a held freedom alone
])
def test_boundary_summary_and_plot_symmetry(panel, codes, seiten, isymx, isymy):
    _zeft.plotin.isymx, _zeft.plotin.isymy = 5, 6
    for name, first in codes.items():
        v = np.zeros(7, np.int32)
        v[: np.size(first)] = first
        setattr(_zeft.f07ind, name, v)
    assert panel.run() == 0
    assert (_zeft.f07ind.seiten != 0, _zeft.plotin.isymx, _zeft.plotin.isymy) == (bool(seiten), isymx, isymy)


@pytest.mark.parametrize("mx, my, istx, isty, nox, noy", [
    (4, 8, [3, 7, 0, 5], [], 2, 0),
    (3, 3, [2, 2, 2, 2], [2, 2, 2, 3], 3, 3),     # counted over at most my (mx) entries
    (4, 3, [], [2, 3], 0, 2),
])
def test_stiffener_counts(panel, mx, my, istx, isty, nox, noy):
    h = panel.h
    _zeft.f07ina.mx, _zeft.f07ina.my = mx, my
    _zeft.f07ina.a = np.full(30, 10.0, np.float32)
    _zeft.f07ina.b = np.full(30, 20.0, np.float32)
    h.istx[: len(istx)] = istx
    h.isty[: len(isty)] = isty
    assert panel.run() == 0
    assert (h.nox[0], h.noy[0]) == (nox, noy)


def test_suppressed_freedoms_are_counted_up_to_the_first_empty_column(panel):
    sup = np.zeros((4, 250), np.int32)
    sup[:, 0], sup[:, 1], sup[:, 3] = (1, 1, 1, 1), (2, 4, 3, 4), (1, 2, 2, 2)
    _zeft.f07ind.idesup = sup
    assert panel.run() == 0
    assert _zeft.f07ind.numsup == 2


def test_element_stiffness_follows_the_data_set_of_the_strip(panel):
    h = panel.h
    _zeft.f07ina.mx, _zeft.f07ina.my = 3, 4
    _zeft.f07ina.b = np.full(30, 20.0, np.float32)
    h.elmstf[:3] = (1, 2, 1)
    h.matabd[:] = np.arange(1, 37, dtype=np.float32).reshape((18, 2), order="F")
    h.matsw[:] = 100 + np.arange(1, 43, dtype=np.float32).reshape((21, 2), order="F")
    assert panel.run() == 0
    bb, dd, bd, rr, dr, br, ss = panel.arrays
    for e in range(1, 7):
        k = (1, 2, 1)[(e - 1) % 3] - 1
        col = e - 1
        for got, want in [(bb, h.matabd[0:6]), (bd, h.matabd[6:12]), (dd, h.matabd[12:18]), (br, h.matsw[0:6]),
                          (dr, h.matsw[6:12]), (rr, h.matsw[12:18]), (ss, h.matsw[18:21])]:
            np.testing.assert_array_equal(got[:, col], want[:, k])
    assert not bb[:, 6:].any() and not ss[:, 6:].any()


def test_plot_scale_is_the_equivalent_thickness_or_one(panel):
    assert panel.run() == 0
    assert _zeft.plotin.scal == pytest.approx(2.0, rel=1e-6)
    panel.h.matabd[0:6, 0] = 0.0                 # without membrane stiffness: one, and a warning
    assert panel.run() == 0
    assert _zeft.plotin.scal == 1.0
    assert panel.listing[0] == "    WARNING: IN SUBROUTINE RDDATA"
    assert "PLOT SCALE UNDEFINED" in panel.listing[1]


# ----------------------------------------------------------------------------- namelist groups

HEADER = " MESSAGE FROM SUBROUTINE RDDATA:"
STRINGER_MISSING = " Some Stringer Data missing for crippling analysis"


@pytest.mark.parametrize("flags, stype, text, ier, block", [
    ({"vibr": 1}, 0, None, 8, " NAMELIST  INERT NOT FOUND"),
    ({"cripan": 1}, 1, None, 8, STRINGER_MISSING),
    ({"cripan": 1}, 1, "&ostringer footth=1.0 /\n", 8, STRINGER_MISSING),
    ({"cripan": 1}, 2, "&ostringer footth=1.25, webth=0.75, chordwidth=12.0, alpha=60.0 /\n", 0, None),
    ({"cripan": 1}, 1, "&tstringer footth = 1.5\n webth = 0.5, ddst = 6*2.0 /\n", 0, None),
    ({"cripan": 1}, 1, "&tstringer footth = abc /\n", 9, None),
])
def test_namelist_groups(panel, capfd, flags, stype, text, ier, block):
    if text is not None:
        with open("fort.8", "w") as f:
            f.write(text)
    for name, value in flags.items():
        setattr(_zeft.antype, name, value)
    panel.h.stype[0] = stype
    assert panel.run() == ier
    out = capfd.readouterr().out.splitlines()
    if block is not None:
        assert panel.listing[-2:] == [HEADER, block]
        assert out[-2:] == [HEADER, block]
    elif ier == 9:
        assert panel.listing[-2] == HEADER and panel.listing[-1].startswith(" SYNTAX ERROR IN NAMELIST TSTRINGER")
        assert out[-2] == HEADER
    elif stype == 2:
        s = _zeft.stringercom
        assert (float(s.footth), float(s.webth), float(s.chordwidth), float(s.alpha)) == (1.25, 0.75, 12.0, 60.0)
        assert panel.listing == []
    else:
        s = _zeft.stringercom
        assert (float(s.footth), float(s.webth)) == (1.5, 0.5)
        assert list(s.ddst) == [2.0] * 6
        assert panel.listing == ["         0.15000E+01         0.50000E+00"]


def test_crippling_with_another_stringer_type_only_says_so(panel, capfd):
    _zeft.antype.cripan = 1
    panel.h.stype[0] = 3
    assert panel.run() == 0
    assert panel.listing == [HEADER, STRINGER_MISSING]
    assert STRINGER_MISSING not in capfd.readouterr().out


# ----------------------------------------------------------------------------- refused input

def _set(record, member, index, value):
    v = getattr(record, member).copy()
    v[index] = value
    setattr(record, member, v)


def _ku(codes, knfun):
    _zeft.f07ina.ku = np.array(codes, np.int32)
    _zeft.f07ina.knfun = knfun


def _sup(column):
    sup = np.zeros((4, 250), np.int32)
    sup[:, 0] = column
    _zeft.f07ind.idesup = sup


@pytest.mark.parametrize("change, text", [
    (lambda h: setattr(_zeft.f07ina, "mx", 1), "MX =          1 IS OUTSIDE 2 .. 31"),
    (lambda h: _ku([1, 2, 7, 0, 0], 3), "KU(3) =          7 IS OUTSIDE 1 .. 5"),
    (lambda h: _ku([1, 2, 0, 0, -4], 2), "KU(5) =         -4 IS OUTSIDE 0 .. 5"),
    (lambda h: _ku([1, 3, 3, 0, 0], 3), "FUNCTION CODE 3 IS REPEATED IN KU"),
    (lambda h: _ku([2, 3, 0, 0, 0], 2), "THE DISPLACEMENT W IS NOT ACTIVE: KU(1) = 2, EXPECTED 1"),
    (lambda h: setattr(_zeft.man, "neigit", 1), "NEIGIT =          1 IS BELOW 2"),
    (lambda h: _set(_zeft.f07ina, "a", 2, np.nan), "SUBDIVISION LENGTH A(3) =            NAN IS NOT A POSITIVE NUMBER"),
    (lambda h: _set(_zeft.f07ind, "bndxl", 3, 7), "BOUNDARY CODE 4 OF EDGE X = LX =          7 IS ABOVE 6"),
    (lambda h: _sup((1, 1, 4, 1)), "SUPPRESSED FREEDOM   1: Y-LINE =          4 IS OUTSIDE 1 .. 3"),
    (lambda h: h.istx.__setitem__(0, 4), "Y-LINE OF STRINGER  1 ISTX =          4 IS OUTSIDE 1 .. 3"),
    (lambda h: h.elmstf.__setitem__(1, 3), "ELEMENT STRIP  2: STIFFNESS DATA SET ELMSTF =          3 IS NEITHER 1 NOR 2"),
    (lambda h: h.matabd.__setitem__((13, 0), np.inf), "SKIN STIFFNESS MATABD(14,1) =      +INFINITY IS NOT A FINITE NUMBER"),
    (lambda h: h.pvar.__setitem__((11, 2), -np.inf), "VARIABLE MEMBRANE FORCE PVAR(12,3) =      -INFINITY IS NOT A FINITE NUMBER"),
    (lambda h: setattr(_zeft.f07inb, "rx", np.nan), "RADIUS OF CURVATURE RX =            NAN IS NOT A NUMBER"),
    (lambda h: setattr(_zeft._internal31.f07ang, "alfay", np.inf),
     "ANGLE OF OBLIQUENESS ALFAY =      +INFINITY IS NOT A FINITE NUMBER"),
])
def test_inconsistent_input_is_refused(panel, capfd, change, text):
    change(panel.h)
    assert panel.run() == 12
    assert len(panel.listing) == 2 and panel.listing[0] == HEADER
    assert panel.listing[1].startswith(" ") and panel.listing[1].endswith(text)
    assert capfd.readouterr().out.splitlines() == panel.listing


def test_input_outside_the_grid_that_is_not_used_is_accepted(panel):
    h = panel.h
    h.elmstf[2:] = 0          # strips beyond my - 1 = 2 do not exist
    h.matabd[:, 1] = np.nan   # data set 2 is used by no strip
    h.pvar[12:, :] = np.inf   # nodes beyond mx * my = 12
    _zeft.f07ina.a = np.r_[np.full(3, 10.0), np.zeros(27)].astype(np.float32)
    assert panel.run() == 0


def test_all_findings_are_reported_before_refusing(panel):
    _set(_zeft.f07ina, "b", 1, 0.0)
    panel.h.elmstf[0] = 5
    _zeft.man.neigit = 0
    assert panel.run() == 12
    assert len(panel.listing) == 6 and panel.listing[::2] == [HEADER] * 3
