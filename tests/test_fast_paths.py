"""The fast paths of the eigen solution against the straightforward ones: the buckling iteration
on the coupled band system (A11, A21, A22 never condensed) against the dense condensation, the
profile path of simvit (leading zeros of every row dropped) against the same matrix in full
storage, and bit-identical repetition on every instruction-set path (an indefinite condensed
matrix: test_buckling)."""
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import zeft

from conftest import dense, pack, pointers, read
from test_buckling import Panel, call_incs2, call_incs3
from test_larger_grid import run as run_larger_size

_zeft = pytest.importorskip("_zeft")
pytestmark = pytest.mark.no_sanitize("large matrices; the solver tests run these kernels instrumented")
u = _zeft.zeftutils


def solve(pn, n, dense_path):
    """incs2 and incs3 on the panel's records; the dense condensation is chosen by listing the
    in-plane vectors. Returns eigenvalues, W vectors, the statistics lines and whether A11 was
    left as assembled (the coupled path does not condense it)."""
    _zeft.man.x2pri = 1 if dense_path else 0
    _zeft._close_unit(9)
    assert call_incs2(n) == 0
    A11 = dense(pn.res.a11, pn.res.lvtri, pn.ix)
    ier = call_incs3(n)
    assert ier == 0
    k = int(_zeft.man.neigrq)
    text = read("fort.9")
    stats = [line for line in text if "IP=" in line or "EPSILN" in line]
    untouched = np.array_equal(dense(pn.res.a11, pn.res.lvtri, pn.ix), A11)
    return pn.res.elam[:k].copy(), pn.res.x[:pn.ix, :k].copy(), stats, untouched


@pytest.mark.parametrize("n, mx, my, ku, radii, stringers, frames", [
    (31, 5, 4, (1, 2, 3), (1e29, 1e29, 1e29), [], []),
    (31, 7, 9, (1, 2, 3), (1e29, 600.0, 1e29), [3, 6], [4]),       # curved, stringers and a frame
    (19, 12, 6, (1, 2, 3), (900.0, 1e29, 1e29), [3], [5, 9]),      # more x-lines than y-lines
    (21, 11, 13, (1, 2, 3), (1e29, 800.0, 1e29), [4, 8], [6]),     # medium grid
    (25, 6, 5, (1, 2, 3, 4, 5), (1e29, 700.0, 1e29), [3], []),     # rotations BETA, GAMMA too
])
def test_coupled_path_equals_dense_condensation(n, mx, my, ku, radii, stringers, frames):
    pn = Panel(n=n, mx=mx, my=my, ku=ku, radii=radii, stringers=stringers, frames=frames,
               steif=(2.0e6, 3.0e6, 4.0e8, 1.0e6), load=(1.0, 0.1, 0.2), fixed=(0.1, 0.0, 0.0),
               rotations=True, buck=0, neigit=8, neigrq=5)
    lam_fast, x_fast, stats_fast, untouched_fast = solve(pn, n, dense_path=False)
    lam_ref, x_ref, stats_ref, untouched_ref = solve(pn, n, dense_path=True)
    assert untouched_fast
    assert untouched_ref == (not pn.res.a21[:pn.iy, :pn.ix].any())   # the dense path condenses A11
    np.testing.assert_allclose(lam_fast, lam_ref, rtol=1e-10)
    signs = np.sign(np.sum(x_fast * x_ref, axis=0))
    np.testing.assert_allclose(x_fast * signs, x_ref, rtol=0, atol=1e-8 * np.abs(x_ref).max())
    assert stats_fast == stats_ref


def band_problem(n, ibd, seed):
    rng = np.random.default_rng(seed)
    A = np.zeros((n, n))
    for d in range(1, ibd):
        v = rng.uniform(-1.0, 1.0, n - d) / (d + 1)
        A += np.diag(v, -d) + np.diag(v, d)
    A += np.diag(np.abs(A).sum(axis=1) + rng.uniform(0.5, 1.5, n))
    B = np.diag(rng.uniform(0.5, 2.0, n)) + np.diag(np.full(n - 1, 0.1), 1) + np.diag(np.full(n - 1, 0.1), -1)
    return A, B


def run_simvit(A, B, ibda, ibdb, neigit, neigrq):
    n = len(A)
    elam, x, ier = np.zeros(neigit), np.zeros((n, neigit), order="F"), np.zeros(1, np.int32)
    jac, ip = np.zeros(1, np.int32), np.zeros(1, np.int32)
    u.simvit(neigrq, pack(A, ibda), pack(B, ibdb), ibda, ibdb, pointers(n, ibda), pointers(n, ibdb), 1e-8, elam, x,
             jac, ip, pointers(neigit, neigit), ier)
    assert ier[0] == 0
    return elam[:neigrq], x[:, :neigrq], (int(jac[0]), int(ip[0]))


@pytest.mark.parametrize("n, ibd, neigit, neigrq", [(7, 2, 3, 2), (120, 9, 8, 5), (400, 33, 12, 10)])
def test_profile_path_is_the_same_in_full_and_band_storage(n, ibd, neigit, neigrq):
    """A banded A handed over as a full triangle gives the eigenpairs of its band storage bit for
    bit, and both agree with SciPy."""
    import scipy.linalg
    A, B = band_problem(n, ibd, n)
    full = run_simvit(A, B, n, 2, neigit, neigrq)
    band = run_simvit(A, B, ibd, 2, neigit, neigrq)
    assert full[0].tobytes() == band[0].tobytes() and full[1].tobytes() == band[1].tobytes()
    assert full[2] == band[2]
    mu = scipy.linalg.eigh(B, A, eigvals_only=True)
    lam = np.sort(1.0 / mu[np.argsort(-np.abs(mu))[:neigrq]])
    np.testing.assert_allclose(np.sort(full[0]), lam, rtol=1e-3)   # within the iteration's tolerance


# ----------------------------------------------------------------------------- instruction sets

def path_panel():
    return Panel(n=19, mx=12, my=6, ku=(1, 2, 3), radii=(900.0, 1e29, 1e29), stringers=[3], frames=[5, 9],
                 steif=(2.0e6, 3.0e6, 4.0e8, 1.0e6), load=(1.0, 0.1, 0.2), buck=0, neigit=12, neigrq=6)


def kernel_results():
    """The eigenpairs of a coupled panel (fast path), of a shear panel in the larger size (block
    Lanczos) and of two band problems whose block solves split over two threads into blocks of
    16, 8 and 4 lanes."""
    lam, x, _, _ = solve(path_panel(), 19, dense_path=False)
    out = [lam, x]
    out += run_larger_size(zeft.example_panel().replace(load=dict(nxy=10.0), write_modes=False, print_forces=False),
                           61)[:2]
    A, B = band_problem(2000, 100, seed=7)
    for neigit in (12, 20):
        out += run_simvit(A, B, 100, 2, neigit, 8)[:2]
    return out


def digest(arrays):
    return b"".join(a.tobytes() for a in arrays).hex()


_CHILD = """
import os, sys
sys.path.insert(0, sys.argv[1])
os.chdir(sys.argv[2])
import _zeft
import test_fast_paths
sys.stdout.write(_zeft._isa + " " + test_fast_paths.digest(test_fast_paths.kernel_results()) + "\\n")
"""


def test_every_instruction_set_path_gives_the_same_bits(tmp_path):
    """Each kernel build the processor runs, forced in a process of its own, gives the bits of
    this process, and so does the widest one with its parallel sections on one thread; the
    fast path here agrees with the dense condensation."""
    results = kernel_results()
    np.testing.assert_allclose(results[0], solve(path_panel(), 19, dense_path=True)[0], rtol=1e-10)
    expected = digest(results)
    runs = [(isa, "2") for isa in _zeft._isa_supported] + [(_zeft._isa_supported[-1], "1")]
    for isa, threads in runs:
        folder = tmp_path / f"{isa}-{threads}"
        folder.mkdir()
        run = subprocess.run([sys.executable, "-c", _CHILD, str(Path(__file__).parent), str(folder)],
                             env=dict(os.environ, ZEFT_ISA=isa, ZEFT_THREADS=threads), capture_output=True,
                             text=True, timeout=300)
        assert run.returncode == 0, run.stderr[-3000:]
        name, bits = run.stdout.split()[-2:]
        assert name == isa and bits == expected, (isa, threads)


@pytest.mark.parametrize("value, message", [("avx1024", "not an instruction-set path"),
                                            ("", None)])
def test_instruction_set_choice_at_load(value, message):
    """An unknown path is refused at import with the choices named; an empty value takes the
    widest path the processor supports."""
    run = subprocess.run([sys.executable, "-c", "import _zeft; print(_zeft._isa)"],
                         env=dict(os.environ, ZEFT_ISA=value), capture_output=True, text=True, timeout=120)
    if message is None:
        assert run.returncode == 0 and run.stdout.split()[-1] == _zeft._isa_supported[-1]
    else:
        assert run.returncode != 0 and message in run.stderr and "baseline" in run.stderr
