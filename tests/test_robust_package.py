"""What an analysis through the package may touch and refuse: nothing of the process beyond
its own folder and output, nothing left behind, a clear refusal naming the field."""
import tempfile
import threading
import time
from pathlib import Path

import pytest

zeft = pytest.importorskip("zeft")
from zeft.analysis import AnalysisError  # noqa: E402

from test_robust_core import ctrl_c_after  # noqa: E402


def small(**changes):
    """The example panel on a coarse grid (a run of a few hundredths of a second)."""
    coarse = dict(elements_between_frames=4, elements_between_stringers=4, eigenvalues=2, write_modes=False)
    return zeft.example_panel().replace(**{**coarse, **changes})


def test_runs_leave_the_folder_and_the_output_of_other_threads_alone(tmp_path, monkeypatch, capfd):
    """A thread writing relative files and printing while another runs 20 analyses (each
    waiting for a write after the one before): every file lands in the current folder, every
    line on the terminal, none in a run's output."""
    monkeypatch.chdir(tmp_path)
    done = threading.Event()
    written = []

    def writer():
        while not done.is_set():
            k = len(written)
            Path(f"w{k}.txt").write_text(str(k))
            print(f"writer line {k}", flush=True)
            written.append(k)
            time.sleep(0.002)

    thread = threading.Thread(target=writer)
    thread.start()
    results = []
    try:
        for k in range(20):
            count = len(written)
            results.append(zeft.analyse(small(), tmp_path / f"run{k}", quiet=True))
            while len(written) == count and thread.is_alive():
                time.sleep(0.001)
    finally:
        done.set()
        thread.join()
    out = capfd.readouterr().out
    assert len(written) >= 20
    assert sorted(p.name for p in tmp_path.glob("w*.txt")) == sorted(f"w{k}.txt" for k in written)
    assert all(f"writer line {k}\n" in out for k in written)
    assert not any("writer" in r.output or list(r.folder.glob("w*.txt")) for r in results)
    assert all(r.load_factors[0] == results[0].load_factors[0] for r in results)


def test_workers_import_nothing_from_the_current_folder(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "numpy.py").write_text("open('imported', 'w').close()\nraise SystemExit(7)\n")
    result = zeft.analyse(small(), tmp_path / "run", quiet=True, isolate=True)
    assert result.load_factors[0] > 0 and not (tmp_path / "imported").exists()
    swept = zeft.sweep([small(), small()], folder=tmp_path / "sweep", progress=False)
    assert all(r.load_factors[0] == result.load_factors[0] for r in swept)
    assert not (tmp_path / "imported").exists()


def test_temporary_folders_go_unless_kept(tmp_path, monkeypatch):
    monkeypatch.setattr(tempfile, "tempdir", str(tmp_path))
    result = zeft.analyse(small(write_modes=True), quiet=True)
    assert list(tmp_path.iterdir()) == [] and result.folder is None
    assert result.read_mode_file().modes and "EIGENVALUES" in result.listing.upper()
    kept = zeft.analyse(small(), quiet=True, keep_files=True)
    assert kept.listing_path.exists() and kept.folder.parent == tmp_path
    with pytest.raises(AnalysisError, match="the fixed load exceeds the panel's buckling load; reduce it or move it"):
        zeft.analyse(small(fixed_load=zeft.Load(nx=1e5)), quiet=True)
    assert list(tmp_path.iterdir()) == [kept.folder]


def test_ctrl_c_stops_a_sweep(tmp_path):
    """Every panel of the sweep fails as interrupted (a single run: test_robust_core)."""
    big = zeft.example_panel().replace(elements_between_frames=14, elements_between_stringers=8, eigenvalues=10,
                                       iteration_vectors=16)
    start = time.perf_counter()
    with ctrl_c_after(1.0):
        results = zeft.sweep([big] * 6, folder=tmp_path / "sweep", progress=False)
    assert time.perf_counter() - start < 4.0
    assert all(isinstance(r, AnalysisError) and "interrupted" in str(r) for r in results)
