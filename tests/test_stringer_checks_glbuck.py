"""Global buckling check glbuck: a hand-computed load, the effective-width iteration against a
float64 evaluation of the Johnson-Euler column curve (flat and curved skin bays, open and hat
stringers), the Euler load of a slender column with the whole bay effective, the panel length
and width summed over the grid only, the refusal of inputs that would divide by zero, and the
check at the end of a panel run."""
import math

import numpy as np
import pytest

from conftest import N_PLATE, compliance, isotropic, read, unit9
from conftest import callzeft_args as panel

_zeft = pytest.importorskip("_zeft")
P31 = _zeft.prtnds31
E, NU, T = 70000.0, 0.3, 2.0


# ----------------------------------------------------------------------------- helpers

class Checks:
    """The inputs of glbuck: stringer cross-section, skin thickness and stringer pitch, the
    crippling stress, the membrane compliance, the radius across the stringers and the grid."""

    def __init__(self):
        rec = _zeft._internal31
        self.glbuckcom, self.test, self.aij = rec.glbuckcom, rec.test, rec.f07aij.aij

    def set(self, skinth=T, stpitch=150.0, sigmweb=300.0, ry=1e30, foot=(2.0, 30.0), web=(2.0, 30.0),
            a=(100.0,) * 4, b=(150.0,) * 4, mx=None, my=None, hat=None):
        """``hat`` = (chord thickness, chord width, alpha): a hat whose ``web`` holds the slant
        length of its webs, as the crippling check leaves it."""
        g = self.glbuckcom
        g.skinth, g.stpitch, self.test.sigmweb = skinth, stpitch, sigmweb
        s = _zeft.stringercom
        (s.footth, s.footwidth), (s.webth, s.webheight) = foot, web
        _zeft._internal31.f07dis.stype = 1 if hat is None else 2
        if hat is not None:
            s.chordth, s.chordwidth, s.alpha = hat
        self.aij[:] = compliance(isotropic(T))
        _zeft.f07inb.ry = ry
        _zeft.f07ina.a = np.r_[a, np.zeros(30 - len(a))].astype(np.float32)
        _zeft.f07ina.b = np.r_[b, np.zeros(30 - len(b))].astype(np.float32)
        _zeft.f07ina.mx = len(a) + 1 if mx is None else mx
        _zeft.f07ina.my = len(b) + 1 if my is None else my

    def run(self, fstbug=100.0):
        """Calls glbuck; returns the error code and the listing records."""
        bb = np.zeros((6, 900), np.float32, order="F")
        bb[:, 0] = isotropic(T)[:6]
        ier = np.zeros(1, np.int32)
        P31.glbuck(bb, bb, bb, ier, fstbug)
        return int(ier[0]), unit9()


def load_of(listing, title=" GLOBAL BUCKLING LOAD:"):
    i = listing.index(" " + title)
    assert listing[i - 2:i] == ["", ""] and len(listing[i + 1]) == 20
    return float(listing[i + 1])


def walls_of(t=T, foot=(2.0, 30.0), web=(2.0, 30.0), hat=None):
    """(area, centroid height above the outer face of the skin, own second moment) of each wall:
    foot and web, or for a hat two feet, two inclined webs of slant length s rising
    h = s cos(alpha/2) (a parallelogram of horizontal width t_w / cos(alpha/2)) and the chord."""
    (tf, bf), (tw, hw) = foot, web
    feet = [(tf * bf, t + tf / 2, tf ** 3 * bf / 12)]
    if hat is None:
        return feet + [(tw * hw, t + tf + hw / 2, hw ** 3 * tw / 12)]
    tc, bc, alpha = hat
    rise = hw * math.cos(math.radians(alpha / 2))
    web_wall = (tw * hw, t + tf + rise / 2, tw / math.cos(math.radians(alpha / 2)) * rise ** 3 / 12)
    return 2 * feet + 2 * [web_wall] + [(tc * bc, t + tf + rise + tc / 2, tc ** 3 * bc / 12)]


def column_curve(length, width, ry, sigc, fstbug, t=T, pitch=150.0, **section):
    """Johnson-Euler column with effective skin width (at most the pitch), in double precision."""
    walls = walls_of(t, **section)
    astr = sum(w[0] for w in walls)
    q = 1 - NU * NU
    omega = pitch / math.sqrt(t * ry) * (12 * q) ** 0.25 / math.pi
    kk = 2 * omega ** 2 if omega > 2 else 0.25 * omega ** 4 + 4
    kstar = kk * math.pi ** 2 / (12 * q)
    ex = E                                   # q * A11 / t of an isotropic skin
    weff, prev = 0.0, 0.0
    for npass in range(1, 101):
        parts = walls + [(t * weff, t / 2, t ** 3 * weff / 12)]
        atot = sum(w[0] for w in parts)
        cg = sum(w[0] * w[1] for w in parts) / atot
        ieff = sum(w[0] * (w[1] - cg) ** 2 + w[2] for w in parts)
        lam = length / math.sqrt(ieff / atot)
        euler = math.pi ** 2 * ex / lam ** 2 if lam else math.inf
        sigma = sigc - lam ** 2 * sigc ** 2 / (4 * math.pi ** 2 * ex) if euler >= sigc / 2 else euler
        check = prev / sigma * 100 - 100
        if 0 <= check < 1:
            break
        weff, prev = min(pitch, t * math.sqrt(kstar * ex / sigma)), sigma
    return (sigma * (astr + t * weff) + (pitch - weff) * fstbug) * (width / pitch), npass


@pytest.fixture
def checks():
    _zeft.datran.nwrite = 9
    return Checks()


# ----------------------------------------------------------------------------- values

def test_hand_computed_load_of_a_short_flat_panel(checks):
    """Zero length: sigma stays the crippling stress 300, a fixed point at the second pass.
    Flat skin: kk = 4, k* = 4 pi^2 / (12 (1 - nu^2)) =
    3.61524; Ex = 70000; weff = 2 sqrt(3.61524 * 70000 / 300) = 58.0880;
    Fg = (300 (120 + 2 weff) + (150 - weff) 100) * 600 / 150 = 320176."""
    checks.set(a=(100.0,) * 4, mx=1)
    ier, listing = checks.run(fstbug=100.0)
    weff = 2 * math.sqrt(4 * math.pi ** 2 / (12 * 0.91) * 70000 / 300)
    assert weff == pytest.approx(58.0880, abs=1e-4)
    assert ier == 0
    assert load_of(listing) == pytest.approx((300 * (120 + 2 * weff) + (150 - weff) * 100) * 4, rel=2e-5)


HAT = dict(foot=(2.0, 15.0), web=(1.5, 34.0), hat=(2.0, 25.0, 60.0))


@pytest.mark.parametrize("ry, length, section", [
    (1e30, 400.0, {}),       # flat: omega ~ 0, kk = 4
    (1e30, 600.0, {}),       # longer: the column curve drops well below the crippling stress
    (500.0, 400.0, {}),      # curved: omega = 2.74 > 2, kk = 2 omega^2
    (1e30, 900.0, {}),       # the Euler branch: sigma < sigma_c / 2
    (1e30, 600.0, HAT),      # hat: two feet, two inclined webs, the chord
    (500.0, 1500.0, HAT),
])
def test_iteration_follows_the_column_curve(checks, ry, length, section):
    checks.set(ry=ry, a=(length / 4,) * 4, **section)
    ier, listing = checks.run(fstbug=80.0)
    expected, passes = column_curve(length, 600.0, ry, 300.0, 80.0, **section)
    assert ier == 0 and passes > 2
    assert load_of(listing) == pytest.approx(expected, rel=1e-4)


@pytest.mark.parametrize("section", [dict(web=(2.0, 15.0)), HAT])
def test_slender_column_takes_the_euler_load_of_the_whole_bay(checks, section):
    """Long columns, below the skin bay's own buckling stress: the whole bay is effective and
    the panel carries the Euler load pi^2 E I / L^2 of the stringer with its full skin bay per
    bay. (The Johnson parabola alone gives a negative stress here, and no load.)"""
    length, pitch = 2000.0, 150.0
    walls = walls_of(**section) + [(T * pitch, T / 2, T ** 3 * pitch / 12)]
    area = sum(w[0] for w in walls)
    cg = sum(w[0] * w[1] for w in walls) / area
    inertia = sum(w[0] * (w[1] - cg) ** 2 + w[2] for w in walls)
    assert 300.0 - length ** 2 * area / inertia * 300.0 ** 2 / (4 * math.pi ** 2 * E) < 0
    checks.set(a=(length / 4,) * 4, stpitch=pitch, **section)
    ier, listing = checks.run(fstbug=80.0)
    assert ier == 0
    assert load_of(listing) == pytest.approx(math.pi ** 2 * E * inertia / length ** 2 * 600.0 / pitch, rel=1e-4)


@pytest.mark.parametrize("a, mx, length", [
    ((100.0,) * 30, 5, 400.0),                       # every entry in use: only mx - 1 count
    ((100.0, 100.0, 0.0) + (100.0,) * 27, 31, 200.0),  # a zero entry ends the panel
])
def test_panel_length_is_summed_over_the_grid(checks, a, mx, length):
    checks.set(a=a, mx=mx, b=(150.0,) * 30, my=5)
    ier, listing = checks.run()
    assert ier == 0
    assert load_of(listing) == pytest.approx(column_curve(length, 600.0, 1e30, 300.0, 100.0)[0], rel=1e-4)


@pytest.mark.parametrize("change, reason", [
    (dict(skinth=0.0), "SKIN THICKNESS SKINTH IS NOT POSITIVE"),
    (dict(stpitch=0.0), "STRINGER PITCH STPITCH IS NOT POSITIVE"),
    (dict(ry=0.0), "RADIUS OF CURVATURE RY IS NOT POSITIVE"),
    (dict(sigmweb=0.0), "CRIPPLING STRESS SIGMWEB IS NOT POSITIVE"),
    (dict(foot=(0.0, 0.0), web=(0.0, 30.0)), "STRINGER CROSS-SECTION AREA IS NOT POSITIVE"),
])
def test_inputs_that_would_divide_by_zero_are_refused(checks, change, reason):
    checks.set(**change)
    ier, listing = checks.run()
    assert ier == 12
    assert listing == [" MESSAGE FROM SUBROUTINE GLBUCK:", " " + reason + ", NO GLOBAL BUCKLING LOAD COMPUTED"]


# ----------------------------------------------------------------------------- in a panel run

@pytest.fixture
def global_check(checks):
    _zeft.antype.glban = 1
    return checks


def test_global_check_ends_a_panel_run(global_check, capfd):
    """The two-bay panel, 180 x 180: the skin beside the effective width carries its own
    buckling load, Nx at node 1 at the lowest load factor."""
    global_check.set()
    args = panel()
    P31.callzeft(**args)
    assert "Buckling/Vibration analysis finished" in capfd.readouterr().out
    listing = read("TWOBAY  .out")
    fstbug = args["elamp"][0] * np.float32(N_PLATE)
    assert args["membraneforcesp"][0] == pytest.approx(fstbug, rel=1e-6)
    expected, _ = column_curve(180.0, 180.0, 1e29, 300.0, fstbug)
    assert load_of(listing) == pytest.approx(expected, rel=1e-4)


def test_a_refused_global_check_fails_the_run_after_the_eigenvalues(global_check, capfd):
    global_check.set(sigmweb=0.0)
    args = panel()
    P31.callzeft(**args)
    out = capfd.readouterr().out.splitlines()
    listing = read("TWOBAY  .out")
    assert args["elamp"][0] > 0
    block = [" MESSAGE FROM SUBROUTINE GLBUCK:",
             " CRIPPLING STRESS SIGMWEB IS NOT POSITIVE, NO GLOBAL BUCKLING LOAD COMPUTED",
             " MESSAGE FROM SUBROUTINE BUVI:", " ERROR REPORTED FROM SUBROUTINE     GLBUCK  IER="]
    assert listing[-6:-2] == block
    assert out[-2:] == ["    MAIN PROGRAM:   EXECUTION STOPPED.", " " * 16 + "ERROR REPORT FROM SUBROUTINE BUVI"]
    assert block[3] not in out     # the check's messages go to the listing only
