"""Parameter studies: results in input order and equal to analyses in this process, failures in
their own slots, a folder per analysis, the progress line, other executors (a thread pool, Dask's
local cluster when it is installed), and a worker that dies."""
import contextlib
import re
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

pytest.importorskip("_zeft")
pytestmark = pytest.mark.no_sanitize("runs analyses in fresh interpreters; front end tests cover them")
import zeft  # noqa: E402
from conftest import plate as shared_plate  # noqa: E402


def plate(length, **changes):
    return shared_plate(a=length, **{"elements_between_stringers": 6, **changes})


def failing_run():
    """A stiffened panel under a fixed load beyond its buckling load: the run fails at the
    Cholesky factor of the stiffness."""
    return zeft.example_panel(eigenvalues=2, fixed_load=zeft.Load(nx=500.0))


def study():
    good = [plate(length) for length in (100.0, 150.0, 200.0, 250.0)]
    return good, good[:2] + [plate(100.0, elements_between_frames=0)] + good[2:3] + \
        [failing_run()] + good[3:]


def test_local_pool_keeps_order_and_failures_in_their_slots(tmp_path, capsys):
    good, panels = study()
    results = zeft.sweep(panels, folder=tmp_path)
    assert isinstance(results[2], ValueError) and "elements_between_frames" in str(results[2])
    assert isinstance(results[4], zeft.AnalysisError) and "CHOLESKY" in str(results[4])
    done = [results[i] for i in (0, 1, 3, 5)]
    for panel, result in zip(good, done):   # the analyses of this process, bit for bit
        here = zeft.analyse(panel, tmp_path / "here", quiet=True)
        np.testing.assert_array_equal(result.load_factors, here.load_factors)
        np.testing.assert_array_equal(result.eigenvectors, here.eigenvectors)
    folders = [r.folder for r in done]
    assert folders == [tmp_path / f"{i:04d}-PLATE" for i in (0, 1, 3, 5)]
    assert all(r.listing_path.parent == f for r, f in zip(done, folders))
    assert not (tmp_path / "0002-PLATE").exists()
    err = capsys.readouterr().err
    assert re.search(r"zeft sweep: 6/6 done, 2 failed, [\d.]+ s elapsed, about 0\.0 s remaining", err)


@contextlib.contextmanager
def dask_executor():
    """A client of Dask's local cluster: panels analysed in its processes, no subprocess each."""
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        yield client.get_executor()


@pytest.mark.parametrize("executor", [lambda: ThreadPoolExecutor(max_workers=2), dask_executor],
                         ids=["threads", "dask"])
def test_any_executor_can_run_the_study(tmp_path, executor):
    good, panels = study()
    with executor() as pool:
        results = zeft.sweep(panels, executor=pool, folder=tmp_path, progress=False)
    assert isinstance(results[2], ValueError) and isinstance(results[4], zeft.AnalysisError)
    for panel, result in zip(good, (results[i] for i in (0, 1, 3, 5))):
        assert result.panel == panel
        np.testing.assert_array_equal(result.load_factors, zeft.analyse(panel, tmp_path / "here", quiet=True).load_factors)


def test_a_worker_that_dies_fails_its_panel_and_is_replaced(tmp_path):
    from zeft._pool import WorkerPool

    slow = zeft.example_panel(elements_between_frames=14, elements_between_stringers=8, eigenvalues=10,
                              iteration_vectors=16)
    pool = WorkerPool()
    try:
        with ThreadPoolExecutor(max_workers=1) as thread:
            running = thread.submit(pool.run, slow, tmp_path / "slow")
            while not (pool.busy and next(iter(pool.busy)).ready):
                time.sleep(0.02)
            next(iter(pool.busy)).proc.kill()
            with pytest.raises(zeft.AnalysisError, match="killed by signal 9"):
                running.result()
        result = pool.run(plate(100.0), tmp_path / "next")
        np.testing.assert_array_equal(result.load_factors,
                                      zeft.analyse(plate(100.0), tmp_path / "here", quiet=True).load_factors)
        assert pool.started == 2
    finally:
        pool.close()
    assert not pool.home.exists()
