"""Timings of the profile-storage solvers next to NumPy/SciPy on the same problems.

    PYTHONPATH=<build dir> python3 bench/bench_solver.py [--quick]

Cases: chodec of a full 2000 x 2000 matrix (numpy.linalg.cholesky), chodec and chosol of an
order-3000 band of half-bandwidth 150 (scipy.linalg.cholesky_banded, cho_solve_banded), and
simvit for the 10 lowest of 12 vectors of an order-3000 generalized problem with both
matrices of half-bandwidth 150 (scipy.linalg.eigh with subset_by_index). Each time is the
best of a few runs; the last column is ours / theirs.
"""
import sys
import time

import numpy as np
import scipy.linalg as sla

import _zeft

u = _zeft.zeftutils
QUICK = "--quick" in sys.argv


def best(f, repeat=3, setup=lambda: None):
    times = []
    for _ in range(repeat):
        setup()
        t = time.perf_counter()
        f()
        times.append(time.perf_counter() - t)
    return min(times)


def pointers(n, ibd):
    lv, ier = np.zeros(n, np.int32), np.zeros(1, np.int32)
    u.mklvbd(lv, n, ibd, ier)
    return lv


def pack(A, ibd):
    return np.concatenate([A[i, max(0, i - ibd + 1):i + 1] for i in range(len(A))])


def toeplitz_band(n, ibd, diagonal, off):
    """Symmetric band matrix with constant diagonals: diagonal, off[0], off[1], ..."""
    A = diagonal * np.eye(n)
    for d, v in enumerate(off, start=1):
        A += v * (np.eye(n, k=d) + np.eye(n, k=-d))
    return A


def report(name, ours, theirs, other, check):
    print(f"{name:44s} {ours:9.4f} s   {other:28s} {theirs:9.4f} s   ratio {ours / theirs:6.2f}   ({check})")


def full_cholesky(n=2000):
    rng = np.random.default_rng(1)
    M = rng.standard_normal((n, n))
    A = M @ M.T + n * np.eye(n)
    a0, lv = pack(A, n), pointers(n, n)
    holder = {}

    def fresh():
        holder["a"] = a0.copy()

    t_ours = best(lambda: u.chodec(holder["a"], n, lv, np.zeros(1, np.int32)), 5, fresh)
    t_np = best(lambda: np.linalg.cholesky(A), 5)
    diff = np.abs(holder["a"] - pack(np.linalg.cholesky(A), n)).max()
    report(f"chodec full {n}", t_ours, t_np, "numpy.linalg.cholesky", f"max |dL| {diff:.1e}")


def band_problem(n, ibd):
    d = np.arange(1, ibd)
    w = (1 - d / ibd) ** 2
    # A: a stiffness-like operator (row sums near zero, lowest eigenvalues well apart),
    # B: a positive mass-like operator.
    A = toeplitz_band(n, ibd, 2 * w.sum() + 1e-3, -w)
    A += np.diag(np.random.default_rng(2).uniform(0.0, 1e-2, n))
    B = toeplitz_band(n, ibd, 1.0, 0.3 * w / w.sum())
    return A, B


def band_cholesky(n=3000, ibd=150, nrhs=12):
    A, _ = band_problem(n, ibd)
    a0, lv = pack(A, ibd), pointers(n, ibd)
    ab = np.zeros((ibd, n))  # lower banded form for SciPy
    for k in range(ibd):
        ab[k, :n - k] = np.diagonal(A, -k)
    holder = {}

    def fresh():
        holder["a"] = a0.copy()

    t_ours = best(lambda: u.chodec(holder["a"], ibd, lv, np.zeros(1, np.int32)), 5, fresh)
    t_sp = best(lambda: sla.cholesky_banded(ab, lower=True), 5)
    report(f"chodec band {n}/{ibd}", t_ours, t_sp, "scipy cholesky_banded", "")

    R = np.asfortranarray(np.random.default_rng(3).standard_normal((n, nrhs)))
    cb = sla.cholesky_banded(ab, lower=True)
    X, y = R.copy(order="F"), np.zeros(n)

    def fresh_rhs():
        X[:] = R

    t_ours = best(lambda: u.chosol(holder["a"], ibd, lv, X, y), 5, fresh_rhs)
    t_sp = best(lambda: sla.cho_solve_banded((cb, True), R), 5)
    diff = np.abs(X - sla.cho_solve_banded((cb, True), R)).max() / np.abs(X).max()
    report(f"chosol band {n}/{ibd}, {nrhs} columns", t_ours, t_sp, "scipy cho_solve_banded", f"rel diff {diff:.1e}")


def subspace(n=3000, ibd=150, neigit=12, neigrq=10):
    A, B = band_problem(n, ibd)
    a, b, lv, lvtri = pack(A, ibd), pack(B, ibd), pointers(n, ibd), pointers(neigit, neigit)
    elam, x, ier = np.zeros(neigit), np.zeros((n, neigit), order="F"), np.zeros(1, np.int32)
    t_ours = best(lambda: u.simvit(neigrq, a, b, ibd, ibd, lv, lv, 1e-8, elam, x, 0, 0, lvtri, ier))
    ref = {}

    def scipy_run():
        ref["lam"] = sla.eigh(A, B, eigvals_only=True, subset_by_index=[0, neigrq - 1])

    t_sp = best(scipy_run, 1)
    err = np.abs(elam[:neigrq] - ref["lam"]).max() / np.abs(ref["lam"]).max()
    report(f"simvit {neigrq} of {neigit}, band {n}/{ibd}", t_ours, t_sp, "scipy eigh(subset_by_index)",
           f"ier {ier[0]}, rel diff {err:.1e}")


if __name__ == "__main__":
    if QUICK:
        full_cholesky(600)
        band_cholesky(600, 40)
        subspace(600, 40)
    else:
        full_cholesky()
        band_cholesky()
        subspace()
