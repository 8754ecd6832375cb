"""Wall time of a small analysis through callzeft, where the input echo, the listing and the
mode-shape file weigh most: a flat simply supported 4 x 4 plate (three strips, three elements
along), W only, preset 19, 4 of 6 iteration vectors, mode shapes written.

    PYTHONPATH=<build dir>:python python3 bench/bench_small.py [runs]

Prints the best and the median time of the runs (default 200) in one process, and the size of
the files written.
"""
import os
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).parent))
from bench_panels import isotropic, padded  # noqa: E402


def plate_arguments():
    import _zeft
    mod = _zeft.prtnds19
    r, s, nx = 18, 17, int(mod.p_nx)
    skin = np.zeros((18, 2), np.float32, order="F")
    skin[:, 0] = skin[:, 1] = isotropic(2.0, 70000.0, 0.3)
    neigit, neigrq = 6, 4
    args = dict(filenamep="SMALL", titp="SMALL PLATE", rxp=1e29, ryp=1e29, rxyp=1e29, matabdf=skin,
                steifxf=np.zeros(4, np.float32), steifyf=np.zeros(4, np.float32), framepitch=300.0,
                stringerpitch=100.0, stypep=1, chordwdth=0.0, sfootwdth=0.0, alpha=0.0, height=0.0,
                loadvxp=100.0, loadvyp=0.0, loadvxyp=0.0, fnxp=0.0, fnxyp=0.0, fnyp=0.0, alfaxp=0.0, alfayp=0.0,
                elamp=np.zeros(55), membraneforcesp=np.zeros(275), itab=0, neigit=neigit, neigrq=neigrq,
                mempri=1, indplt=1, ku=padded([1, 0, 0, 0, 0], 5), istx=padded([], s), isty=padded([], s),
                elmstf=padded([1, 1, 1], r), bndy0=padded([0, 1, 0, 0, 0, 0, 0], 7),
                bndyl=padded([0, 1, 0, 0, 0, 0, 0], 7), bndx0=padded([0, 1, 0, 0, 0, 0, 0], 7),
                bndxl=padded([0, 1, 0, 0, 0, 0, 0], 7), anzelzwframes=3, anzelprohalbfoot=1, anzelzwstr=1,
                anzelbelowstr=1, displ=np.zeros(nx * neigrq))
    return mod, args


def main(runs):
    import _zeft
    mod, args = plate_arguments()
    folder = tempfile.mkdtemp(prefix="bench_small_")
    os.chdir(folder)
    saved = os.dup(1)
    os.dup2(os.open(os.devnull, os.O_WRONLY), 1)  # the run's progress lines
    times = []
    try:
        for _ in range(runs):
            t = time.perf_counter()
            mod.callzeft(**args)
            times.append(time.perf_counter() - t)
    finally:
        os.dup2(saved, 1)
    files = ", ".join(f"{p.name} {p.stat().st_size} B" for p in sorted(Path(folder).iterdir()))
    print(f"4 x 4 plate, W only (ix {int(_zeft.man.ix)}): best {1e3 * min(times):.2f} ms, median "
          f"{1e3 * float(np.median(times)):.2f} ms over {runs} runs [{_zeft._isa}]; {files}")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 200)
