"""Buckling loads against classical plate and shell results: simply supported and clamped plates
under uniaxial and biaxial compression and shear, specially orthotropic plates, fixed and
variable load parts, curved panels (shallow-shell theory, where the in-plane freedoms are
condensed out), a stiff stringer acting as a nodal line, the mode shape, and the rate of
convergence of the Hermite cubic Ritz approximation under grid refinement.

Positive membrane forces are compressive: lambda times the variable forces plus the fixed
forces is the state at which the panel buckles."""
import numpy as np
import pytest

from conftest import callzeft_args, isotropic
from test_buckling import Panel, Results

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


def test_mode_shape_of_a_long_plate(folder):
    """a/b = 2 buckles in two square half-waves: W = sin(2 pi x / a) sin(pi y / b)."""
    pn = Panel(mx=13, my=7, length=200.0, width=100.0, ku=(1,), neigit=6, neigrq=2)
    w = pn.w_values(1)
    x, y = np.linspace(0.0, 200.0, 13), np.linspace(0.0, 100.0, 7)
    ref = np.outer(np.sin(np.pi * y / 100.0), np.sin(2 * np.pi * x / 200.0))
    assert abs((w * ref).sum()) / (np.linalg.norm(w) * np.linalg.norm(ref)) > 1 - 1e-6


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


@pytest.mark.parametrize("loads, k", [((1.0, 0.0), 4.0), ((1.0, 1.0), 2.0)])
def test_panel_front_end_on_an_unstiffened_plate(folder, loads, k):
    """callzeft with the unstiffened layout (preset 19: 18 strips across the width), frames
    pitch = width, 18 elements along it: the square plate's buckling load, the forces at it
    and the eigenvector of the W freedoms come back in the caller's arrays."""
    import _zeft
    args = callzeft_args(19, filenamep="FRONT", matabdf=np.asfortranarray(np.c_[isotropic(T), isotropic(T)]),
                         steifxf=np.zeros(4), framepitch=180.0, stringerpitch=180.0, stypep=4, sfootwdth=0.0,
                         loadvxp=loads[0], loadvyp=loads[1], neigit=6, neigrq=2, ku=[1, 0, 0, 0, 0], istx=[],
                         elmstf=np.ones(18), bndy0=[0, 1], bndyl=[0, 1], bndx0=[0, 1], bndxl=[0, 1],
                         anzelzwframes=18, anzelzwstr=1)
    _zeft.prtnds19.callzeft(**args)
    elam, forces, displ, neigrq = args["elamp"], args["membraneforcesp"], args["displ"], 2
    assert elam[0] == pytest.approx(k * euler(180.0), rel=1e-4)
    lam1 = np.float32(elam[0])
    assert forces[:3] == pytest.approx([lam1 * np.float32(loads[0]), 0.0, lam1 * np.float32(loads[1])], rel=1e-7)
    ix = int(_zeft.man.ix)
    assert np.count_nonzero(displ[:ix]) > ix // 2
    assert (displ.reshape((1444, neigrq), order="F") == Results(19).x[:1444, :neigrq]).all()
