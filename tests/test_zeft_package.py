"""The friendly layer `zeft`: the command line against direct callzeft calls, validation of
panel descriptions before anything is written, the grid layout against the front end's,
nodal mode values and mode shapes against closed forms and the mode-shape file, the state a
run must not inherit, failed runs, crippling forces, the laminate coupling sign, the sign of
the loads, and plotting."""
import math
import tempfile
from pathlib import Path

import numpy as np
import pytest

_zeft = pytest.importorskip("_zeft")
pytestmark = pytest.mark.no_sanitize("the package layer; the front end tests run its routines")
import zeft  # noqa: E402
from conftest import callzeft_args, isotropic  # noqa: E402
from conftest import plate as shared_plate  # noqa: E402
from zeft.__main__ import main  # noqa: E402

E, NU = 70000.0, 0.33


def direct_example(preset):
    """The built-in panel through callzeft, every argument written out."""
    matabd = np.asfortranarray(np.c_[isotropic(1.6, E, NU), isotropic(3.2, E, NU)])
    args = callzeft_args(
        preset, filenamep="STIFFPNL", titp="direct", matabdf=matabd, steifxf=[7.0e6, 0.0, 1.2e9, 2.0e6],
        steifyf=[1.4e7, 0.0, 6.0e9, 8.0e6], framepitch=500.0, stringerpitch=150.0, sfootwdth=30.0,
        loadvxp=100.0, neigit=10, neigrq=4, ku=(1, 2, 3), istx=[6, 12], isty=[7],
        elmstf=[1, 1, 1, 1, 2, 2, 1, 1, 1, 1, 2, 2, 1, 1, 1, 1])
    getattr(_zeft, f"prtnds{preset}").callzeft(**args)
    return args["elamp"][:4], args["membraneforcesp"][:20].reshape(4, 5)


def printed_table(text):
    lines = text.splitlines()
    head = next(i for i, line in enumerate(lines) if line.split()[:3] == ["mode", "load", "factor"])
    rows = []
    for line in lines[head + 1:]:
        if not line.strip():
            break
        rows.append([float(v) for v in line.split()])
    return np.array(rows)


def plate(**changes):
    """The plate of conftest, 200 x 100 on 12 x 6 elements."""
    return shared_plate(a=200.0, **{"elements_between_frames": 12, "elements_between_stringers": 6, **changes})


# ----------------------------------------------------------------------------- command line

def test_example_command_matches_the_direct_call(folder, capsys):
    assert main(["example", "--quiet"]) == 0
    table = printed_table(capsys.readouterr().out)
    preset = zeft.example_panel().choose_preset()
    elam, forces = direct_example(preset)
    np.testing.assert_allclose(table[:, 1], elam, rtol=2e-6)
    np.testing.assert_allclose(table[:, [2, 3, 4, 5, 6]], forces[:, [0, 1, 2, 3, 4]], rtol=2e-6, atol=1e-9)
    written = {p.name for p in folder.iterdir()}
    assert {"STIFFPNL.out", "STIFFPNLMODES.txt"} <= written
    assert sorted(zeft.read_mode_file(folder / "STIFFPNLMODES.txt").modes) == [1, 2, 3, 4]


def test_the_commented_example_file_describes_a_valid_panel():
    panel = zeft.load_panel(Path(__file__).parent.parent / "examples" / "panel.toml")
    panel.validate()
    assert isinstance(panel.skin, zeft.PlyStack) and panel.radii[1] == 2000.0 and panel.crippling is not None


# ----------------------------------------------------------------------------- validation

BAD = [
    (dict(skin=zeft.Isotropic(-1.6, E, NU)), "skin.thickness"),
    (dict(skin=zeft.PlyStack([0.2, -0.1], [0, 90], 1.4e5, 9e3, 0.3, 5e3)), r"skin.thicknesses\[1\]"),
    (dict(skin=zeft.PlyStack([0.2, 0.2], [0], 1.4e5, 9e3, 0.3, 5e3)), "skin.angles"),
    (dict(skin=zeft.ABD(A=np.eye(3), D=-np.eye(3))), "skin.D"),
    (dict(elements_between_stringers=0), "elements_between_stringers"),
    (dict(edges={"x0": "hinged", "xl": "free", "y0": "free", "yl": "free"}), "edges.x0"),
    (dict(edges={"x0": "clamped", "xl": "clamped", "y0": "clamped", "yl": "clamped"}), "edges: U is held"),
    (dict(edges=dict.fromkeys(("x0", "xl", "y0", "yl"), "symmetry")), r"edges: .* rigid body in W \(W = const"),
    (dict(edges={"x0": "simply supported + u", "xl": "free", "y0": "free + v", "yl": "free"}),
     r"edges: .* rigid body in W \(W proportional to x.*hold W on"),
    (dict(edges={"x0": "free + u", "xl": "free", "y0": "free + v", "yl": "free"}, radii=(1000.0, None, None)),
     r"edges: .* rigid body in W \(W = const"),        # curved: with the in-plane motion that goes with it
    (dict(load=zeft.Load()), "load"),
    (dict(load=zeft.Load(nx=math.nan)), "load.nx"),
    (dict(name="TOOLONGNAME"), "name"),
    (dict(functions=("w", "beta")), "functions"),
    (dict(functions=("w",)), "functions: stringers and frames"),
    (dict(stringers=0, frames=0, functions=("w",), radii=(None, 800.0, None)), "functions: a curved panel"),
    (dict(iteration_vectors=4), "iteration_vectors"),
    (dict(stringer=zeft.Stiffener(EA=-1.0)), "stringer.EA"),
    (dict(frames=4, elements_between_frames=13), "elements_between_frames"),
    (dict(radii=(None, 0.0, None)), "radii.ry"),
    (dict(foot_width=150.0), "foot_width"),
    (dict(stringer_kind="zed"), "stringer_kind"),
    (dict(preset=19, elements_between_frames=10), "preset"),
    (dict(hat_height="3"), "hat_height: expected a number"),        # typed even where unused
    (dict(fixed_load={"nx": 1e-300}), "fixed_load.nx: .* too small for single precision"),
    (dict(skin=zeft.ABD(np.eye(3), np.eye(3), 2 * np.eye(3))), "skin: the 6x6 stiffness .* not positive definite"),
    (dict(obliqueness=(40.0, -40.0)), "obliqueness: .* within \\+-78.46 degrees"),
    (dict(stringer_kind="angle", crippling=zeft.StringerWalls(1, 1, 20, 20, zeft.Isotropic(1, E, NU))), "crippling"),
]


@pytest.mark.parametrize("changes", [
    dict(edges=dict.fromkeys(("x0", "xl", "y0", "yl"), "symmetry"), radii=(None, 1000.0, None)),  # V = -W y/R held
    dict(edges={"x0": "clamped + u", "xl": "free", "y0": "free + v", "yl": "free"}),               # a cantilever
    dict(edges={"x0": "simply supported + u", "xl": "free", "y0": "simply supported + v", "yl": "free"}),
])
def test_edges_that_stop_every_rigid_motion_pass(changes):
    """Four lines of symmetry on a curved panel, a clamped edge, two supported edges that meet:
    each stops every motion that strains nothing (each runs to positive load factors)."""
    zeft.example_panel(**changes).validate()


@pytest.mark.parametrize("changes, field", BAD)
def test_bad_descriptions_are_refused_before_anything_is_written(tmp_path, monkeypatch, changes, field):
    monkeypatch.setattr(tempfile, "tempdir", str(tmp_path / "tmp"))
    (tmp_path / "tmp").mkdir()
    with pytest.raises(ValueError, match=f"^{field}"):
        zeft.analyse(zeft.example_panel(**changes), tmp_path / "run")
    with pytest.raises(ValueError, match=f"^{field}"):
        zeft.analyse(zeft.example_panel(**changes))
    assert not (tmp_path / "run").exists() and not list((tmp_path / "tmp").iterdir())


# ----------------------------------------------------------------------------- layout

HAT = dict(stringer_kind="hat", foot_width=15.0, chord_width=20.0, hat_height=30.0, web_angle=60.0,
           stringer_pitch=250.0, elements_below_hat=3)


@pytest.mark.parametrize("changes, strips, lines", [
    (dict(), (1,) * 4 + (2, 2) + (1,) * 4 + (2, 2) + (1,) * 4, (6, 12)),
    (dict(stringer_kind="angle", elements_per_foot=2), (1,) * 4 + (2, 2) + (1,) * 4 + (2, 2) + (1,) * 4, (5, 11)),
    (HAT, ((1,) * 4 + (2, 1, 1, 1, 2)) * 2 + (1,) * 4, (7, 16)),
])
def test_layout_is_the_front_ends_grid(folder, changes, strips, lines):
    """The strip kinds and stiffener lines handed to callzeft, and the subdivision lengths the
    Python layer computes for coordinates and plots, equal the front end's records."""
    panel = zeft.example_panel(eigenvalues=1, iteration_vectors=4, preset=31, **changes)
    lay = panel.layout()
    assert lay.strips == strips and lay.stringer_lines == lines and lay.frame_lines == (7,)
    zeft.analyse(panel, folder, quiet=True)
    assert (int(_zeft.f07ina.mx), int(_zeft.f07ina.my)) == (lay.mx, lay.my)
    np.testing.assert_array_equal(_zeft.f07ina.a[: lay.mx - 1], lay.a)
    np.testing.assert_array_equal(_zeft.f07ina.b[: lay.my - 1], lay.b)


# ----------------------------------------------------------------------------- results

def test_nodal_values_are_the_double_sine_mode(folder):
    """Plate 200 x 100: mode 1 is sin(2 pi x/a) sin(pi y/b) at k = 4. The nodal values and the
    three derivatives, mapped through iuoriv and unscaled, follow it. A positive load is
    compression (Nx = +Ncr at buckling); the tension problem has the negated load factors."""
    r = zeft.analyse(plate(), folder / "c", quiet=True)
    d = 70000.0 / (12 * (1 - 0.09))
    assert r.load_factors[0] == pytest.approx(4 * math.pi ** 2 * d / 100.0 ** 2, rel=1e-4)
    assert r.membrane_forces[0, 0] == pytest.approx(r.load_factors[0], rel=1e-6)
    pull = zeft.analyse(plate(load=zeft.Load(nx=-1.0)), folder / "t", quiet=True)
    np.testing.assert_allclose(pull.load_factors, -r.load_factors, rtol=1e-9)
    x, y = np.meshgrid(r.x, r.y)
    p, q = 2 * math.pi / 200.0, math.pi / 100.0
    exact = [np.sin(p * x) * np.sin(q * y), p * np.cos(p * x) * np.sin(q * y),
             q * np.sin(p * x) * np.cos(q * y), p * q * np.cos(p * x) * np.cos(q * y)]
    nodes = r.w_nodes[0]
    c = np.sum(nodes[..., 0] * exact[0]) / np.sum(exact[0] ** 2)
    for kind in range(4):
        np.testing.assert_allclose(nodes[..., kind], c * exact[kind], atol=2e-3 * abs(c) * np.abs(exact[kind]).max())


def test_mode_shapes_agree_with_the_mode_shape_file(folder):
    r = zeft.analyse(zeft.example_panel(), folder, quiet=True)
    f = r.read_mode_file()
    scal = 1.6                          # the equivalent thickness of the first element
    assert not f.contour.any()          # flat panel
    for k in range(1, 5):
        x, y, w = r.mode_shape(k, (f.x.size, f.y.size))
        np.testing.assert_allclose(x, f.x, atol=1e-3)
        np.testing.assert_allclose(w * scal, f.modes[k], atol=1e-3)


def test_an_analysis_does_not_inherit_the_state_of_earlier_runs(folder):
    """W-alone runs keep the library's radii, the plot symmetry codes survive runs without
    symmetry lines and the check flags are the host's: none of it reaches a run of the layer."""
    fresh = zeft.analyse(plate(eigenvalues=3), folder / "fresh", isolate=True)
    zeft.analyse(plate(functions=("w", "u", "v"), radii=(None, 150.0, None), edges={
        "x0": "simply supported + u", "xl": "simply supported", "y0": "simply supported + v",
        "yl": "symmetry"}), folder / "curved", quiet=True)
    assert float(_zeft.f07inb.ry) == 150.0 and int(_zeft.plotin.isymy) == -1
    _zeft.antype.cripan, _zeft.antype.glban = 1, 1
    again = zeft.analyse(plate(eigenvalues=3), folder / "again", quiet=True)
    np.testing.assert_array_equal(again.load_factors, fresh.load_factors)
    assert again.read_mode_file().y[-1] == pytest.approx(100.0)       # no continuation in y


def test_a_failed_run_raises_and_the_next_run_keeps_to_its_folder(folder):
    """A fixed load beyond the buckling load: the stiffness is not positive definite. The failed
    run leaves its listing open in the library; the next run of the same name must not continue it."""
    with pytest.raises(zeft.AnalysisError, match="ERROR IN CHOLESKY DECOMPOSITION") as err:
        zeft.analyse(zeft.example_panel(fixed_load=zeft.Load(nx=500.0), eigenvalues=2), folder / "bad", quiet=True)
    assert err.value.listing == folder / "bad" / "STIFFPNL.out"
    failed = err.value.listing.read_text()
    ok = zeft.analyse(zeft.example_panel(eigenvalues=2), folder / "good", quiet=True)
    assert err.value.listing.read_text() == failed                       # nothing appended
    assert ok.listing.count("BUCKLING LOAD FACTORS AND MODES") == 1 and "COMPUTED EIGENVALUES" in ok.listing
    assert ok.listing_path.parent == folder / "good"


def test_crippling_forces_of_a_hat(folder):
    """Isotropic walls: k = 4; the web's width is its slant length h / cos(alpha/2). (The open
    stringer's web, E t^3 / (2 (1 + nu) h), is checked with the strength checks.)"""
    stringer = zeft.StringerWalls(foot_thickness=1.6, web_thickness=1.6, foot_width=30.0, walls=zeft.Isotropic(1.6, E, NU),
                                  web_height=30.0, chord_width=20.0, chord_thickness=1.6)
    r = zeft.analyse(zeft.example_panel(eigenvalues=1, iteration_vectors=4, crippling=stringer, **HAT), folder, quiet=True)
    d = E * 1.6 ** 3 / (12 * (1 - NU ** 2))
    expected = {"web": 4 * math.pi ** 2 * d * math.cos(math.radians(30.0)) / 30.0, "chord": 4 * math.pi ** 2 * d / 20.0}
    assert r.crippling.keys() == expected.keys()
    for part, force in expected.items():
        assert r.crippling[part] == pytest.approx(force, rel=1e-4)


def test_ply_stack_coupling_is_minus_the_classical_b():
    """Unsymmetric 0/90 stack against classical lamination theory in float64: abdetc's
    coupling is -B, so ABD.from_classical(A, B, D) gives the ply stack's data set."""
    e1, e2, nu12, g12, t = 1.4e5, 9.0e3, 0.3, 5.0e3, 0.5
    d = 1 / (1 - nu12 ** 2 * e2 / e1)
    q0 = np.array([[e1 * d, nu12 * e2 * d, 0], [nu12 * e2 * d, e2 * d, 0], [0, 0, g12]])
    q90 = q0[[1, 0, 2]][:, [1, 0, 2]]
    a = (q0 + q90) * t
    b = (q0 * -t / 2 + q90 * t / 2) * t
    dd = (q0 + q90) * t ** 3 / 3
    stack = zeft.PlyStack([t, t], [0.0, 90.0], e1, e2, nu12, g12)
    m = stack.matrices()
    for got, want in ((m["A"], a), (m["D"], dd), (m["coupling"], -b)):
        np.testing.assert_allclose(got, want, rtol=1e-6, atol=1e-6 * np.abs(want).max())
    data = stack.data_set()
    np.testing.assert_allclose(zeft.ABD.from_classical(a, b, dd).data_set(), data, rtol=1e-6,
                               atol=1e-6 * np.abs(data).max())


# ----------------------------------------------------------------------------- plotting

def test_plot_contour_refuses_values_that_do_not_fit_the_grid(folder):
    pytest.importorskip("matplotlib")
    with pytest.raises(ValueError, match="plot_contour"):
        zeft.plot_contour(np.arange(4.0), np.arange(5.0), np.zeros((3, 3)), folder / "bad.png")
