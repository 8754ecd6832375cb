"""Panels per second of a parameter study: the built-in example panel over a range of stringer
pitches, analysed one after the other in this process, and by ``zeft.sweep`` with its
persistent worker processes (one per core).

    python3 bench/bench_sweep.py [panels]

Prints both rates, their ratio and whether every load factor and eigenvector of the sweep
equals that of the serial loop bit for bit (default 24 panels).
"""
import os
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import zeft


def main(count: int) -> int:
    panels = [zeft.example_panel(stringer_pitch=120.0 + 60.0 * k / count, name=f"P{k:03d}") for k in range(count)]
    with tempfile.TemporaryDirectory(prefix="zeft-bench-sweep-") as tmp:
        start = time.perf_counter()
        serial = [zeft.analyse(p, Path(tmp) / "serial" / p.name, quiet=True) for p in panels]
        t_serial = time.perf_counter() - start
        start = time.perf_counter()
        swept = zeft.sweep(panels, folder=Path(tmp) / "sweep", progress=False)
        t_sweep = time.perf_counter() - start
    failed = [i for i, r in enumerate(swept) if isinstance(r, Exception)]
    same = not failed and all(np.array_equal(a.load_factors, b.load_factors)
                              and np.array_equal(a.eigenvectors, b.eigenvectors) for a, b in zip(serial, swept))
    print(f"{count} panels, {os.cpu_count()} cores")
    print(f"serial loop: {count / t_serial:6.2f} panels/s ({t_serial:.2f} s)")
    print(f"sweep:       {count / t_sweep:6.2f} panels/s ({t_sweep:.2f} s)  ratio {t_serial / t_sweep:.2f}x  "
          f"bit for bit: {'yes' if same else 'NO'}" + (f"  failed: {failed}" if failed else ""))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1]) if len(sys.argv) > 1 else 24))
