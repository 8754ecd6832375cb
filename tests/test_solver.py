"""Profile storage, Cholesky factorisation and solution, band products, Jacobi method and
simultaneous vector iteration, against NumPy and SciPy."""
import numpy as np
import pytest
import scipy.linalg as sla

import _zeft
from conftest import box, pack, pointers, profile

u = _zeft.zeftutils


def band_sym(n, ibd, rng, spd=True):
    M = rng.standard_normal((n, n))
    A = (M + M.T) * (np.abs(np.subtract.outer(np.arange(n), np.arange(n))) < ibd)
    return A + (np.abs(A).sum(1).max() + 1.0) * np.eye(n) if spd else A


# ---------------------------------------------------------------- pointers and Cholesky


@pytest.mark.parametrize("nn, ibd", [(1, 1), (3, 4)])
def test_mklvbd_refuses_and_leaves_lv(nn, ibd):
    lv, ier = np.full(4, 99, np.int32), box()
    u.mklvbd(lv, nn, ibd, ier)
    assert ier[0] == 1 and (lv == 99).all()


@pytest.mark.parametrize("n, ibd", [(2, 1), (9, 1), (9, 9), (40, 7), (203, 60), (330, 330)])
def test_chodec_matches_numpy(n, ibd):
    A = band_sym(n, ibd, np.random.default_rng(n + ibd))
    a, ier = pack(A, ibd), box(-7)
    u.chodec(a, ibd, pointers(n, ibd), ier)
    assert ier[0] == 0
    L = np.linalg.cholesky(A)
    np.testing.assert_allclose(profile(a, pointers(n, ibd), n)[0], L, rtol=0, atol=1e-13 * np.abs(L).max())


def spd_with_pivot(n, ibd, row, value):
    """SPD band matrix whose pivot at row `row` (1-based) becomes `value`."""
    A = band_sym(n, ibd, np.random.default_rng(5))
    L = np.linalg.cholesky(A)
    A[row - 1, row - 1] += value - L[row - 1, row - 1] ** 2
    return A


@pytest.mark.parametrize("row, value", [(1, 0.0), (1, 1e-21), (1, -2.0), (4, -1e-3), (7, -0.5), (5, np.nan)])
def test_chodec_reports_the_failing_row(row, value):
    A = spd_with_pivot(9, 4, row, value)
    ier = box()
    u.chodec(pack(A, 4), 4, pointers(9, 4), ier)
    assert ier[0] == row


def test_chodec_order_one_and_zero():
    a, ier = np.array([4.0]), box()
    u.chodec(a, 1, np.zeros(1, np.int32), ier)
    assert ier[0] == 1 and a[0] == 2.0  # refused, root in place
    ier = box()
    u.chodec(np.zeros(0), 1, np.zeros(0, np.int32), ier)
    assert ier[0] == 1


def test_chodec_precheck_keeps_rows_inside_a():
    with pytest.raises(_zeft.error, match="row 3"):
        u.chodec(np.ones(5), 3, np.array([0, 1, 9], np.int32), box())


@pytest.mark.parametrize("n, ibd, m", [(1, 1, 2), (9, 1, 3), (40, 7, 5), (150, 150, 9)])
def test_chosol_matches_numpy(n, ibd, m):
    rng = np.random.default_rng(n)
    A = band_sym(n, ibd, rng)
    a, lv = pack(A, ibd), (pointers(n, ibd) if n > 1 else np.zeros(1, np.int32))
    u.chodec(a, ibd, lv, box())
    R = np.asfortranarray(rng.standard_normal((n, m)))
    X, y = R.copy(order="F"), np.zeros(n)
    u.chosol(a, ibd, lv, X, y)
    np.testing.assert_allclose(X, np.linalg.solve(A, R), rtol=1e-12, atol=1e-13)
    assert (y == X[:, -1]).all()
    # A column's solution does not depend on the columns solved with it.
    for j in range(m):
        xj = R[:, j:j + 1].copy(order="F")
        u.chosol(a, ibd, lv, xj, y)
        assert xj[:, 0].tobytes() == X[:, j].tobytes()


def test_chosol_without_columns_changes_nothing():
    a, lv = pack(np.eye(3), 3), pointers(3, 3)
    x, y = np.zeros((3, 0), order="F"), np.full(3, 7.0)
    u.chosol(a, 3, lv, x, y)
    assert (y == 7.0).all()


@pytest.mark.parametrize("n, ibd, m, m1", [(9, 1, 2, 1), (40, 7, 6, 3), (120, 120, 5, 5)])
def test_probtm_matches_numpy(n, ibd, m, m1):
    rng = np.random.default_rng(n)
    A = band_sym(n, ibd, rng, spd=False)
    Bm = np.asfortranarray(rng.standard_normal((n, m)))
    C = u.probtm(pack(A, ibd), ibd, pointers(n, ibd), Bm, m1)
    np.testing.assert_allclose(C[:, m1 - 1:], A @ Bm[:, m1 - 1:], rtol=1e-12, atol=1e-12)
    assert (C[:, :m1 - 1] == 0).all()  # columns before m1 untouched


# ---------------------------------------------------------------- Jacobi method


def jacob2(A, eps=1e-12):
    n = len(A)
    a, ys, ier = pack(A, n), np.zeros((n, n), order="F"), box(-7)
    u.jacob2(a, pointers(n, n) if n > 1 else np.zeros(1, np.int32), eps, ys, ier)
    return np.array([a[i * (i + 1) // 2 + i] for i in range(n)]), ys, ier[0]


@pytest.mark.parametrize("n", [2, 5, 30])
def test_jacob2_matches_numpy(n):
    M = np.random.default_rng(n).standard_normal((n, n))
    A = M + M.T
    lam, ys, ier = jacob2(A)
    assert ier == 0
    np.testing.assert_allclose(np.sort(lam), np.linalg.eigvalsh(A), atol=1e-11 * np.abs(A).sum(1).max())
    np.testing.assert_allclose(ys.T @ ys, np.eye(n), atol=1e-13)
    np.testing.assert_allclose(A @ ys, ys * lam, atol=1e-10)


@pytest.mark.parametrize("A, eps, ier", [
    (np.array([[3.0]]), 1e-8, 0),
    (np.array([[1e-20]]), 1e-8, -2),            # numerically zero
    (np.zeros((3, 3)), 1e-8, -2),
    (np.diag([2.0, 2.0, 5.0]), 1e-8, 0),        # already diagonal
    (np.diag([2.0, 2.0, 5.0]), 0.0, 0),         # zero threshold: a zero pivot ends
])
def test_jacob2_trivial_cases(A, eps, ier):
    lam, ys, code = jacob2(A, eps)
    assert code == ier
    assert (ys == np.eye(len(A))).all() and (lam == np.diag(A)).all()


def test_jacob2_rotation_limit():
    # A threshold below zero is never met: the iteration ends at 2 n^2 + 1 rotations, with
    # the eigenpairs long converged.
    M = np.random.default_rng(0).standard_normal((8, 8))
    A = M + M.T
    lam, ys, ier = jacob2(A, eps=-1.0)
    assert ier == -1
    np.testing.assert_allclose(A @ ys, ys * lam, atol=1e-13)


def test_jacob2_fails_on_nan():
    assert jacob2(np.array([[1.0, np.nan], [np.nan, 2.0]]))[2] != 0


# ---------------------------------------------------------------- simultaneous iteration


def simvit(A, B, ibda, ibdb, neigit, neigrq, eps=1e-8):
    n = len(A)
    elam, x, ier = np.zeros(neigit), np.zeros((n, neigit), order="F"), box(-7)
    m = max(neigit, 2)
    u.simvit(neigrq, pack(A, ibda), pack(B, ibdb), ibda, ibdb, pointers(n, ibda), pointers(n, ibdb),
             eps, elam, x, 0, 0, pointers(m, m), ier)
    return elam, x, ier[0]


def constructed(n, lams, rng):
    """Random SPD A and indefinite B with A w = lam B w for the given lam (others |lam| >= 20)."""
    M = rng.standard_normal((n, n))
    A = M @ M.T + n * np.eye(n)
    W = sla.solve_triangular(np.linalg.cholesky(A).T, np.linalg.qr(rng.standard_normal((n, n)))[0])
    lam = np.concatenate([lams, rng.choice([-1, 1], n - len(lams)) * rng.uniform(20, 200, n - len(lams))])
    B = A @ W @ np.diag(1 / lam) @ W.T @ A
    return A, (B + B.T) / 2


def beam(n):
    """Beam bending stiffness (half-bandwidth 3) and a geometric stiffness (half-bandwidth 2) of an
    axial force that changes sign along the beam."""
    A = sla.toeplitz(np.r_[6.0, -4.0, 1.0, np.zeros(n - 3)]) + 1e-3 * np.eye(n)
    force = 1.0 - 1.7 * np.linspace(0, 1, n + 1)
    B = np.diag(force[:-1] + force[1:]) - np.diag(force[1:-1], 1) - np.diag(force[1:-1], -1)
    return A, B


def reference(A, B):
    mu, V = sla.eigh(B, A)  # B v = (1/lambda) A v, V A-orthonormal
    lam = 1 / mu
    k = np.argsort(np.abs(lam), kind="stable")
    return lam[k], V[:, k]


@pytest.mark.parametrize("case", ["constructed", "beam", "band"])
def test_simvit_matches_scipy(case):
    rng = np.random.default_rng(11)
    if case == "constructed":
        A, B = constructed(60, [1.0, -1.3, 1.7, -2.2, 2.9, -3.8], rng)
        ibda = ibdb = 60
        neigit, neigrq = 7, 6
    elif case == "beam":
        (A, B), ibda, ibdb, neigit, neigrq = beam(150), 3, 2, 8, 5
    else:
        A, ibda, ibdb, neigit, neigrq = band_sym(200, 12, rng), 12, 5, 10, 6
        B = np.diag(np.linspace(0.1, 1.0, 200) ** 2) + 0.01 * band_sym(200, 5, rng, spd=False)
    elam, x, ier = simvit(A, B, ibda, ibdb, neigit, neigrq)
    lam, V = reference(A, B)
    assert ier == 0
    np.testing.assert_allclose(elam[:neigrq], lam[:neigrq], rtol=1e-8)
    X = x[:, :neigrq]
    np.testing.assert_allclose(np.einsum("ij,ij->j", X, A @ X), 1.0, rtol=1e-12)
    np.testing.assert_allclose(np.abs(np.einsum("ij,ij->j", X, A @ V[:, :neigrq])), 1.0, atol=1e-6)
    again = simvit(A, B, ibda, ibdb, neigit, neigrq)
    assert again[0].tobytes() == elam.tobytes() and again[1].tobytes() == x.tobytes()


CHOLESKY_FAILED = " SIMVIT: ERROR IN CHOLESKY DECOMPOSITION. IER=   3"


def test_simvit_reports_an_indefinite_a(listing, capfd):
    A = np.diag([1.0, 2.0, -1.0, 4.0, 5.0])
    assert simvit(A, np.eye(5), 5, 1, 3, 2)[2] == 1
    assert capfd.readouterr().out.splitlines() == [CHOLESKY_FAILED]
    assert listing() == [CHOLESKY_FAILED]


@pytest.mark.parametrize("neigit, neigrq, n", [(3, 3, 6), (3, 5, 6), (1, 0, 6), (7, 2, 6)])
def test_simvit_refuses_block_counts_that_cannot_end(listing, capfd, neigit, neigrq, n):
    elam, x, ier = simvit(np.eye(n), np.eye(n), 1, 1, neigit, neigrq)
    assert ier == 3 and not x.any()
    out = capfd.readouterr().out.splitlines()
    assert len(out) == 1 and "NO ITERATION" in out[0] and listing() == out


def test_simvit_reports_a_failed_subspace_solution(listing, capfd):
    # B numerically zero: the projected matrix is too, jacob2 returns -2 in the first cycle.
    elam, x, ier = simvit(np.eye(6), 1e-30 * np.eye(6), 1, 1, 3, 2)
    assert ier == -2
    assert capfd.readouterr().out.splitlines() == [
        " SIMVIT: EIGENVALUE PROBLEM IN SUBSPACE JAC=   1",
        " COULD NOT BE SOLVED.JACOB2 ERROR CODE IS IER=  -2",
    ]
    assert listing() == []


@pytest.mark.parametrize("A, B, neigit, eps, message", [
    (np.eye(8), np.diag([1.0, 1, 1, np.nan, 1, 1, 1, 1]), 4, 1e-8, "NON-FINITE"),
    # a tolerance never met ends at the cycle limit
    (np.diag(np.arange(1.0, 9.0)), np.eye(8), 3, -1.0, "NO CONVERGENCE AFTER 10000 SUBSPACE CYCLES"),
    (np.diag(np.arange(1.0, 9.0)), np.eye(8), 3, np.nan, "NO CONVERGENCE AFTER 10000 SUBSPACE CYCLES"),
], ids=["non-finite B", "eps < 0", "eps nan"])
def test_simvit_stops_with_code_4(listing, capfd, A, B, neigit, eps, message):
    assert simvit(A, B, 1, 1, neigit, 2, eps=eps)[2] == 4
    assert message in capfd.readouterr().out and message[:14] in listing()[0]


def test_eigvpr_block_layout(listing):
    x = np.asfortranarray(np.arange(1, 15, dtype=float).reshape(2, 7) * [[1], [-0.5]])
    u.eigvpr(9, x)
    head = "0    DOF       " + "     ".join(f"EIGENMODE {k:2d}" for k in range(1, 7))
    assert [r.rstrip() for r in listing()] == [
        head,
        "      1        0.1000000E+01    0.2000000E+01    0.3000000E+01    0.4000000E+01"
        "    0.5000000E+01    0.6000000E+01",
        "      2       -0.4000000E+01   -0.4500000E+01   -0.5000000E+01   -0.5500000E+01"
        "   -0.6000000E+01   -0.6500000E+01",
        "0    DOF       EIGENMODE  7",
        "      1        0.7000000E+01",
        "      2       -0.7000000E+01",
    ]
