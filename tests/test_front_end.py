"""Panel front end callzeft: subdivision lengths in x and y for every stringer kind, the
stiffener tables, the membrane forces of every node (foot-strip scaling, the edge node, the
spreading along x), the result arrays, independence of successive runs, and the refusal of
inputs that would divide by zero or overflow the grid."""
import math
import re

import numpy as np
import pytest

from conftest import N_PLATE, Hidden, callzeft_args, isotropic

_zeft = pytest.importorskip("_zeft")
E, T = 70000.0, 2.0
panel = callzeft_args


def grid(n):
    """Subdivision lengths a, b of record f07ina as the module of preset n lays them out."""
    ina = getattr(_zeft, f"_internal{n}").f07ina
    return ina.a, ina.b


def run(n=31, **changes):
    args = panel(n, **changes)
    getattr(_zeft, f"prtnds{n}").callzeft(**args)
    return args


# ----------------------------------------------------------------------------- layout in y

W120 = 2 * 30.0 / math.tan(math.radians(30.0)) + 20.0    # hat width at alpha = 120

@pytest.mark.parametrize("changes, widths", [
    # open stringer, a half foot on each side of the web
    (dict(stypep=1, elmstf=[1, 1, 2, 2, 2, 2, 1, 1], stringerpitch=200.0, sfootwdth=40.0,
          anzelzwstr=4, anzelprohalbfoot=2), [40, 40, 10, 10, 10, 10, 40, 40]),
    # stringer type 3: the whole foot width per element count
    (dict(stypep=3, elmstf=[1, 1, 2, 2, 2, 2, 1, 1], stringerpitch=200.0, sfootwdth=40.0,
          anzelzwstr=4, anzelprohalbfoot=2), [40, 40, 20, 20, 20, 20, 40, 40]),
    # hat at alpha = 90: W = 2 height + chord = 80; between hats (300 - 80 - 2*15)/2, under 80/2
    (dict(stypep=2, elmstf=[1, 1, 2, 2, 1, 1, 2, 2, 1, 1], stringerpitch=300.0, sfootwdth=15.0,
          chordwdth=20.0, height=30.0, alpha=90.0, anzelzwstr=2, anzelprohalbfoot=2, anzelbelowstr=2,
          istx=[]), [95, 95, 7.5, 7.5, 40, 40, 7.5, 7.5, 95, 95]),
    # hat at alpha = 120: the webs lean, W = 2 height / tan(30 deg) + chord
    (dict(stypep=2, elmstf=[1, 2, 1, 1, 1, 2, 1], stringerpitch=300.0, sfootwdth=15.0,
          chordwdth=20.0, height=30.0, alpha=120.0, anzelzwstr=1, anzelprohalbfoot=1, anzelbelowstr=3,
          istx=[]), [300 - W120 - 30, 15, W120 / 3, W120 / 3, W120 / 3, 15, 300 - W120 - 30]),
])
def test_strip_widths_of_the_stringer_kinds(folder, changes, widths):
    run(neigrq=1, **changes)
    b = _zeft.f07ina.b
    np.testing.assert_allclose(b[: len(widths)], widths, rtol=2e-6)
    assert not b[len(widths):].any()
    assert _zeft.f07ina.my == len(widths) + 1


@pytest.mark.parametrize("n", [31, 19, 21, 25])
def test_unstiffened_layout_spans_the_preset(folder, n):
    run(n, stypep=4, stringerpitch=150.0, framepitch=500.0, anzelzwframes=10, isty=[3, 7], neigrq=1,
        elmstf=[1] * (n - 1))
    a, b = grid(n)
    assert np.array_equal(b, np.full(n - 1, np.float32(150.0) / np.float32(n - 1)))
    assert np.all(a[:10] == np.float32(50.0)) and not a[10:].any()
    assert _zeft.f07ina.my == n and _zeft.f07ina.mx == 11      # frames do not shape x either
    h = Hidden(n)
    assert not h.steifx.any() and not h.steify.any()
    assert np.all(h.pvar[: 11 * n, 0] == np.float32(N_PLATE)) and not h.pvar[11 * n:].any()


# ----------------------------------------------------------------------------- layout in x

def test_subdivisions_in_x_and_frame_stiffness(folder):
    """Frames on x-lines 3, 7, 11 of bays 400 long, four subdivisions each: 4*2 + 2*3 - 2 = 12."""
    run(neigrq=1, steifyf=[1.0, 2.0, 3.0, 4.0], framepitch=400.0, anzelzwframes=4, isty=[3, 7, 11])
    a = _zeft.f07ina.a
    assert np.all(a[:12] == np.float32(100.0)) and not a[12:].any() and _zeft.f07ina.mx == 13
    h = Hidden(31)
    assert np.all(h.steify[:, :3] == [[1.0], [2.0], [3.0], [4.0]]) and not h.steify[:, 3:].any()
    assert np.all(h.steifx[:, 0] == [0.0, 0.0, 1.0e9, 0.0]) and not h.steifx[:, 1:].any()


# ----------------------------------------------------------------------------- loads

def test_loads_of_skin_and_foot_strips_spread_along_x(folder):
    """Set 2 twice as thick: A11 - A12^2/A22 and A66 double, so the foot strips carry twice
    the x and shear loads; y loads are not scaled. The edge node (last y-line) and every node
    beyond x-line 1 take the loads of their y-line."""
    matabd = np.zeros((18, 2), np.float32, order="F")
    matabd[:, 0], matabd[:, 1] = isotropic(2.0), isotropic(4.0)
    elmstf = [1, 1, 2, 2, 1, 1, 2, 2]                       # the last strip is a foot strip
    loads = dict(loadvxp=10.0, loadvyp=5.0, loadvxyp=3.0, fnxp=-1.0, fnxyp=2.0, fnyp=4.0)
    run(neigrq=1, matabdf=matabd, elmstf=elmstf, istx=[3, 7], **loads)
    mx, my = _zeft.f07ina.mx, _zeft.f07ina.my
    assert (mx, my) == (7, 9)
    plain_var, plain_fix = [10.0, 3.0, 5.0], [-1.0, 2.0, 4.0]        # columns Nx, Nxy, Ny
    foot_var, foot_fix = [20.0, 6.0, 5.0], [-2.0, 4.0, 4.0]
    h = Hidden(31)
    for node in range(1, mx * my + 1):
        j = (node - 1) % my + 1
        foot = j < my and elmstf[j - 1] == 2
        np.testing.assert_allclose(h.pvar[node - 1], foot_var if foot else plain_var, rtol=1e-6)
        np.testing.assert_allclose(h.pfest[node - 1], foot_fix if foot else plain_fix, rtol=1e-6)
    assert not h.pvar[mx * my:].any() and not h.pfest[mx * my:].any()


# ----------------------------------------------------------------------------- results

def test_result_arrays_follow_the_requested_count(folder):
    args = run(neigrq=3, steifxf=[1.0e6, 0.0, 1.0e9, 0.0])
    lam, forces, displ = args["elamp"], args["membraneforcesp"], args["displ"]
    assert lam[0] == pytest.approx(4.0, rel=2e-3) and lam[0] < lam[1] < lam[2]   # k = 4 at a/b = 2
    assert displ.size == 3 * 3844 and not forces[15:].any()
    per_mode = forces[:15].reshape(3, 5)
    # Nx at the edge is the nominal load times the load factor; the stringer shortens with the
    # skin, strain Nx / (E t) (aij(1,1) of an isotropic skin); no shear, no y load, no frame.
    nx = lam[:3] * np.float32(N_PLATE)
    np.testing.assert_allclose(per_mode[:, 0], nx, rtol=1e-6)
    np.testing.assert_allclose(per_mode[:, 3], nx * 1.0e6 / (E * T), rtol=1e-5)
    assert not per_mode[:, [1, 2, 4]].any()
    # One column of p_nx per mode, the vector record's; the mode's ix W freedoms lead it.
    assert (displ.reshape((3844, 3), order="F") == _zeft._internal31.vectrs.x[:3844, :3]).all()
    ix = int(_zeft.man.ix)
    vectors = displ.reshape(3, 3844)[:, :ix]
    assert np.all(np.abs(vectors).max(axis=1) > 0)
    assert not np.allclose(vectors[0], vectors[1]) and not np.allclose(vectors[1], vectors[2])


def test_a_failed_run_returns_no_eigenvalues(folder, capfd):
    """Results are cleared before the run; the W vectors still come from the vector record,
    which the failed run did not reach."""
    first = run(neigrq=2)
    before = first["displ"].copy()
    # A strip that is not present inside the grid: the input check refuses the run.
    second = run(neigrq=2, elmstf=[1, 1, 1, 0, 2, 2, 1, 1, 1, 1], elamp=np.full(55, 7.0),
                 membraneforcesp=np.full(275, 7.0))
    assert "ERROR REPORT FROM SUBROUTINE BUVI" in capfd.readouterr().out
    assert not second["elamp"].any() and not second["membraneforcesp"].any()
    np.testing.assert_array_equal(second["displ"], before)


# ----------------------------------------------------------------------------- refusals

@pytest.mark.parametrize("changes, reason", [
    (dict(anzelzwframes=0), "anzelzwframes = 0"),
    (dict(stypep=2, alpha=90.0, height=10.0, elmstf=[1, 2, 1, 2, 1], anzelbelowstr=0), "anzelbelowstr = 0"),
    (dict(stypep=2, alpha=180.0, height=10.0, elmstf=[1, 2, 1, 2, 1]), "element strip 1 "),   # tan(0) = 0
    (dict(matabdf=np.zeros((18, 2), np.float32)), "matabdf(3,1) and matabdf(3,2)"),
    (dict(matabdf=np.asfortranarray(np.c_[np.r_[1.0, 1.0, 1.0, np.zeros(15)], isotropic(2.0)])),
     "A11 - A12**2/A22 = 0"),
    (dict(matabdf=np.asfortranarray(np.c_[np.r_[isotropic(2.0)[:5], 0.0, isotropic(2.0)[6:]], isotropic(2.0)])),
     "matabdf(6,1)"),
    (dict(matabdf=np.asfortranarray(np.c_[np.r_[1e-38, 0.0, 1.0, 0.0, 0.0, 1.0, np.zeros(12)], isotropic(2.0)])),
     "overflow"),
    (dict(stringerpitch=np.nan), "stringerpitch"),
    (dict(isty=[3, 7, 11], anzelzwframes=14), "gives 32 subdivisions in x"),
    (dict(isty=[1], anzelzwframes=14), "gives 0 subdivisions in x"),
    (dict(neigrq=51, displ=np.zeros(51 * 3844)), "neigrq = 51"),
    (dict(neigit=1), "neigit = 1"),
    (dict(rxp=np.nan), "rxp is not a number"),
    (dict(steifxf=[0, 0, np.nan, 0]), "steifxf holds a stiffness that is not finite (entry 3 = nan"),
])
def test_refused_before_anything_is_written(folder, changes, reason):
    _zeft.f07ina.b = np.full(30, 3.0, np.float32)
    args = panel(elamp=np.full(55, 7.0), **changes)
    with pytest.raises(_zeft.error, match=re.escape(reason)):
        _zeft.prtnds31.callzeft(**args)
    assert np.all(args["elamp"] == 7.0) and np.all(_zeft.f07ina.b == 3.0)
    assert not list(folder.iterdir())


@pytest.mark.parametrize("changes", [
    # unstiffened: neither the foot ratios nor the strip counts are used
    dict(stypep=0, anzelzwstr=0, anzelprohalbfoot=0, anzelbelowstr=0, elmstf=[1] * 30, istx=[],
         ku=[1, 0, 0, 0, 0], bndx0=[0, 1, 0, 0, 0, 0, 0], bndy0=[0, 1, 0, 0, 0, 0, 0],
         matabdf=np.asfortranarray(np.c_[isotropic(2.0), np.zeros(18)])),
    # stringer without foot strips: set 2 and the foot count are not used
    dict(elmstf=[1] * 8, anzelprohalbfoot=0, istx=[5],
         matabdf=np.asfortranarray(np.c_[isotropic(2.0), np.zeros(18)])),
])
def test_counts_and_sets_that_are_not_used_are_not_checked(folder, changes):
    run(neigrq=1, **changes)
    assert _zeft.f07ina.my > 1
