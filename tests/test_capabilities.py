"""Transverse shear deformation, natural frequencies, strength checks and load distributions of
the package, each against an independent reference: closed-form plate results, published
plate frequencies, and double-sine Ritz solutions computed here with NumPy."""
import math

import numpy as np
import pytest

pytest.importorskip("_zeft")
import zeft  # noqa: E402
from conftest import plate  # noqa: E402

E, NU, RHO = 70000.0, 0.3, 2.7e-9


def sine_ritz(a, b, d, terms=12, nx=None, mass=None, stringer=None):
    """Simply supported isotropic plate, w = sum a_mn sin(m pi x/a) sin(n pi y/b).

    Buckling (nx(x, y) given): the load factors of K q = lam G q, G = int Nx w,x^2, by Gauss
    quadrature. Vibration (mass per area given): omega^2 of K q = omega^2 M q, with an optional
    stringer (y position, EI, mass per length) along x. Returns the eigenvalues, smallest
    magnitude first."""
    m, n = np.meshgrid(np.arange(1, terms + 1), np.arange(1, terms + 1), indexing="ij")
    m, n = m.ravel(), n.ravel()
    al, be = m * np.pi / a, n * np.pi / b
    k = np.diag(d * (al ** 2 + be ** 2) ** 2 * a * b / 4)
    same_m = (m[:, None] == m[None, :])
    if nx is not None:
        z, w = np.polynomial.legendre.leggauss(80)
        x, wx = 0.5 * a * (z + 1), 0.5 * a * w
        y, wy = 0.5 * b * (z + 1), 0.5 * b * w
        cx = np.cos(np.outer(al, x))                     # (modes, x)
        sy = np.sin(np.outer(be, y))                     # (modes, y)
        field = nx(x[:, None], y[None, :])               # (x, y)
        g = np.einsum("i,ix,jx,xy,iy,jy,x,y->ij", al, cx, cx, field, sy, sy, wx, wy, optimize=True) * al[None, :]
        mu = np.linalg.eigvals(np.linalg.solve(k, g)).real
        mu = mu[np.abs(mu) > 1e-12 * np.abs(mu).max()]
        return 1.0 / mu[np.argsort(-np.abs(mu))][:4]
    mm = np.eye(len(m)) * mass * a * b / 4
    if stringer is not None:
        ys, ei, ms = stringer
        s = np.sin(be * ys)
        k = k + same_m * ei * al[:, None] ** 4 * a / 2 * np.outer(s, s)
        mm = mm + same_m * ms * a / 2 * np.outer(s, s)
    return np.sort(np.linalg.eigvals(np.linalg.solve(mm, k)).real)


def flex(t):
    return E * t ** 3 / (12 * (1 - NU ** 2))


# ---------------------------------------------------------------- transverse shear deformation

def mindlin_navier(d11, d22, d12, d66, s55, s44, a, b, m_max=6):
    """First-order shear deformation buckling load Nx of a simply supported specially
    orthotropic plate: the Navier mode (m, 1) condensed onto w."""
    best = math.inf
    for m in range(1, m_max):
        al, be = m * math.pi / a, math.pi / b
        s = np.array([[s55 * al ** 2 + s44 * be ** 2, s55 * al, s44 * be],
                      [s55 * al, d11 * al ** 2 + d66 * be ** 2 + s55, (d12 + d66) * al * be],
                      [s44 * be, (d12 + d66) * al * be, d66 * al ** 2 + d22 * be ** 2 + s44]])
        best = min(best, (s[0, 0] - s[0, 1:] @ np.linalg.solve(s[1:, 1:], s[1:, 0])) / al ** 2)
    return best


@pytest.mark.parametrize("ratio, functions", [(5, ("w", "beta", "gamma")), (10, ("w", "u", "v", "beta", "gamma")),
                                              (100, ("w", "beta", "gamma"))])
def test_shear_deformation_of_isotropic_plates(work_folder, ratio, functions):
    """SS plate, b/t = 5 ... 100: N = N_classical / (1 + D k^2 / (5/6 G t)) within 0.5 %."""
    t = 100.0 / ratio
    lam = zeft.analyse(plate(t=t, functions=functions), work_folder, quiet=True).load_factors[0]
    g = E / (2 * (1 + NU))
    d = flex(t)
    expected = mindlin_navier(d, d, NU * d, (1 - NU) / 2 * d, 5 / 6 * g * t, 5 / 6 * g * t, 100.0, 100.0)
    assert lam == pytest.approx(expected, rel=5e-3)


def test_shear_deformation_of_a_cross_ply_plate(work_folder):
    """[0/90]s with G13 = G12 and G23 = 0.4 G12, b/t = 10, against the orthotropic Navier
    solution with A44, A55 summed over the plies and the factor 5/6."""
    e1, e2, nu12, g12, g23 = 135000.0, 9000.0, 0.3, 5000.0, 2000.0
    stack = zeft.PlyStack([2.5] * 4, [0, 90, 90, 0], e1, e2, nu12, g12, G13=g12, G23=g23)
    lam = zeft.analyse(plate(skin=stack, functions=("w", "u", "v", "beta", "gamma"), n=10), work_folder,
                       quiet=True).load_factors[0]
    d = stack.matrices()["D"]
    s55 = 5 / 6 * 10.0 * g12 / 2 + 5 / 6 * 10.0 * g23 / 2       # 0 plies: G13, 90 plies: G23
    s44 = 5 / 6 * 10.0 * g23 / 2 + 5 / 6 * 10.0 * g12 / 2
    expected = mindlin_navier(d[0, 0], d[1, 1], d[0, 1], d[2, 2], s55, s44, 100.0, 100.0)
    assert lam == pytest.approx(expected, rel=5e-3)


# ---------------------------------------------------------------- natural frequencies

def test_frequencies_of_a_stiffened_panel(work_folder):
    """Two bays with a stringer (bending stiffness and mass per length only) on the middle
    line, against the double-sine Ritz solution of the same panel (0.2 %); skin mass per area."""
    ei, ms = 2.0e8, 2.0e-7
    panel = plate(a=300.0, b=100.0, n=10, stringers=1, foot_width=10.0, elements_between_stringers=4,
                  stringer=zeft.Stiffener(EI=ei), functions=("w", "u", "v"), eigenvalues=3,
                  skin=zeft.Isotropic(1.0, E, NU), skin_mass=RHO * 1.0, stringer_mass=ms, stringer_pitch=100.0)
    r = zeft.frequencies(panel, work_folder, quiet=True)
    width = panel.width
    omega2 = sine_ritz(300.0, width, flex(1.0), terms=14, mass=RHO, stringer=(width / 2, ei, ms))
    np.testing.assert_allclose(r.eigenvalues, omega2[:3], rtol=2e-3)


def test_frequency_falls_with_the_load(work_folder):
    """Square SS plate: buckling and vibration share the (1, 1) mode, so omega^2 falls in
    proportion to the load, omega^2(f) = omega^2(0) (1 - f / lambda_cr)."""
    p = plate(eigenvalues=1, iteration_vectors=6)
    lam = zeft.analyse(p, work_folder, quiet=True).load_factors[0]
    free = zeft.frequencies(p, work_folder, quiet=True).eigenvalues[0]
    loaded = zeft.frequencies(p, work_folder, quiet=True, load_factor=0.6 * lam).eigenvalues[0]
    assert loaded / free == pytest.approx(0.4, rel=1e-3)


def test_frequencies_need_a_mass(work_folder):
    with pytest.raises(ValueError, match="skin_mass"):
        zeft.frequencies(plate(skin=zeft.Isotropic(1.0, E, NU)), work_folder, quiet=True)


# ---------------------------------------------------------------- strength checks

def test_strength_checks_of_open_stringers(work_folder):
    """Applied force EA lam Nx/(E t) for a uniform load on an isotropic skin (NU = 0.33: the
    strain of the skin is Nx/(E t)); web crippling E t^3/(2(1 + nu) h) on the web's share of
    the area; RF with knock-down and safety factor."""
    t, h, nu = 1.6, 30.0, 0.33
    walls = zeft.StringerWalls(foot_thickness=t, web_thickness=t, foot_width=30.0, web_height=h,
                               walls=zeft.Isotropic(t, E, nu))
    p = zeft.example_panel(eigenvalues=1, iteration_vectors=4, crippling=walls, knock_down=0.9, safety_factor=1.5)
    r = zeft.analyse(p, work_folder, quiet=True)
    s = r.strength
    applied = p.stringer.EA * r.load_factors[0] * p.load.nx / (E * t)
    np.testing.assert_allclose(s.applied, [applied] * 2, rtol=1e-5)
    allow = E * t ** 3 / (2 * (1 + nu) * h) * (30.0 * t + h * t) / (h * t)
    np.testing.assert_allclose(s.crippling, allow, rtol=1e-4)
    np.testing.assert_allclose(s.rf_crippling, 0.9 * allow / (1.5 * applied), rtol=1e-4)
    assert np.all(s.global_buckling > 0) and "GLOBAL BUCKLING LOAD:" in r.listing
    assert "RF crip." in r.table() and f"{s.rf_global[0]:.4g}" in r.table()


def test_global_allowable_of_deep_webs_and_hats(work_folder):
    """A 25 mm web makes a slender column (1000 mm long) below the skin bay's own buckling
    stress: the panel's global load is the Euler load pi^2 E I / L^2 of stringer and whole
    skin bay, times the bays across the panel (the Johnson parabola alone gave no load). A hat
    gets its global allowable too."""
    t, h, pitch = 1.6, 25.0, 150.0
    walls = zeft.StringerWalls(foot_thickness=t, web_thickness=t, foot_width=30.0, web_height=h,
                               walls=zeft.Isotropic(t, E, 0.33))
    p = zeft.example_panel(eigenvalues=1, iteration_vectors=4, crippling=walls)
    s = zeft.analyse(p, work_folder, quiet=True).strength
    parts = [(pitch * t, t / 2, pitch * t ** 3 / 12), (30.0 * t, 1.5 * t, 30.0 * t ** 3 / 12),
             (h * t, 2 * t + h / 2, t * h ** 3 / 12)]                 # (area, height, own I)
    area = sum(a for a, _, _ in parts)
    cg = sum(a * z for a, z, _ in parts) / area
    inertia = sum(a * (z - cg) ** 2 + i for a, z, i in parts)
    lay = p.layout()
    euler = math.pi ** 2 * E * inertia / lay.a.sum() ** 2 * lay.b.sum() / pitch
    assert s.global_load == pytest.approx(euler, rel=1e-4)
    hat = zeft.StringerWalls(foot_thickness=t, web_thickness=t, foot_width=15.0, web_height=30.0,
                             walls=zeft.Isotropic(t, E, 0.33), chord_width=20.0, chord_thickness=t)
    s = zeft.analyse(p.replace(crippling=hat, stringer_kind="hat", foot_width=15.0, chord_width=20.0,
                               hat_height=30.0, web_angle=60.0, stringer_pitch=250.0, elements_below_hat=3),
                     work_folder, quiet=True).strength
    assert np.all(np.isfinite(s.rf_global)) and np.all(s.global_buckling > 0)


# ---------------------------------------------------------------- load distributions

@pytest.mark.parametrize("ratio, at_yl, k", [(2 / 3, -1.0, 23.9), (1.0, 0.0, 7.8)])
def test_plate_under_in_plane_bending(work_folder, ratio, at_yl, k):
    """Nx = N0 (1 - alpha y/b): pure bending (alpha = 2) at a/b = 2/3 and triangular
    compression (alpha = 1) at a/b = 1, against the double-sine Ritz solution (0.1 %) and the
    classical buckling coefficients (1 %)."""
    p = plate(a=100.0 * ratio, n=12, load=zeft.Load(nx=1.0, nx_at_yl=at_yl), eigenvalues=2,
              elements_between_stringers=16)
    lam = abs(zeft.analyse(p, work_folder, quiet=True).load_factors[0])
    ritz = sine_ritz(100.0 * ratio, 100.0, flex(1.0), terms=14, nx=lambda x, y: 1.0 + (at_yl - 1.0) * y / 100.0)
    assert lam == pytest.approx(np.abs(ritz).min(), rel=1e-3)
    assert lam / (math.pi ** 2 * flex(1.0) / 100.0 ** 2) == pytest.approx(k, rel=1e-2)


def test_load_field_per_node_matches_the_linear_load(work_folder):
    """A load varying along both edges given as a node array (y-lines, x-lines) gives the load
    factors of the same load given by its corner values, and both agree with Ritz (0.1 %)."""
    linear = zeft.Load(nx=1.0, nx_at_yl=0.5, nx_at_xl=0.2)
    p = plate(a=150.0, n=10, load=linear, eigenvalues=2)
    lay = p.layout()
    field = zeft.Load(nx=1.0, nx_at_yl=0.5, nx_at_xl=0.2).on_grid(lay.x, lay.y)[0]
    lam = zeft.analyse(p, work_folder, quiet=True).load_factors
    lam_field = zeft.analyse(p.replace(load=zeft.LoadField(nx=field)), work_folder, quiet=True).load_factors
    np.testing.assert_array_equal(lam, lam_field)
    ritz = sine_ritz(150.0, 100.0, flex(1.0), terms=12, nx=lambda x, y: 1.0 - 0.5 * y / 100.0 - 0.8 * x / 150.0)
    assert lam[0] == pytest.approx(ritz[ritz > 0].min(), rel=1e-3)
    with pytest.raises(ValueError, match=r"load.nx: expected an array of shape \(11, 11\)"):
        p.replace(load=zeft.LoadField(nx=field.T[:, :5])).validate()

