"""Wall time and peak memory of a panel beyond the largest size preset, through the package.

    PYTHONPATH=<build dir>:python python3 bench/bench_large.py [--isa=avx2,baseline] [--lines=61]

The panel: curved (radius 2000 across the stringers), six angle stringers and five frames,
W, U, V, fixed load Nx 20, Nxy 5 and variable load Nx 100, all edges simply supported (U held
at x = 0, V at y = 0), 10 of 12 load factors, laid out on --lines x --lines grid lines (61 by
default: ten elements per frame bay, three on each stringer foot, six between). Each instruction-set path runs
in a process of its own, so that its peak resident memory is its own. First one run through
the module's set-up and run (12 iteration vectors; assembly, factorisations, iteration and
listing, with the statistics line of the iteration: IP and JAC, on the larger size the block
solves and Rayleigh-Ritz projections of its Lanczos iteration), then the whole of zeft.analyse
(which certifies the load factors and, when they are not certified, analyses again with twice
the iteration vectors): its time, that of its last run and of the certificate. "bits" is a
digest of the load factors and eigenvectors, the same on every path.
"""
import hashlib
import json
import os
import resource
import subprocess
import sys
import time
from pathlib import Path

import numpy as np


def target_panel(lines=61):
    import zeft

    # lines - 1 elements in x: six frame bays; across: six angle stringers with a foot of
    # `foot` elements each and seven bays of `bay` elements (61: 6 x 3 + 7 x 6 = 60).
    foot, bay = {61: (3, 6), 31: (1, 3)}[lines]
    return zeft.example_panel().replace(
        name="LARGE", stringers=6, frames=5, frame_pitch=400.0, stringer_pitch=160.0, foot_width=40.0,
        stringer_kind="angle", elements_per_foot=foot, elements_between_frames=(lines - 1) // 6,
        elements_between_stringers=bay, radii=(None, 2000.0, None),
        fixed_load=dict(nx=20.0, nxy=5.0), eigenvalues=10, iteration_vectors=12, write_modes=False,
        print_forces=False)


def module_run(panel):
    """One run of the panel through the module's set-up and run (12 iteration vectors, no
    certificate): wall and processor time, the iteration statistics of its listing."""
    import re

    import _zeft
    from zeft.analysis import _set_up

    size = panel.choose_preset()
    _set_up(panel, size, panel.callzeft_arguments(size))
    t0, c0 = time.perf_counter(), time.process_time()
    _zeft._set_output(lambda text: None)
    _zeft._run_panel(size)
    wall, cpu = time.perf_counter() - t0, time.process_time() - c0
    listing = Path(f"{panel.name.ljust(8)}.out").read_text(encoding="latin-1")
    stats = re.search(r"IP=\s*(\d+), JAC =\s*(\d+)", listing)
    _zeft._reset_state()
    return dict(wall=wall, cpu=cpu, steps=int(stats[1]) if stats else None, cycles=int(stats[2]) if stats else None,
                rss=resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0)


def child(lines):
    import tempfile

    import _zeft
    import zeft

    panel = target_panel(lines)
    lay = panel.layout()
    os.chdir(tempfile.mkdtemp())
    one = module_run(panel)
    t0, c0 = time.perf_counter(), time.process_time()
    result = zeft.analyse(panel, quiet=True)
    wall, cpu = time.perf_counter() - t0, time.process_time() - c0
    rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    print(json.dumps(dict(grid=f"{lay.mx} x {lay.my}", size=result.preset, freedoms=result.freedoms, wall=wall,
                          cpu=cpu, rss=rss, isa=_zeft._isa, timings=result.timings, one=one,
                          bits=hashlib.sha256(result.load_factors.tobytes() + result.eigenvectors.tobytes()).hexdigest()[:12],
                          lam=[float(v) for v in result.load_factors], certified=result.certification)))


def machine():
    name = "unknown processor"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            name = line.split(":", 1)[1].strip()
            break
    return f"{name}, {os.cpu_count()} cores, load {' '.join(f'{x:.1f}' for x in os.getloadavg())}"


def main():
    import _zeft

    lines = next((int(a.split("=", 1)[1]) for a in sys.argv[1:] if a.startswith("--lines=")), 61)
    chosen = next((a.split("=", 1)[1].split(",") for a in sys.argv[1:] if a.startswith("--isa=")), None)
    paths = chosen or list(reversed(_zeft._isa_supported))
    print(f"machine: {machine()}")
    for isa in paths:
        env = dict(os.environ, ZEFT_ISA=isa)
        res = subprocess.run([sys.executable, __file__, "--child", str(lines)], env=env, capture_output=True, text=True)
        if res.returncode != 0:
            print(f"[{isa}] failed\n{res.stdout[-2000:]}\n{res.stderr[-2000:]}")
            continue
        r = json.loads(res.stdout.strip().splitlines()[-1])
        t, one = r["timings"], r["one"]
        print(f"[{r['isa']:>8}] grid {r['grid']}, size {r['size']}, ix {r['freedoms'][0]}, iy {r['freedoms'][1]}")
        print(f"           one run, 12 vectors: {one['wall']:.2f} s (cpu {one['cpu']:.2f} s), IP {one['steps']}, "
              f"JAC {one['cycles']}, peak RSS {one['rss']:.0f} MB")
        print(f"           zeft.analyse: {r['wall']:.2f} s (cpu {r['cpu']:.2f} s; last run {t['analysis']:.2f} s, "
              f"certification {t['certification']:.2f} s), peak RSS {r['rss']:.0f} MB")
        print(f"           load factors {np.array2string(np.array(r['lam']), precision=6, max_line_width=200)}; "
              f"bits {r['bits']}; {r['certified']}")


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--child":
        child(int(sys.argv[2]))
    else:
        main()
