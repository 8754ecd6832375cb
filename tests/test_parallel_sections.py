"""The parallel sections of the solvers run on a helper thread kept between calls: a forked
process (the helper does not survive the fork) and concurrent callers still finish with the
same bits as a lone call."""
import multiprocessing
import threading

import pytest

from test_fast_paths import band_problem, run_simvit

pytest.importorskip("_zeft")
pytestmark = pytest.mark.no_sanitize("forks and threads around an instrumented interpreter")

# Large enough for the factorisation and the block solves to split their work in two.
N, IBD, NEIGIT, NEIGRQ = 2000, 100, 12, 8
PROBLEM = []


def solution():
    if not PROBLEM:
        PROBLEM.extend(band_problem(N, IBD, seed=7))
    A, B = PROBLEM
    elam, x, stats = run_simvit(A, B, IBD, 2, NEIGIT, NEIGRQ)
    return elam.tobytes() + x.tobytes(), stats


def _child(expected, queue):
    queue.put(solution() == expected)


def test_forked_process_solves_with_the_same_bits():
    expected = solution()
    ctx = multiprocessing.get_context("fork")
    queue = ctx.Queue()
    child = ctx.Process(target=_child, args=(expected, queue))
    child.start()
    child.join(30)
    if child.is_alive():
        child.kill()
        pytest.fail("the forked process did not finish its solve")
    assert child.exitcode == 0
    assert queue.get(timeout=5)
    assert solution() == expected


def test_concurrent_callers_get_the_same_bits():
    expected = solution()
    results = [None] * 3

    def work(k):
        results[k] = solution()

    threads = [threading.Thread(target=work, args=(k,)) for k in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(60)
    assert all(r == expected for r in results)
