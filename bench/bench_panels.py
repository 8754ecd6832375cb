"""Wall time and peak memory of complete panel analyses through callzeft, next to the SciPy
pipeline a user would write for the same matrices.

    PYTHONPATH=<build dir>:python python3 bench/bench_panels.py [P1 P2 P3 P4] [--isa=avx2,baseline] [--no-scipy]

Panels (all edges simply supported, U held at x = 0 and V at y = 0, axial compression):
  P1  flat isotropic plate, W only, 31 x 31 grid lines, 10 requested of 12 iteration vectors
  P2  flat isotropic plate, W, U, V, 19 x 19 lines (preset 19), 10 of 12
  P3  curved panel (radius 2000 across the stringers), five stringers and five frames, W, U, V,
      31 x 31 lines, fixed and variable loads, 10 of 12
  P4  a stiffened panel of everyday size (two stringers, one frame, 13 x 17 lines) in
      preset 19, 4 of 10, ten runs in a row: the time is per run

Each panel runs in a fresh process, so that its peak resident memory is its own. After the
run the same matrices are assembled again through the module (incs2) and exported from the
records; the SciPy pipeline on them is: banded Cholesky of A22 (cholesky_banded), A22^-1 A21
(cho_solve_banded), S = A11 - A21^T (A22^-1 A21) by a dense product, and the lowest load
factors from scipy.linalg.eigh(B, S, subset_by_index) (B v = mu S v, lambda = 1/mu). Every panel
runs three times (P4 ten times) and the SciPy pipeline twice; the mean and the best time of
the runs are printed ("cpu": the least processor time of a run, both threads together, which
other work on the machine disturbs less than the wall time), and "ratio" is the best SciPy time over the best time of the whole
callzeft run (assembly and listing included), the best being the least disturbed by other
work on the machine;
"rel" the largest relative difference of the requested eigenvalues.

Every panel runs once on each instruction-set path of the solver kernels the processor
supports (ZEFT_ISA=baseline, avx2, avx512 in the panel's process; the paths of one panel one
after the other, so that a change of load on the machine falls on all of them alike), or on
the paths named by --isa=avx2,baseline. The header names the processor and the load average;
"bits" is a digest of the eigenvalues and vectors, the same on every path.
"""
import hashlib
import json
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

PANELS = ("P1", "P2", "P3", "P4")


def isotropic(t, e, nu):
    a = e * t / (1 - nu ** 2)
    d = a * t * t / 12
    g = 0.5 * (1 - nu)
    return [a, nu * a, a, 0, 0, g * a] + [0] * 6 + [d, nu * d, d, 0, 0, g * d]


def padded(values, n):
    out = np.zeros(n, np.int32)
    out[: len(values)] = values
    return out


def panel_arguments(name):
    """(module, keyword arguments of callzeft, runs) of one benchmark panel."""
    import _zeft
    preset = 19 if name in ("P2", "P4") else 31
    mod = getattr(_zeft, f"prtnds{preset}")
    r, s, nx = preset - 1, preset - 2, int(mod.p_nx)
    ku = [1, 0, 0, 0, 0] if name == "P1" else [1, 2, 3, 0, 0]
    skin = np.zeros((18, 2), np.float32, order="F")
    skin[:, 0] = isotropic(2.0, 70000.0, 0.3)
    skin[:, 1] = isotropic(4.0, 70000.0, 0.3)
    neigit, neigrq = 12, 10
    if name == "P4":
        # Two open stringers 150 apart on y-lines 6 and 12, one frame on x-line 7 of a 1000 long
        # panel, six elements per bay: 13 x 17 lines; skin 1.6, skin with foot 3.2.
        skin[:, 0] = isotropic(1.6, 70000.0, 0.33)
        skin[:, 1] = isotropic(3.2, 70000.0, 0.33)
        strips, stringers, frames = [1, 1, 1, 1, 2, 2, 1, 1, 1, 1, 2, 2, 1, 1, 1, 1], [6, 12], [7]
        layout = dict(stypep=1, sfootwdth=30.0, stringerpitch=150.0, framepitch=500.0, anzelzwframes=6,
                      steifxf=np.array([7e6, 0, 1.2e9, 2e6], np.float32),
                      steifyf=np.array([1.4e7, 0, 6e9, 8e6], np.float32), ryp=1e29, fnxp=0.0, fnxyp=0.0)
        neigit, neigrq = 10, 4
    elif name == "P3":
        # Strips: skin, skin, foot, foot, skin, skin: stringers on y-lines 4, 10, 16, 22, 28;
        # six elements per frame bay, frames on x-lines 4, 10, 16, 22, 28.
        strips = ([1, 1, 2, 2, 1, 1] * 5)[:r]
        stringers = [j + 1 for j in range(r - 1) if strips[j] == 2 and strips[j + 1] == 2]
        frames = [4, 10, 16, 22, 28]
        layout = dict(stypep=1, sfootwdth=40.0, stringerpitch=160.0, framepitch=600.0, anzelzwframes=6,
                      steifxf=np.array([7e6, 0, 1.2e9, 2e6], np.float32),
                      steifyf=np.array([1.4e7, 0, 6e9, 8e6], np.float32), ryp=2000.0, fnxp=20.0, fnxyp=5.0)
    else:
        strips, stringers, frames = [1] * r, [], []
        layout = dict(stypep=4, sfootwdth=0.0, stringerpitch=600.0, framepitch=600.0, anzelzwframes=r,
                      steifxf=np.zeros(4, np.float32), steifyf=np.zeros(4, np.float32), ryp=1e29,
                      fnxp=0.0, fnxyp=0.0)
    args = dict(filenamep=name, titp=f"BENCHMARK PANEL {name}", rxp=1e29, rxyp=1e29, matabdf=skin, chordwdth=0.0,
                alpha=0.0, height=0.0, loadvxp=100.0, loadvyp=0.0, loadvxyp=0.0, fnyp=0.0, alfaxp=0.0,
                alfayp=0.0, elamp=np.zeros(55), membraneforcesp=np.zeros(275), itab=0, neigit=neigit, neigrq=neigrq,
                mempri=1, indplt=0, ku=np.array(ku, np.int32), istx=padded(stringers, s), isty=padded(frames, s),
                elmstf=padded(strips, r), bndy0=np.array([0, 1, 3, 0, 0, 0, 0], np.int32),
                bndyl=np.array([0, 1, 0, 0, 0, 0, 0], np.int32), bndx0=np.array([0, 1, 2, 0, 0, 0, 0], np.int32),
                bndxl=np.array([0, 1, 0, 0, 0, 0, 0], np.int32), anzelprohalbfoot=1, anzelzwstr=4,
                anzelbelowstr=1, displ=np.zeros(nx * neigrq), **layout)
    return mod, args, 10 if name == "P4" else 3


def profile_to_dense(a, lv, n, ibd):
    A = np.zeros((n, n))
    for i in range(n):
        ja = max(0, i - ibd + 1)
        A[i, ja:i + 1] = a[lv[i] + ja:lv[i] + i + 1]
    return np.tril(A) + np.tril(A, -1).T


def profile_to_banded(a, lv, n, ibd):
    """Lower banded form ab[k, i] = A(i + k, i) for scipy.linalg.cholesky_banded."""
    ab = np.zeros((ibd, n))
    for i in range(n):
        ja = max(0, i - ibd + 1)
        row = a[lv[i] + ja:lv[i] + i + 1]
        ab[i - np.arange(ja, i + 1), np.arange(ja, i + 1)] = row
    return ab


def scipy_pipeline(mod, preset, neigrq):
    """Re-assembles the matrices of the last run, exports them and times the SciPy solution."""
    import _zeft
    import scipy.linalg as sla
    ier = np.zeros(1, np.int32)
    mod.incs2(ier)
    assert ier[0] == 0, "incs2 failed"
    rec = getattr(_zeft, f"_internal{preset}")
    ix, iy = int(_zeft.man.ix), int(_zeft.man.iy)
    lv = rec.comlv
    A11 = profile_to_dense(rec.matrix.a11, lv.lvtri, ix, ix)
    B = profile_to_dense(rec.matrix.b11, lv.lvb, ix, int(rec.f07ina.ibdx))
    if iy:
        ibdy = int(rec.f07ina.ibdy)
        ab = profile_to_banded(rec.matrix.a22, lv.lva22, iy, ibdy)
        A21 = np.asfortranarray(np.asarray(rec.matrix.a21).reshape(-1, int(mod.p_nx), order="F")[:iy, :ix])
    t = time.perf_counter()
    if iy:
        cb = sla.cholesky_banded(ab, lower=True)
        Z = sla.cho_solve_banded((cb, True), A21)
        S = A11 - A21.T @ Z
    else:
        S = A11
    mu = sla.eigh(B, S, eigvals_only=True, subset_by_index=[ix - neigrq, ix - 1])
    t = time.perf_counter() - t
    lam = np.sort(1.0 / mu)
    return t, lam


def timed(call, runs):
    """Wall and processor times (both threads) of `runs` calls, as two lists."""
    wall, cpu = [], []
    for _ in range(runs):
        c, t = time.process_time(), time.perf_counter()
        call()
        wall.append(time.perf_counter() - t)
        cpu.append(time.process_time() - c)
    return wall, cpu


def one(name, with_scipy=True):
    mod, args, runs = panel_arguments(name)
    preset = int(mod.p_rtnds)
    folder = tempfile.mkdtemp(prefix=f"bench_{name}_")
    os.chdir(folder)
    neigrq = int(args["neigrq"])
    times, cpu = timed(lambda: mod.callzeft(**args), runs)
    rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    elam = np.array(args["elamp"])[:neigrq]
    import _zeft
    bits = hashlib.sha256(elam.tobytes() + np.asarray(args["displ"]).tobytes()).hexdigest()[:12]
    out = dict(name=name, preset=preset, ix=int(_zeft.man.ix), iy=int(_zeft.man.iy), runs=runs,
               time=sum(times) / runs, best=min(times), cpu=min(cpu), rss=rss, isa=_zeft._isa, bits=bits)
    listing = next(Path(folder).glob("*.out"))
    for line in listing.read_text().splitlines():
        if line.strip().startswith("IP="):
            out["stats"] = line.strip()
    if with_scipy:
        ts, lam = min(scipy_pipeline(mod, preset, neigrq) for _ in range(2))
        out["scipy"] = ts
        out["rel"] = float(np.max(np.abs(np.sort(elam) - lam) / np.abs(lam)))
    print(json.dumps(out))


def cpu_model():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown processor"


def load():
    try:
        return " ".join(f"{x:.1f}" for x in os.getloadavg())
    except OSError:
        return "unknown"


def run_one(name, isa, with_scipy=True):
    env = dict(os.environ, ZEFT_ISA=isa)
    res = subprocess.run([sys.executable, __file__, "--one", name] + ([] if with_scipy else ["--no-scipy"]),
                         capture_output=True, text=True, env=env)
    line = [l for l in res.stdout.splitlines() if l.startswith("{")]
    if res.returncode != 0 or not line:
        print(f"{name} [{isa}]: failed\n{res.stdout[-2000:]}\n{res.stderr[-2000:]}")
        return None
    r = json.loads(line[-1])
    per = " per run" if r["runs"] > 1 else ""
    extra = ""
    if "scipy" in r:
        extra = f"  scipy {r['scipy']:7.3f} s  ratio {r['scipy'] / r['best']:6.1f}x  rel {r['rel']:.1e}"
    print(f"{name} [{r['isa']:>8}]: preset {r['preset']}, ix {r['ix']:5d}, iy {r['iy']:5d}: {r['time']:7.3f} s{per}"
          f" (best {r['best']:.3f}, cpu {r['cpu']:.3f})  peak RSS {r['rss']:6.0f} MB{extra}  bits {r['bits']}  [{r.get('stats', '')}]",
          flush=True)
    return r


def main(names, paths, with_scipy=True):
    if not paths:
        import _zeft
        paths = list(reversed(_zeft._isa_supported))
    print(f"{cpu_model()}, {os.cpu_count()} logical cores, paths {', '.join(paths)}; load average {load()}",
          flush=True)
    for name in names:
        bits = {r["bits"] for r in (run_one(name, isa, with_scipy) for isa in paths) if r}
        if len(bits) > 1:
            print(f"{name}: THE PATHS DIFFER IN THEIR RESULTS", flush=True)
    print(f"load average at the end {load()}")


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--one":
        one(sys.argv[2], "--no-scipy" not in sys.argv)
    else:
        chosen = [a.split("=", 1)[1] for a in sys.argv[1:] if a.startswith("--isa=")]
        main([a for a in sys.argv[1:] if a in PANELS] or list(PANELS), chosen[-1].split(",") if chosen else [],
             "--no-scipy" not in sys.argv)
