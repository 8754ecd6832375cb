"""Natural-frequency analysis: frequencies of simply supported and clamped plates through the host's
call sequence, the eigenpairs, the mass scaling and the in-plane vectors against a dense SciPy
solution, the mass matrix against Gauss quadrature, the listing blocks, the recount of the
stiffeners in the vibration echo, and the refusals."""
import re
import sys
from pathlib import Path

import numpy as np
import pytest
import scipy.linalg

from conftest import call, dense, fortran_e, pointers
from test_assembly import PANELS, Oracle, assert_profile
from test_assembly import Panel as GridPanel
from test_buckling import Panel

_zeft = pytest.importorskip("_zeft")
M, REC = _zeft.prtnds31, _zeft._internal31
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
import plate_frequencies as example  # noqa: E402

RHO_H = 2.7e-9


def vibs3():
    return call(M.vibs3, int(_zeft.man.iy), *[np.zeros((6, 1), np.float32)] * 3, 0.0, 0.0, 0.0, 0.0)


def stiffened_panel(dom=RHO_H, **kw):
    """A curved panel with a stringer and a frame after a run without eigen analysis, masses set."""
    pn = Panel(ku=(1, 2, 3), radii=(1e29, 600.0, 1e29), stringers=[2], frames=[3],
               steif=(2.0e6, 3.0e6, 4.0e8, 1.0e6), buck=0, neigit=8, neigrq=4, **kw)
    REC.densit.dom, REC.f07dis.domx[0], REC.f07dis.domy[0] = dom, 8.0e-7, 1.2e-6
    return pn


# ----------------------------------------------------------------------------- physics

@pytest.mark.parametrize("clamped, functions", [(False, (1,)), (False, (1, 2, 3)), (True, (1,))])
def test_plate_frequencies_through_the_host_call_sequence(listing, clamped, functions):
    """9 x 9 grid: simply supported f_mn = (pi/2)((m/a)^2 + (n/b)^2) sqrt(D/rho h), the first three
    within 0.5 % and above (Ritz bound); clamped square: omega a^2 sqrt(rho h / D) = 35.99."""
    plate = dict(example.PLATE, length=400.0) if clamped else example.PLATE
    assert example.analyse(plate, clamped, functions, listing="PLATEVIB.out") == [0, 0, 0]
    _zeft._close_unit(9)
    lam, herz = example.listed_frequencies("PLATEVIB.out")
    np.testing.assert_allclose(lam, REC.valus.elam[:4], rtol=5e-6)
    np.testing.assert_allclose(herz, np.sqrt(lam) / (2 * np.pi), rtol=5e-6)
    if clamped:
        root = np.sqrt(example.bending_stiffness(plate) / (plate["density"] * plate["thickness"]))
        assert 2 * np.pi * herz[0] * 400.0 ** 2 / root == pytest.approx(35.985, rel=5e-3)
    else:
        exact = np.array([f for f, _, _ in example.closed_form(plate, 3)])
        assert np.all(herz[:3] / exact - 1 < 5e-3) and np.all(herz[:3] >= exact * (1 - 1e-6))


# ----------------------------------------------------------------------------- eigenpairs and listing

def test_eigenpairs_scaling_and_listing_equal_a_dense_solution(listing):
    pn = stiffened_panel(x2pri=1)
    assert call(M.vibs2) == 0
    m, lv, ix, iy = REC.matrix, REC.comlv, pn.ix, pn.iy
    A11, Mass = dense(m.a11, lv.lvtri, ix), dense(m.b11, lv.lvb, ix)
    A22, A21 = dense(m.a22, lv.lva22, iy), m.a21[:iy, :ix].copy()
    Z = scipy.linalg.cho_solve(scipy.linalg.cho_factor(A22), A21)
    A = A11 - A21.T @ Z
    lam = scipy.linalg.eigh(A, Mass, eigvals_only=True)[:4]
    assert vibs3() == 0

    pdom = np.abs(Mass).max() / np.abs(A).max()
    assert REC.densit.pdom == pytest.approx(pdom, rel=1e-6)
    assert REC.densit.dom == pytest.approx(RHO_H / REC.densit.pdom, rel=1e-6)
    elam, x = REC.valus.elam[:4], REC.vectrs.x[:ix, :4]
    np.testing.assert_allclose(elam, lam, rtol=1e-8)
    np.testing.assert_allclose(np.einsum("ik,ij,jk->k", x, A, x), 1.0, rtol=1e-8)
    assert np.abs(A @ x - Mass @ x * lam).max() < 1e-6 * np.abs(A @ x).max()

    lines = listing()
    i = lines.index("1 STATISTICS OF INVERSE POWER METHOD:")
    assert re.fullmatch(r" {5}IP= *\d+, JAC = *\d+", lines[i + 2])
    assert re.fullmatch(r" {5}MAXIMUM CONTAMINATION OF HIGHER EIGENVECTORS BY LOWER ONES: EPSILN = "
                        r" 0\.\d{4}D-\d\d", lines[i + 3])
    herz = np.sqrt(elam) / (2 * np.pi)
    assert lines[i + 4:i + 15] == [""] * 3 + ["0 COMPUTED EIGENVALUES :"] + [""] * 3 + [
        f"{'':9}EIGENVALUE{k + 1:3d}:{fortran_e(elam[k], 14, 6, 'D')} ={fortran_e(herz[k], 14, 6, 'D')} HZ"
        for k in range(4)]
    assert lines[i + 15] == "1X-EIGENVECTORS DESCRIBING NORMAL DISPLACEMENT W"
    assert not any("X2-EIGENVECTORS" in s for s in lines)

    # In-plane and rotation freedoms of each mode: -A22^-1 A21 w, five per record.
    starts = [lines.index(f"0 EIGENMODE {k:2d}") for k in range(1, 5)] + [len(lines)]
    for k in range(4):
        listed = " ".join(lines[starts[k] + 1:starts[k + 1]]).replace("D", "E").split()
        np.testing.assert_allclose(np.array(listed, float), -Z @ x[:, k], rtol=1e-7, atol=1e-12)


def test_negative_mass_lists_a_frequency_that_is_not_a_number(listing):
    stiffened_panel(dom=-RHO_H)
    REC.f07dis.domx[0] = REC.f07dis.domy[0] = 0.0
    assert call(M.vibs2) == 0 and vibs3() == 0
    assert (REC.valus.elam[:4] < 0).all()
    records = [s for s in listing() if s.startswith("         EIGENVALUE")]
    assert len(records) == 4 and all(s.endswith(" =           NaN HZ") for s in records)


# ----------------------------------------------------------------------------- refusals

@pytest.mark.parametrize("change, ier, tail", [
    (lambda: REC.matrix.a22.__setitem__(REC.comlv.lva22[0], -1.0), 1,
     ["", " SUBROUTINE VIBS3: CHOLESKY DECOMPOSITION OF MATRIX A22 FAILED. IER=     1"]),
    (lambda: setattr(_zeft.man, "neigrq", int(_zeft.man.neigit)), 2,
     [" SUBROUTINE VIBS3: ERROR ENCOUNTERED IN SUBR. SIMVIT", " IER=   3"]),
    (lambda: REC.matrix.b11.fill(0.0), 3, ["", " MESSAGE FROM SUBROUTINE VIBS3:",
                  " NO SCALE FOR THE MASS MATRIX: LARGEST ENTRY OF M TIMES IX =  0.0000000E+00, OF A11 ="]),
    (lambda: setattr(_zeft.man, "neigit", 60), 4, ["", " MESSAGE FROM SUBROUTINE VIBS3:", " NEIGIT=60 ABOVE 55"]),
])
def test_vibs3_refusals_leave_the_eigenvalues_alone(listing, capfd, change, ier, tail):
    stiffened_panel()
    assert call(M.vibs2) == 0
    change()
    REC.valus.elam[:] = 7.0
    capfd.readouterr()
    assert vibs3() == ier
    got, out = listing(), capfd.readouterr().out.splitlines()
    assert [s[:len(t)] for s, t in zip(got[-len(tail):], tail)] == tail
    assert out[-1][:len(tail[-1])] == tail[-1]
    assert (REC.valus.elam == 7.0).all()


def test_a_panel_without_any_mass_is_refused_by_the_assembly(listing, capfd):
    stiffened_panel(dom=0.0)
    REC.f07dis.domx[0] = REC.f07dis.domy[0] = 0.0
    capfd.readouterr()
    assert call(M.vibs2) == 33
    vibs2_lines = [" SUBROUTINE VIBS2:", " ERREOR ENCOUNTERED WHEN COMPUTING MATRIX B11"]
    assert listing()[-5:] == ["", " MESSAGE FROM SUBROUTINE CMPMMT: ",
                             " MASS MATRIX IS ZERO: NEITHER SKIN NOR STIFFENERS CARRY MASS"] + vibs2_lines
    assert capfd.readouterr().out.splitlines()[-2:] == vibs2_lines


# ----------------------------------------------------------------------------- mass matrix

@pytest.mark.parametrize("config, dom, domx, domy", [
    ("plate, W only", 2.7e-6, (), ()),
    ("flat, W U V, stiffened", 0.0, (0.0,), (6.0e-4,)),     # a massless stringer adds nothing
    ("curved, five functions, suppressed edges", 2.7e-6, (4.0e-4,), ()),
    ("curved, W U V, stiffened, two data sets", 2.7e-6, (4.0e-4, 3.0e-4), (6.0e-4, 0.0)),
])
def test_mass_matrix_equals_the_integrated_masses(listing, config, dom, domx, domy):
    pn = GridPanel(**PANELS[config])
    REC.densit.dom = dom
    REC.f07dis.domx[:len(domx)], REC.f07dis.domy[:len(domy)] = domx, domy
    lv = pointers(pn.ix, pn.ibdx)
    mmt = np.zeros(lv[-1] + pn.ix)
    assert M.cmpmmt(mmt, lv) == 0
    assert_profile(mmt, lv, Oracle(pn).mass(dom, domx, domy))


@pytest.mark.parametrize("change, routine, ier, tail", [
    (lambda: setattr(_zeft.f07ina, "my", 2), "cmpmmt", 3, [" ERROR RETURN FROM KUORKV, I=   3 J=   1", "",
                                             " MESSAGE FROM SUBROUTINE CMPMMT: ",
                                             " ERROR IN SUBROUTINE MMTST. DIRECTION: X"]),
    (lambda: None, "mmtst", 1, ["", " MESSAGE FROM SUBROUTINE MMTST:",
                                " INADMISSIBLE FIRST ARGUMENT, NEITHER 'X' NOR 'Y'"]),
])
def test_mass_failures_return_their_code_with_a_message(listing, change, routine, ier, tail):
    pn = GridPanel(stringers=(3,))
    REC.f07dis.domx[0] = 1.0e-6
    change()
    mmt = np.zeros(REC.comlv.lvb[pn.ix - 1] + pn.ix)
    got = M.cmpmmt(mmt, REC.comlv.lvb[:pn.ix]) if routine == "cmpmmt" else M.mmtst("Z", mmt)
    assert got == ier and listing()[-len(tail):] == tail


def test_stringers_recounted_by_the_echo_are_the_ones_that_carry_mass(listing):
    """Twelve stringers: the vibration echo keeps the first ten, and so does the mass matrix."""
    Panel(mx=4, my=14, stringers=list(range(2, 14)), steif=(2.0e6, 0.0, 4.0e8, 1.0e6), buck=0)
    REC.densit.dom, REC.f07dis.domx[:12] = RHO_H, 1.0e-6
    masses = []
    for step in ("all twelve", "recounted", "last two massless"):
        if step == "recounted":
            M.prtvib(*[np.zeros(6, np.float32)] * 6, np.zeros(3, np.float32))
            assert REC.f07dis.nox == 10
        if step == "last two massless":
            REC.f07dis.nox, REC.f07dis.domx[10:12] = 12, 0.0
        assert call(M.vibs2) == 0
        masses.append(REC.matrix.b11.copy())
    assert (masses[1] == masses[2]).all() and not (masses[0] == masses[1]).all()


# ----------------------------------------------------------------------------- vibration echo

@pytest.mark.parametrize("ku, istx, isty, dom", [
    ((1, 2, 3), list(range(2, 14)), [3, 5, 0, 7], 0.0),   # 10 and 2 stiffeners, no adjustment
    ((1, 2, 3, 4, 5), [1], [], 3.5e-6),                   # rotations: adjustment and shear listed
])
def test_vibration_echo_is_the_buckling_echo_of_one_strip_with_the_mass(listing, ku, istx, isty, dom):
    Panel(mx=3, my=2, ku=ku, fixed=(5.0, 1.0, -2.0), buck=0)
    dis, rng = REC.f07dis, np.random.default_rng(3)
    dis.istx[:], dis.isty[:] = 0, 0
    dis.istx[:len(istx)], dis.isty[:len(isty)] = istx, isty
    dis.steifx[:], dis.steify[:] = rng.uniform(1, 9, (4, 29)), rng.uniform(1, 9, (4, 29))
    REC.densit.dom = dom
    stiff = [rng.uniform(-5, 5, 6).astype(np.float32) for _ in range(6)] + [np.float32([1.0, 2.0, 3.0])]

    REC.f07ang.alfax, REC.f07ang.alfay = 90.0, 0.0
    M.prtvib(*stiff)
    got = listing()
    assert (dis.nox, dis.noy) == (min(len(istx), 10), 2 if isty else 0)
    assert REC.f07ang.alfax == np.float32(1.5707964)

    REC.f07ang.alfax, REC.f07ang.alfay = 90.0, 0.0
    M.prtout(*[np.asfortranarray(s[:, None]) for s in stiff])
    want = [s for s in listing() if "ELEMENT STRIP" not in s]
    forces = want.index(" PRESCRIBED MEMBRANE FORCES") - 3
    variable = want.index(" DISTRIBUTION OF VARIABLE MEMBRANE FORCES") - 3
    mass = ["", "", "", "   MASS PER UNIT AREA:" + fortran_e(dom, 15, 7)]
    assert got == want[:forces] + mass + want[forces:variable]
    assert any("BENDING ADJUSTMENT" in s for s in got) == (len(ku) == 5)
