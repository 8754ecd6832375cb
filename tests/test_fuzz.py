"""Property-based fuzzing of every routine of every group of _zeft.

Each batch runs in its own process (tests/fuzz_worker.py) with its own seed, so that a crash,
a sanitizer report or a hang ends only that batch and is reported with the call that caused
it. The only acceptable outcomes of a call are a normal return, _zeft.error, TypeError,
ValueError, MemoryError or OSError (an analysis failure is a normal return with an error code and a listing message).

Size of the run (environment): ZEFT_FUZZ_BATCHES (2), ZEFT_FUZZ_CALLS per batch (1500),
ZEFT_FUZZ_SEED of the first batch (0), ZEFT_FUZZ_JOBS batches at once (2),
ZEFT_FUZZ_SECONDS allowed per call (60). The plain test run makes 3,000 calls; `.ci/fuzz`
makes the long run of 20,000.
"""
import json
import os
import signal
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest

_zeft = pytest.importorskip("_zeft")
pytestmark = pytest.mark.no_sanitize("run on its own by the sanitizer job, with its short size")
pytest.importorskip("hypothesis")

WORKER = Path(__file__).with_name("fuzz_worker.py")
BATCHES = int(os.environ.get("ZEFT_FUZZ_BATCHES", "2"))
CALLS = int(os.environ.get("ZEFT_FUZZ_CALLS", "1500"))
FIRST_SEED = int(os.environ.get("ZEFT_FUZZ_SEED", "0"))
JOBS = int(os.environ.get("ZEFT_FUZZ_JOBS", "2"))
SECONDS = float(os.environ.get("ZEFT_FUZZ_SECONDS", "60"))


def last_call(log):
    """The last call of a batch log with the record and input changes made just before it."""
    if not log.exists():
        return "(no call logged)"
    lines = log.read_text(errors="replace").splitlines()
    start = max((i for i, l in enumerate(lines) if l.startswith("CALL ")), default=0)
    while start > 0 and lines[start - 1].startswith(("RECORD ", "INPUT ")):
        start -= 1
    return "\n".join(lines[start:])


def run_batch(seed, folder):
    """Runs one batch; returns its summary, or a description of how it ended abnormally."""
    work = folder / f"batch{seed}"
    work.mkdir()
    log, result = folder / f"batch{seed}.log", folder / f"batch{seed}.json"
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(
        [str(Path(_zeft.__file__).parent), str(WORKER.parent), env.get("PYTHONPATH", "")])
    proc = subprocess.run(
        [sys.executable, str(WORKER), str(seed), str(CALLS), str(work), str(log), str(result),
         str(SECONDS)],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env,
        timeout=CALLS * SECONDS)
    if proc.returncode == 0 and result.exists():
        return json.loads(result.read_text())
    if proc.returncode == -signal.SIGALRM:
        how = f"a call ran longer than {SECONDS:g} s"
    elif proc.returncode < 0:
        how = f"the worker died of {signal.Signals(-proc.returncode).name}"
    else:
        how = f"the worker ended with status {proc.returncode}"
    stderr = proc.stderr.decode(errors="replace")
    report = stderr.find("ERROR: ")  # a sanitizer report: its head names the fault and the place
    excerpt = stderr[max(0, report - 200):report + 5000] if report >= 0 else stderr[-5000:]
    return {"seed": seed, "calls": 0, "crash": f"batch {seed}: {how}; last call:\n{last_call(log)}\n"
                                               f"--- standard error ---\n{excerpt}"}


def test_no_call_crashes_hangs_or_raises_an_unexpected_error(tmp_path, capsys):
    seeds = range(FIRST_SEED, FIRST_SEED + BATCHES)
    with ThreadPoolExecutor(max_workers=JOBS) as pool:
        summaries = list(pool.map(lambda s: run_batch(s, tmp_path), seeds))

    crashes = [s["crash"] for s in summaries if "crash" in s]
    unexpected = [f"batch {s['seed']} call {f['call']} {f['routine']}: {f['error']}"
                  for s in summaries for f in s.get("failures", [])]
    total = sum(s["calls"] for s in summaries)
    outcomes = {}
    for s in summaries:
        for k, v in s.get("outcomes", {}).items():
            outcomes[k] = outcomes.get(k, 0) + v
    with capsys.disabled():  # the count belongs in every run's output, captured or not
        print(f"\nfuzz: {total} calls in {BATCHES} batches from seed {FIRST_SEED}: {outcomes}")
    assert not crashes, "\n\n".join(crashes)
    assert not unexpected, "\n".join(unexpected)
    assert total == BATCHES * CALLS
