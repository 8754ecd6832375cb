"""Buckling eigen analysis: the condensed matrix and the eigenpairs equal a dense SciPy solution
of the same assembled matrices, the work file holds A22^-1 A21 column by column, the result
blocks of the listing line by line, and the failures and refusals with their messages."""
from pathlib import Path

import numpy as np
import pytest
import scipy.linalg

from conftest import RunPanel, dense, fortran_e, read

_zeft = pytest.importorskip("_zeft")
MODULES = {31: _zeft.prtnds31, 19: _zeft.prtnds19, 21: _zeft.prtnds21, 25: _zeft.prtnds25}



# ----------------------------------------------------------------------------- records

class Results:
    """The unpublished records of one size preset: matrices, profile pointers, key matrix,
    eigenvalues, eigenvectors and forces, as live views of the module's internal records."""

    def __init__(self, n):
        rec = getattr(_zeft, f"_internal{n}")
        m = rec.matrix
        self.a22, self.a11, self.b11, self.a21 = m.a22, m.a11, m.b11, m.a21
        self.lvtri, self.lva22, self.lvb = rec.comlv.lvtri, rec.comlv.lva22, rec.comlv.lvb
        self.lm = rec.f07mat.lm
        self.elam = rec.valus.elam
        self.forces = rec.pythres.membraneforces
        self.x = rec.vectrs.x


# ----------------------------------------------------------------------------- panels

class Panel(RunPanel):
    """A zeftmain run with the unpublished result records at hand."""

    def __init__(self, n=31, **kw):
        super().__init__(n, **kw)
        self.res = Results(n)

    def matrices(self):
        """Dense A11, A21, A22 and B as the assembly left them in the records."""
        r, ix, iy = self.res, self.ix, self.iy
        A11, B = dense(r.a11, r.lvtri, ix), dense(r.b11, r.lvb, ix)
        A22 = dense(r.a22, r.lva22, iy) if iy else None
        A21 = r.a21[:iy, :ix].copy()
        return A11, A21, A22, B


def stiffness_arrays():
    return [np.zeros((6, 1), np.float32)] * 6 + [np.zeros((3, 1), np.float32)]


def call_incs3(n=31):
    """incs3 called directly: its error code."""
    ier = np.zeros(1, np.int32)
    MODULES[n].incs3(int(_zeft.man.iy), *stiffness_arrays(), ier, 0.0)
    return int(ier[0])


def call_incs2(n=31):
    ier = np.zeros(1, np.int32)
    MODULES[n].incs2(ier)
    return int(ier[0])


def reference(A11, A21, A22, B, count):
    """Condensed matrix and its lowest |lambda| eigenpairs by SciPy: B v = mu A v, lambda = 1/mu,
    vectors normalised to v^T A v = 1."""
    A = A11 - A21.T @ scipy.linalg.cho_solve(scipy.linalg.cho_factor(A22), A21) if A22 is not None else A11
    mu, V = scipy.linalg.eigh(B, A)
    order = np.argsort(-np.abs(mu))[:count]
    return A, 1.0 / mu[order], V[:, order]


# ----------------------------------------------------------------------------- condensation and eigenpairs

@pytest.mark.parametrize("n, ku, radii, stringers, frames", [
    (31, (1, 2, 3), (1e29, 600.0, 1e29), [2], [3]),      # curved, stringer and frame: A21 from skin and stiffeners
    (19, (1, 2, 3), (800.0, 1e29, 1e29), [3], []),
    (25, (1,), (1e29, 1e29, 1e29), [], []),              # W alone: nothing to condense
])
def test_condensation_and_eigenpairs_equal_dense_solution(folder, n, ku, radii, stringers, frames):
    pn = Panel(n=n, ku=ku, radii=radii, stringers=stringers, frames=frames, steif=(2.0e6, 3.0e6, 4.0e8, 1.0e6),
               buck=0, neigit=8, neigrq=4, x2pri=1)
    assert call_incs2(n) == 0
    A11, A21, A22, B = pn.matrices()
    if len(ku) > 1:
        assert np.abs(A21).max() > 1e-3 * np.abs(A11).max()
    else:              # W alone: A22 is left as it is
        pn.res.a22[:4] = [7.0, 8.0, 9.0, 10.0]
    assert call_incs3(n) == 0
    A, lam, V = reference(A11, A21, A22, B, 4)

    condensed = dense(pn.res.a11, pn.res.lvtri, pn.ix)
    assert np.allclose(condensed, A, rtol=0, atol=1e-11 * np.abs(A).max())
    assert np.allclose(pn.res.elam[:4], lam, rtol=1e-9)
    X = pn.res.x[:pn.ix, :4]
    assert np.allclose(np.einsum("ik,ij,jk->k", X, A, X), 1.0, atol=1e-9)
    assert np.allclose(np.abs(np.einsum("ik,ij,jk->k", X, A, V)), 1.0, atol=1e-7)

    rca25 = folder / "RCA25"
    assert rca25.exists() == (len(ku) > 1)
    if len(ku) > 1:   # one record per W freedom: z_j = A22^-1 A21(:, j), then the in-plane modes
        raw = np.fromfile(rca25, np.uint8)
        size = 8 * pn.iy
        assert len(raw) == pn.ix * (size + 16)
        rec = raw.reshape(pn.ix, size + 16)
        assert (rec[:, :8].view(np.int64) == size).all() and (rec[:, -8:].view(np.int64) == size).all()
        Z = rec[:, 8:-8].copy().view(np.float64).T
        assert np.allclose(A22 @ Z, A21, atol=1e-9 * np.abs(A21).max())
        text = read("fort.9")
        start = text.index(" X2-EIGENVECTORS DESCRIBING TANGENTIAL DISPLACEMENTS")
        assert text[start + 1] == " AND TRANSVERSE SHEAR STRAINS" and text[start + 2] == "0 EIGENMODE  1"
        lines_per_mode = -(-pn.iy // 5)
        listed = " ".join(text[start + 3:start + 3 + lines_per_mode]).replace("D", "E").split()
        assert np.allclose(np.array(listed, float), -Z @ X[:, 0], rtol=1e-7, atol=1e-8 * np.abs(Z @ X[:, 0]).max())
        assert text[start + 3 + lines_per_mode] == "0 EIGENMODE  2"
    else:
        assert list(pn.res.a22[:4]) == [7.0, 8.0, 9.0, 10.0]
        assert not any("X2-EIGENVECTORS" in line for line in read("fort.9"))


def test_condensed_matrix_listing(folder):
    pn = Panel(mx=3, my=3, ku=(1, 2, 3), radii=(1e29, 500.0, 1e29), buck=0, itab=1, neigit=4, neigrq=2)
    assert call_incs2() == 0
    assert call_incs3() == 0
    text = read("fort.9")
    head = text.index(" " * 35 + "UPDATED MATRIX A11")
    count = pn.ix * (pn.ix + 1) // 2
    rows = text[head + 1:head + 1 + -(-count // 7)]
    assert [len(r) for r in rows] == [1 + 17 * 7] * (len(rows) - 1) + [1 + 17 * ((count - 1) % 7 + 1)]
    values = np.array(" ".join(rows).replace("D", "E").split(), float)
    A = dense(pn.res.a11, pn.res.lvtri, pn.ix)
    assert np.allclose(values, A[np.tril_indices(pn.ix)], rtol=1e-6, atol=1e-6 * np.abs(A).max())


def test_work_file_stays_open_between_direct_calls_and_goes_with_the_run(folder):
    pn = Panel(buck=0, x2pri=1, neigit=5, neigrq=2)
    for _ in range(2):   # the second call finds the unit open and rewrites it from its start
        assert call_incs2() == 0 and call_incs3() == 0
        assert (folder / "RCA25").stat().st_size == pn.ix * (8 * pn.iy + 16)
    _zeft._close_unit(25)
    (folder / "RCA25").unlink()
    Panel(neigit=5, neigrq=2)   # a complete run deletes its work file
    assert not (folder / "RCA25").exists()


# ----------------------------------------------------------------------------- listing blocks

RESULTS = Path(__file__).parent / "data" / "golden_results.out"


def test_result_blocks_of_a_stiffened_panel(folder):
    """Uniform forces, stringers on y-lines 4 and 10 (the second prints as an asterisk), seven
    frames (blocks of six and one), nine x-lines (blocks of six and three), ten y-lines: the
    result blocks equal the reference listing, and the forces are the load factor times the
    variable plus the fixed forces, in single precision, the stiffener forces those of node 1's
    membrane strain."""
    steif = (3.0e6, 0.0, 5.0e7, 1.0e6)
    pn = Panel(mx=9, my=10, length=160.0, width=90.0, stringers=[4, 10], frames=[2, 3, 4, 5, 6, 7, 8],
               steif=steif, load=(1.0, 0.2, 0.3), fixed=(0.5, 0.0, -0.1), neigit=5, neigrq=2, mempri=1)
    text = pn.listing
    k = text.index("1 STATISTICS OF INVERSE POWER METHOD:")
    expected = RESULTS.read_text().splitlines()
    for n, (got, want) in enumerate(zip(text[k:], expected), start=1):
        assert got == want, f"line {n}"
    assert len(text) - k == len(expected)

    f32 = np.float32
    lam1 = f32(pn.res.elam[0])
    nx, nxy, ny = (f32(1.0) * lam1 + f32(0.5), f32(0.2) * lam1 + f32(0.0), f32(0.3) * lam1 + f32(-0.1))
    aij = pn.h.aij.astype(np.float32)
    fx = (aij[0, 0] * nx + aij[1, 0] * ny + aij[2, 0] * nxy) * f32(steif[0])
    fy = (aij[0, 1] * nx + aij[1, 1] * ny + aij[2, 1] * nxy) * f32(steif[0])
    assert list(pn.res.forces[0, :5]) == [float(v) for v in (nx, nxy, ny, fx, fy)]


def test_varying_forces_list_eigenvalues_and_the_last_blocks_values(folder):
    field = lambda ix, iy: (1.0 + 0.1 * ix + 0.01 * iy, 0.0, 0.05 * iy)
    pn = Panel(mx=8, my=3, length=140.0, width=40.0, field=field, neigit=5, neigrq=2, mempri=1)
    text, lam = pn.listing, pn.res.elam[:2].copy()
    k = text.index(" COMPUTED EIGENVALUES:")
    assert text[k + 2:k + 4] == [f"{i:6d}. EIGENVALUE =" + fortran_e(lam[i - 1], 19, 6) for i in (1, 2)]
    f32 = np.float32
    for i in (1, 2):   # x-line 7 opens the last block; y-line 3 is the last line
        nx, _, ny = (f32(v) for v in field(7, 3))
        assert pn.res.forces[i - 1, 0] == f32(nx * f32(lam[i - 1]) + f32(0))
        assert pn.res.forces[i - 1, 2] == f32(ny * f32(lam[i - 1]) + f32(0))
    assert not any("STIFENERS" in line for line in text)


@pytest.mark.parametrize("mempri, stiffened", [(0, True), (1, False)])
def test_force_columns_written_only_when_listed(folder, mempri, stiffened):
    res = Results(31)
    res.forces[:] = -7.0
    pn = Panel(mempri=mempri, stringers=[2] if stiffened else [], steif=(1.0e6, 0, 1.0e7, 0), neigit=5, neigrq=2)
    written = res.forces[:2]
    if mempri:
        assert (written[:, :3] != -7.0).all() and (written[:, 3:] == -7.0).all()
    else:
        assert (res.forces == -7.0).all()
    assert (res.forces[2:] == -7.0).all()
    assert pn.res.elam[0] > 0


# ----------------------------------------------------------------------------- failures

def test_a22_not_positive_definite(folder, capfd):
    pn = Panel(buck=0)
    assert call_incs2() == 0
    pn.res.a22[pn.res.lva22[4] + 4] = -1.0   # row 5 loses definiteness
    capfd.readouterr()
    assert call_incs3() == 1
    lines = ["", " SUBROUTINE INCS3: CHOLESKY DECOMPOSITION OF MATRIX A22 FAILED. IER=     5"]
    assert capfd.readouterr().out.splitlines() == lines
    assert read("fort.9") == lines
    assert not (folder / "RCA25").exists()


@pytest.mark.parametrize("ku, fixed", [((1,), 200.0), ((1, 2, 3), 400.0)])
def test_fixed_load_beyond_buckling_stops_the_run(folder, capfd, ku, fixed):
    """A fixed compression above the buckling load leaves the (condensed) matrix indefinite: the
    iteration refuses, incs3 says so and the run control reports INCS3. With the in-plane
    freedoms the coupled path reports line for line as the dense condensation (x2pri = 1)."""
    outputs = []
    for x2pri in (0, 1) if len(ku) > 1 else (0,):
        pn = Panel(ku=ku, fixed=(fixed, 0.0, 0.0), neigit=5, neigrq=2, x2pri=x2pri, proj=f"FIXED{x2pri}")
        outputs.append(capfd.readouterr().out.splitlines())
        failure = " SUBROUTINE INCS3: ERROR ENCOUNTERED IN SUBR: SIMVIT"
        assert failure in outputs[-1] and failure in pn.listing
        assert " ERROR REPORTED FROM SUBROUTINE      INCS3  IER=" in pn.listing
        assert not any("COMPUTED EIGENVALUES" in line for line in pn.listing)
    assert outputs[0] == outputs[-1]
    assert any(line.startswith(" SIMVIT: ERROR IN CHOLESKY DECOMPOSITION. IER=") for line in outputs[0])


@pytest.mark.parametrize("ku, spoil, ier, name", [
    ((1, 2, 3), "terms", 22, "A22"),
    ((1,), "terms", 11, "A11"),
    ((1, 2, 3), "lvb", 33, "B11"),
])
def test_assembly_failures_name_the_matrix(folder, capfd, ku, spoil, ier, name):
    pn = Panel(ku=ku, buck=0)
    if spoil == "terms":   # more quadratic-form terms than an element can hold
        ikt = _zeft.f01qua.ikt
        ikt[0] = 341
        _zeft.f01qua.ikt = ikt
    else:                  # a profile of B that runs past its storage
        pn.res.lvb[pn.ix - 1] = 2 ** 30
    capfd.readouterr()
    assert call_incs2() == ier
    lines = [" SUBROUTINE INCS2:", " ERROR ENCOUNTERED WHEN COMPUTING MATRIX " + name]
    out = capfd.readouterr().out.splitlines()
    assert out[-2:] == lines and read("fort.9")[-2:] == lines


@pytest.mark.parametrize("spoil, reason", [
    (lambda: setattr(_zeft.man, "ix", 4 * 31 * 31 + 1), "FREEDOM COUNTS IX=3845"),
    (lambda: setattr(_zeft.f07ina, "leit", np.zeros((31, 31), np.int32)), "NODE NUMBER 0 AT IY=1 IX=1"),
])
def test_inconsistent_records_are_refused(folder, capfd, spoil, reason):
    Panel(buck=0)
    assert call_incs2() == 0
    spoil()
    capfd.readouterr()
    assert call_incs3() == 3
    out = capfd.readouterr().out.splitlines()
    assert out[:2] == ["", " MESSAGE FROM SUBROUTINE INCS3:"] and out[2].startswith(" " + reason)
