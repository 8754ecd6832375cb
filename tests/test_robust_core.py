"""What a run may touch, through the low-level door: the files it writes never go through a
planted link or over a file it did not create, never onto descriptors 0-2; a Ctrl-C stops a
run between its steps; the private entries refuse what would end the process."""
import contextlib
import os
import signal
import subprocess
import sys
import time

import pytest

_zeft = pytest.importorskip("_zeft")
zeft = pytest.importorskip("zeft")


def callzeft(name="SAFE", preset=19, panel=None):
    """A stiffened panel through callzeft in the current folder (its work file is needed: W, U,
    V are condensed); returns the arguments, whose arrays hold the results."""
    args = (panel or zeft.example_panel()).callzeft_arguments(preset)
    args["filenamep"] = name
    getattr(_zeft, f"prtnds{preset}").callzeft(**args)
    return args


@pytest.fixture
def victim(work_folder):
    """A file outside the working folder that no run may change."""
    path = work_folder.parent / f"{work_folder.name}-victim.txt"
    path.write_text("precious\n")
    yield path
    path.unlink()


@pytest.mark.parametrize("name, plant", [
    ("RCA25", "symlink"), ("RCA25", "own file"), ("SAFE    .out", "symlink"), ("SAFE    .out", "hard link")])
def test_a_run_writes_through_no_planted_name(work_folder, victim, capfd, name, plant):
    reference = callzeft("REF")["elamp"][:4].copy()
    {"symlink": os.symlink, "hard link": os.link}.get(plant, lambda *_: victim.write_text("own\n"))(victim, name)
    if plant == "own file":
        os.rename(victim, name)
        victim.write_text("precious\n")
    capfd.readouterr()
    args = callzeft()
    out = capfd.readouterr().out
    assert victim.read_text() == "precious\n"
    if name == "RCA25":   # the run keeps its columns elsewhere and leaves the name alone
        assert list(args["elamp"][:4]) == list(reference) and "analysis finished" in out
        assert os.path.islink(name) if plant == "symlink" else (work_folder / name).read_text() == "own\n"
    else:                 # an output file that is not the run's own is refused, with the reason
        assert ("SYMBOLIC LINK" if plant == "symlink" else "OTHER LINKS") in out
        assert "analysis finished" not in out


def test_files_never_take_the_standard_descriptors(tmp_path):
    """With 0, 1 and 2 closed, a unit's file gets a descriptor above them, so nothing meant for
    a standard stream lands in it."""
    script = (
        "import os, _zeft\n"
        "for fd in (0, 1, 2): os.close(fd)\n"
        "assert _zeft._open_unit(30, 'unit30.txt')\n"
        "_zeft._write_unit(30, \"('in the file')\", [])\n"
        "_zeft._write_unit(6, \"('meant for standard output')\", [])\n"
        "_zeft._close_unit(30)\n"
        "for fd in (0, 1, 2):\n"
        "    try: os.fstat(fd)\n"
        "    except OSError: continue\n"
        "    raise SystemExit(3)\n")
    run = subprocess.run([sys.executable, "-c", script], cwd=tmp_path,
                         env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)))
    assert run.returncode == 0
    assert (tmp_path / "unit30.txt").read_text() == "in the file\n"


@contextlib.contextmanager
def ctrl_c_after(seconds):
    """SIGINT to this process after the given time, from a process of its own (a run holds the
    interpreter lock, so no thread of this one could send it). Python's handler is installed
    for the time: a suite started in the background by a shell inherits SIGINT ignored."""
    handler = signal.signal(signal.SIGINT, signal.default_int_handler)
    sender = subprocess.Popen(["sh", "-c", f"sleep {seconds}; kill -INT {os.getpid()}"])
    try:
        yield
    finally:
        sender.wait()
        signal.signal(signal.SIGINT, handler)


@pytest.mark.parametrize("call", [
    lambda: _zeft._format("(" * 100000 + "I5" + ")" * 100000, [1]),
    lambda: _zeft._format("(1000000(1000000('abc')))", []),
    lambda: _zeft._format("(1000000(1000000(1000000X,'a')))", []),
    lambda: _zeft._read_doubles(11, 2 ** 31 - 1),
    lambda: _zeft._namelist("in.nml", "g", [("a", "i", 2 ** 31 - 1, 0)]),
    lambda: _zeft._namelist("in.nml", "g", [("a", "c", 2 ** 20, 2 ** 20)]),
], ids=["nesting", "output", "blanks", "read_doubles", "namelist count", "namelist text"])
def test_private_entries_refuse_what_would_end_the_process(work_folder, call):
    (work_folder / "in.nml").write_text(" &g a = 1 /\n")
    with pytest.raises((_zeft.error, ValueError, MemoryError)):
        call()


def test_a_record_without_end_ends_the_reading(work_folder, capfd):
    status, values, _ = _zeft._namelist("/dev/zero", "g", [("a", "i", 1, 0)])
    _zeft._close_unit(90)
    assert status == "not_found" and values == {"a": 0}
    assert "ENDS THE READING" in capfd.readouterr().out


def test_ctrl_c_stops_a_run_between_its_steps(work_folder):
    """A run of half a second, interrupted after 0.15 s, stops within about a second: its
    listing says so, its work file is gone, and the next run gives the results of a fresh one."""
    before = callzeft("BEFORE")["elamp"][:4].copy()
    big = zeft.example_panel().replace(elements_between_frames=14, elements_between_stringers=8, eigenvalues=10,
                                       iteration_vectors=16)
    start = time.perf_counter()
    with ctrl_c_after(0.15), pytest.raises(KeyboardInterrupt):
        callzeft("STOPPED", 31, big)
        time.sleep(5)      # not reached: the run takes longer than that
    assert time.perf_counter() - start < 1.5
    assert (work_folder / "STOPPED .out").read_text().rstrip().endswith("THE RUN WAS INTERRUPTED")
    assert not (work_folder / "RCA25").exists()
    assert list(callzeft("AFTER")["elamp"][:4]) == list(before)
