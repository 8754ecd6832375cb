"""Buckling loads against classical plate and shell results: simply supported and clamped plates
under uniaxial and biaxial compression and shear, specially orthotropic plates, fixed and
variable load parts, curved panels (shallow-shell theory, where the in-plane freedoms are
condensed out), a stiff stringer acting as a nodal line, and the rate of convergence of the
Hermite cubic Ritz approximation under grid refinement.

Positive membrane forces are compressive: lambda times the variable forces plus the fixed
forces is the state at which the panel buckles."""
import numpy as np
import pytest

from conftest import isotropic
from test_buckling import Panel

E, NU, T = 70000.0, 0.3, 1.0
D = E * T ** 3 / (12 * (1 - NU ** 2))


def euler(b):
    """pi^2 D / b^2: the unit of the buckling coefficients k."""
    return np.pi ** 2 * D / b ** 2


def orthotropic(d11, d12, d22, d66):
    skin = isotropic(T)
    skin[12:18] = d11, d12, d22, 0.0, 0.0, d66
    return skin


def simply_supported(a, b, bending, var, fixed=(0.0, 0.0)):
    """Lowest positive load factor of a specially orthotropic plate with all edges simply
    supported under Nx = lambda var[0] + fixed[0], Ny = lambda var[1] + fixed[1]: with
    w = sin(m pi x / a) sin(n pi y / b) exact, D11 al^4 + 2 (D12 + 2 D66) al^2 be^2 + D22 be^4
    = Nx al^2 + Ny be^2 (al = m pi / a, be = n pi / b), minimised over m, n."""
    d11, d12, d22, d66 = bending
    best = np.inf
    for m in range(1, 15):
        for n in range(1, 15):
            al, be = m * np.pi / a, n * np.pi / b
            stiffness = d11 * al ** 4 + 2 * (d12 + 2 * d66) * al ** 2 * be ** 2 + d22 * be ** 4
            load = var[0] * al ** 2 + var[1] * be ** 2
            if load > 0:
                best = min(best, (stiffness - fixed[0] * al ** 2 - fixed[1] * be ** 2) / load)
    return best


def shallow_shell(a, b, rx, ry):
    """Axial buckling load Nx of a simply supported panel by shallow-shell (Donnell) theory:
    D (al^2 + be^2)^2 / al^2 + E t (al^2 / ry + be^2 / rx)^2 / (al^2 (al^2 + be^2)^2), exact for
    edges with W held and the tangential displacement held, the normal one free."""
    best = np.inf
    for m in range(1, 15):
        for n in range(1, 15):
            al, be = m * np.pi / a, n * np.pi / b
            s = al * al + be * be
            best = min(best, D * s * s / al ** 2 + E * T * (al ** 2 / ry + be ** 2 / rx) ** 2 / (al ** 2 * s * s))
    return best


ISO = (D, NU * D, D, (1 - NU) / 2 * D)
ORTHO = (3.0 * D, 0.4 * D, 0.8 * D, 0.45 * D)


@pytest.mark.parametrize("a, b, bending, var, fixed", [
    (100.0, 100.0, ISO, (1.0, 0.0), (0.0, 0.0)),      # k = 4
    (150.0, 100.0, ISO, (1.0, 0.0), (0.0, 0.0)),      # k = 4.34, two half-waves
    (100.0, 100.0, ISO, (1.0, 1.0), (0.0, 0.0)),      # equal biaxial: k = 2
    (200.0, 100.0, ISO, (1.0, 0.5), (0.0, 0.0)),
    (100.0, 100.0, ISO, (1.0, 0.0), (12.0, 0.0)),     # part of the load fixed: lambda = Ncr - 12
    (100.0, 100.0, ISO, (1.0, 0.0), (0.0, -20.0)),    # fixed tension across stabilises
    (140.0, 100.0, ORTHO, (1.0, 0.0), (0.0, 0.0)),
    (100.0, 120.0, ORTHO, (0.3, 1.0), (0.0, 0.0)),
])
def test_simply_supported_plates(folder, a, b, bending, var, fixed):
    my = 9
    mx = int(round((my - 1) * a / b)) + 1   # square subdivisions
    skin = orthotropic(*bending)
    pn = Panel(mx=mx, my=my, length=a, width=b, ku=(1,), skin=skin, load=(var[0], 0.0, var[1]),
               fixed=(fixed[0], 0.0, fixed[1]), neigit=6, neigrq=2)
    exact = simply_supported(a, b, bending, var, fixed)
    lam = pn.res.elam[0]
    assert lam == pytest.approx(exact, rel=5e-4)
    assert lam >= exact * (1 - 1e-6)   # a conforming Ritz approximation bounds from above


@pytest.mark.parametrize("edges, load, k", [
    ("cc", (1.0, 0.0, 0.0), 10.074),   # clamped, uniaxial
    ("ss", (0.0, 1.0, 0.0), 9.3245),   # simply supported, shear
    ("cc", (0.0, 1.0, 0.0), 14.642),   # clamped, shear
])
def test_clamped_and_shear_buckling_of_a_square_plate(folder, edges, load, k):
    pn = Panel(mx=9, my=9, length=100.0, width=100.0, ku=(1,), edges=edges, load=load, neigit=6, neigrq=2)
    lam = pn.res.elam[:2]
    assert abs(lam[0]) == pytest.approx(k * euler(100.0), rel=5e-3)
    if load[1]:   # shear of either sign buckles the plate alike
        assert lam[1] == pytest.approx(-lam[0], rel=1e-6)


@pytest.mark.parametrize("radii", [(1e29, 500.0, 1e29), (1e29, 2000.0, 1e29), (500.0, 1e29, 1e29)])
def test_curved_panels_follow_shallow_shell_theory(folder, radii):
    pn = Panel(mx=9, my=9, length=100.0, width=100.0, ku=(1, 2, 3), radii=radii, neigit=6, neigrq=2)
    assert pn.res.elam[0] == pytest.approx(shallow_shell(100.0, 100.0, radii[0], radii[1]), rel=1e-3)


def test_in_plane_freedoms_leave_a_flat_plate_unchanged(folder):
    lam = [Panel(mx=7, my=5, length=120.0, width=80.0, ku=ku, neigit=6, neigrq=3).res.elam[:3].copy()
           for ku in ((1,), (1, 2, 3))]
    assert np.allclose(lam[0], lam[1], rtol=1e-9)


@pytest.mark.parametrize("ei, k", [(0.0, 4.0), (1.0e8, 16.0), (1.0e10, 16.0)])
def test_stiff_stringer_becomes_a_nodal_line(folder, ei, k):
    """A stringer of negligible area on the centre line: without bending stiffness the plate
    buckles as before; a stiff one holds W on the line, and the square buckles as two panels of
    aspect ratio 2 (k = 16 on the full width)."""
    pn = Panel(mx=9, my=9, length=100.0, width=100.0, ku=(1, 2, 3), stringers=[5], steif=(0.0, 0.0, ei, 0.0),
               neigit=6, neigrq=2)
    assert pn.res.elam[0] == pytest.approx(k * euler(100.0), rel=5e-4)


def test_convergence_under_grid_refinement(folder):
    """Simply supported square, uniaxial: the error falls monotonically, at the fourth power
    of the subdivision length (cubic Hermite), and is below 0.5 % on a 9 x 9 grid."""
    exact = 4.0 * euler(100.0)
    err = {}
    for lines in (3, 5, 9, 17):
        pn = Panel(mx=lines, my=lines, length=100.0, width=100.0, ku=(1,), neigit=6, neigrq=2)
        err[lines] = pn.res.elam[0] / exact - 1
    assert all(e > 0 for e in err.values())
    assert err[3] > err[5] > err[9] > err[17]
    assert err[9] < 5e-3
    assert 12 < err[5] / err[9] < 20 and 12 < err[9] / err[17] < 20
