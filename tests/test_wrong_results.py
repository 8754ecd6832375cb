"""Inputs that once gave a plausible but wrong answer: full stiffener lists, the stiffener
forces of the listing and the result arrays, hat stringers in the global check, dead analysis
paths, scalar write-back, a plot grid of one interval and beam data with negative energy."""
import numpy as np
import pytest

import _zeft
import zeft
from conftest import callzeft_args, compliance, isotropic

E, NU, T = 70000.0, 0.3, 1.0


def callzeft(n, lines, **changes):
    """A square plate 180 x 180 with a stringer on every y-line in `lines` and a frame on every
    x-line in `lines`, one element between neighbouring lines; the module of preset n."""
    args = callzeft_args(n, **{**dict(
        filenamep="FULL", titp="FULL LISTS", matabdf=np.asfortranarray(np.c_[isotropic(T), isotropic(T)]),
        steifxf=[0.0, 0.0, 1.0e6, 0.0], steifyf=[0.0, 0.0, 1.0e6, 0.0], framepitch=10.0, stringerpitch=10.0, stypep=3,
        sfootwdth=0.0, loadvxp=1.0, neigit=6, neigrq=2, mempri=0, istx=lines, isty=lines, elmstf=[1] * (len(lines) + 1),
        anzelzwframes=1, anzelzwstr=1), **changes})
    getattr(_zeft, f"prtnds{n}").callzeft(**args)
    return args


def test_a_full_stiffener_list_is_every_stiffener(work_folder, capfd):
    """17 stringers and 17 frames fill both lists of preset 19 (no 0 ends them); preset 21 holds
    the same grid with a 0 after each list. Both must be the same stiffened panel."""
    lines = list(range(2, 19))
    full, spare = callzeft(19, lines), callzeft(21, lines)
    assert "Buckling/Vibration analysis finished" in capfd.readouterr().out
    np.testing.assert_allclose(full["elamp"][:2], spare["elamp"][:2], rtol=1e-9)
    assert full["elamp"][0] > 5 * 7.8  # the bare plate: k = 4 gives 7.8


def stiffener_panel(**changes):
    """Open stringer on y-line 4 between its two foot strips (3 and 4), a frame on x-line 4,
    a skin of 1 and a foot strip of 3 (the foot three times as stiff), Nx = 1 and Ny = 0.5:
    the node of the stringer carries the foot's loads, the last y-line the skin's."""
    args = dict(elmstf=np.array([1, 1, 2, 2, 1, 1] + [0] * 24, np.int32),
                matabdf=np.asfortranarray(np.c_[isotropic(T), isotropic(3.0)]),
                stypep=1, stringerpitch=60.0, sfootwdth=20.0, anzelzwstr=2, anzelzwframes=3,
                framepitch=60.0, loadvyp=0.5, mempri=1, steifxf=[2.0e5, 0.0, 1.0e7, 0.0],
                steifyf=[3.0e5, 0.0, 1.0e7, 0.0], ku=[1, 2, 3, 0, 0])
    args.update(changes)
    istx, isty = np.zeros(29, np.int32), np.zeros(29, np.int32)
    istx[0], isty[0] = 4, 4
    return callzeft(31, [], istx=istx, isty=isty, **args)


def membrane_strain(t, n):
    """Strains (eps_x, eps_y, gamma_xy) of an isotropic skin of thickness t under n = (Nx, Ny, Nxy)."""
    return compliance(isotropic(t)) @ n


def test_stiffener_forces_are_those_of_the_geometric_stiffness(work_folder):
    """With Ny present the foot's compliance and loads give the stringer another strain than
    the skin's: the listed and returned forces are EA times the strain the analysis uses."""
    args = stiffener_panel()
    lam = args["elamp"][0]
    factx = membrane_strain(1.0, [1, 0, 0])[0] / membrane_strain(3.0, [1, 0, 0])[0]  # foot share of Nx
    stringer = 2.0e5 * membrane_strain(3.0, lam * np.array([factx, 0.5, 0.0]))[0]
    frame = 3.0e5 * membrane_strain(1.0, lam * np.array([1.0, 0.5, 0.0]))[1]
    assert abs(stringer - 2.0e5 * membrane_strain(1.0, lam * np.array([1.0, 0.5, 0.0]))[0]) > 0.05 * abs(stringer)
    np.testing.assert_allclose(args["membraneforcesp"][3:5], [stringer, frame], rtol=2e-6)
    listing = (work_folder / "FULL    .out").read_text().splitlines()
    first = listing.index("0FORCES IN STIFENERS AT THE    1 . EIGENVALUE")
    row = next(s for s in listing[first:] if s.startswith("        IY=4"))
    np.testing.assert_allclose([float(v) for v in row[12:].split()], stringer, rtol=2e-6)


def test_package_returns_the_force_of_every_stiffener_node_by_node(work_folder):
    """The example panel (foot twice the skin's thickness) under Nx falling from 100 to 60
    along x with Ny = 50: each stringer node carries the foot's share (r Nx, Ny) on the foot's
    compliance, each frame node the loads and compliance of the strip above it (the last
    y-line the skin's). Forces per stiffener and node against EA times a NumPy strain; the
    result's force per stiffener is the peak along it, and the strength check's applied force
    the largest compression."""
    walls = zeft.StringerWalls(1.6, 1.6, 30.0, 30.0, zeft.Isotropic(1.6, 70000.0, 0.33))
    p = zeft.example_panel(load=zeft.Load(nx=100.0, ny=50.0, nx_at_xl=60.0), eigenvalues=2, crippling=walls)
    r = zeft.analyse(p, work_folder, quiet=True)
    lay = p.layout()
    a_skin, a_foot = (np.linalg.inv(m.matrices()["A"]) for m in (p.skin, p.foot))
    r_x = (1 / a_foot[0, 0]) / (1 / a_skin[0, 0])          # axial stiffness ratio, lateral strain free
    nx = 100.0 - 40.0 * lay.x / lay.x[-1]                   # per x-line
    foot_of = [k == 2 for k in lay.strips] + [False]        # per y-line: the strip above is a foot
    for mode, lam in enumerate(r.load_factors):
        stringers = [[p.stringer.EA * (a_foot @ (lam * np.array([r_x * n, 50.0, 0.0])))[0] for n in nx]
                     for _ in lay.stringer_lines]
        frames = [[p.frame.EA * ((a_foot if foot else a_skin) @ (lam * np.array([r_x * n if foot else n, 50.0, 0.0])))[1]
                   for foot in foot_of] for n in nx[np.array(lay.frame_lines) - 1]]
        np.testing.assert_allclose(r.stringer_forces_along[mode], stringers, rtol=2e-5)
        np.testing.assert_allclose(r.frame_forces_along[mode], frames, rtol=2e-5, atol=1e-3)
        np.testing.assert_allclose(r.stringer_force[mode], np.array(stringers)[:, 0], rtol=2e-5)
        np.testing.assert_allclose(r.frame_force[mode], np.max(frames, axis=1), rtol=2e-5)
    assert r.stringer_force.shape == (2, 2) and r.frame_force.shape == (2, 1)
    np.testing.assert_allclose(r.strength.applied, r.stringer_force[0], rtol=1e-12)


def test_dead_paths_stop_the_run_with_their_cause(work_folder, capfd):
    """A crippling check without a stringer type, and rotations without their stiffness, end
    the run with a message naming the cause instead of zeros or a failed factorisation."""
    internal = _zeft._internal31
    _zeft.antype.cripan, internal.f07dis.stype = 1, 0
    try:
        callzeft(31, [])
    finally:
        _zeft.antype.cripan = 0
    out = capfd.readouterr().out
    assert "NEEDS STRINGER TYPE STYPE = 1 (OPEN) OR 2 (HAT)" in out and "EXECUTION STOPPED" in out
    assert "finished" not in out
    callzeft(31, [], ku=[1, 2, 3, 4, 5])
    out = capfd.readouterr().out
    assert "FUNCTIONS BETA AND GAMMA (KU = 4, 5) NEED THE SKIN STIFFNESS MATSW" in out
    assert "CHOLESKY" not in out and "EXECUTION STOPPED" in out


def test_hat_crippling_stress_is_its_own(work_folder):
    """cripplingo leaves the hat's crippling stress for the global check, the lower of its
    walls' N / t (long strips simply supported on both edges: k = 4 when isotropic), whatever
    an open stringer checked before left there."""
    s, test = _zeft.stringercom, _zeft._internal31.test
    d = E * 1.5 ** 3 / (12 * (1 - NU ** 2))
    s.ddst = np.array([d, NU * d, d, 0.0, 0.0, (1 - NU) / 2 * d], np.float32)
    s.footth, s.footwidth, s.webth, s.webheight, s.chordwidth, s.chordth, s.alpha = 1.5, 20, 1.5, 30, 25, 1.0, 60
    test.stiffx = 1.0e6
    ier = np.zeros(1, np.int32)
    _zeft.zeftutils.cripplingt(ier)
    open_stress = float(test.sigmweb)
    s.webheight = 30.0
    _zeft.zeftutils.cripplingo(ier)
    web, chord = 30.0 / np.cos(np.radians(30.0)), 25.0
    expected = min(4 * np.pi ** 2 * d / web ** 2 / 1.5, 4 * np.pi ** 2 * d / chord ** 2 / 1.0)
    assert ier[0] == 0 and test.sigmweb == pytest.approx(expected, rel=1e-5) != open_stress


def test_a_single_plot_interval_keeps_a_good_run(work_folder, capfd):
    plot = _zeft.plotin
    plot.npx, plot.npy, plot.isymx, plot.isymy, plot.nmod, plot.mdsplt[0] = 1, 4, 0, 0, 1, 1
    callzeft(31, list(range(2, 5)), indplt=1)
    out = capfd.readouterr().out
    assert "finished" in out and "MODE SHAPES" not in out
    lines = (work_folder / "FULL    MODES.txt").read_text().splitlines()
    assert lines[1].split() == ["1", "4"]


def test_stiffener_bending_about_its_own_centroid_is_refused(tmp_path):
    """EI about the stiffener's own centroid with an eccentricity of 20: EA EI < ES^2, a beam
    with negative energy; it is refused before the run with the axis EI must refer to."""
    own = zeft.Stiffener(EA=7.0e6, ES=7.0e6 * 20.0, EI=1.2e9, GJ=2.0e6)
    with pytest.raises(ValueError, match=r"^stringer\.EI: .*skin's middle surface"):
        zeft.analyse(zeft.example_panel(stringer=own), tmp_path, quiet=True)
    assert not any(tmp_path.iterdir())
    about_skin = zeft.Stiffener(EA=7.0e6, ES=7.0e6 * 20.0, EI=1.2e9 + 7.0e6 * 20.0 ** 2, GJ=2.0e6)
    assert zeft.analyse(zeft.example_panel(stringer=about_skin), tmp_path, quiet=True).certified
