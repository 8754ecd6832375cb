"""Panels per second of a parameter study: the built-in example panel over a range of stringer
pitches, analysed one after the other in this process, and by ``zeft.sweep`` with its
persistent worker processes (one per core).

    python3 bench/bench_sweep.py [panels]

Prints both rates, their ratio and whether every load factor and eigenvector of the sweep
equals that of the serial loop bit for bit (default 24 panels). The serial loop runs a second
time in a process held to one thread (ZEFT_THREADS=1, as each worker of the sweep): the sweep's
rate over that one is what the workers make of the cores, the ratio to the first what a study
gains over analyses that already use both cores for part of each run.
"""
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import zeft


def study(count: int) -> list:
    return [zeft.example_panel(stringer_pitch=120.0 + 60.0 * k / count, name=f"P{k:03d}") for k in range(count)]


def serial_loop(panels: list, folder: Path):
    """The results of analysing the panels one after the other in this process, and the time."""
    start = time.perf_counter()
    results = [zeft.analyse(p, folder / p.name, quiet=True) for p in panels]
    return results, time.perf_counter() - start


def one_thread_seconds(count: int) -> float:
    """The serial loop's time in a process of its own held to one thread."""
    env = dict(os.environ, ZEFT_THREADS="1", OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1")
    out = subprocess.run([sys.executable, __file__, "--one-thread", str(count)], env=env, check=True,
                         capture_output=True, text=True).stdout
    return float(out.split()[-1])


def main(count: int) -> int:
    panels = study(count)
    with tempfile.TemporaryDirectory(prefix="zeft-bench-sweep-") as tmp:
        serial, t_serial = serial_loop(panels, Path(tmp) / "serial")
        start = time.perf_counter()
        swept = zeft.sweep(panels, folder=Path(tmp) / "sweep", progress=False)
        t_sweep = time.perf_counter() - start
    failed = [i for i, r in enumerate(swept) if isinstance(r, Exception)]
    same = not failed and all(np.array_equal(a.load_factors, b.load_factors)
                              and np.array_equal(a.eigenvectors, b.eigenvectors) for a, b in zip(serial, swept))
    t_one = one_thread_seconds(count)
    print(f"{count} panels, {os.cpu_count()} cores")
    print(f"serial loop:             {count / t_serial:6.2f} panels/s ({t_serial:.2f} s)")
    print(f"serial loop, one thread: {count / t_one:6.2f} panels/s ({t_one:.2f} s)")
    print(f"sweep:                   {count / t_sweep:6.2f} panels/s ({t_sweep:.2f} s)  ratio {t_serial / t_sweep:.2f}x "
          f"(to one thread {t_one / t_sweep:.2f}x)  bit for bit: {'yes' if same else 'NO'}"
          + (f"  failed: {failed}" if failed else ""))
    return 0 if same else 1


if __name__ == "__main__":
    if sys.argv[1:2] == ["--one-thread"]:
        with tempfile.TemporaryDirectory(prefix="zeft-bench-sweep-") as tmp:
            print(serial_loop(study(int(sys.argv[2])), Path(tmp))[1])
    else:
        sys.exit(main(int(sys.argv[1]) if len(sys.argv) > 1 else 24))
