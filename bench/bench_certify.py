"""Cost of certifying the load factors of the benchmark panels, against the run itself.

    PYTHONPATH=<build dir>:python python3 bench/bench_certify.py [P1 P2 P3 P4] [--reassemble]

Each panel of bench_panels.py runs through callzeft (best of three, P4 of ten), then its
load factors and W eigenvectors are certified by _certify (best of three) on the matrices the
run kept: the Sturm counts on both sides (two L D L^T factorisations of the shifted coupled
matrix, side by side) and the residuals through the run's factor of A22. With --reassemble
the records are assembled again (incs2) before, which makes _certify assemble them once more
and factorise A22 and lay out the coupled matrix itself, as for a run that kept nothing. "share" is the
best certification time over the best run time ("cpu": the same for the processor time of
both threads, which other work on the machine disturbs less); the load average is printed
beside it, since the machine may be shared.
"""
import os
import sys
import tempfile

import numpy as np

from bench_panels import PANELS, panel_arguments, timed


def one(name, reassemble):
    import _zeft
    mod, args, runs = panel_arguments(name)
    os.chdir(tempfile.mkdtemp(prefix=f"certify_{name}_"))
    run, run_cpu = timed(lambda: mod.callzeft(**args), runs)
    n, preset, ix = int(args["neigrq"]), int(mod.p_rtnds), int(_zeft.man.ix)
    lam = np.array(args["elamp"][:n])
    vec = np.asarray(args["displ"]).reshape(n, int(mod.p_nx))[:, :ix].T
    if reassemble:
        mod.incs2(np.zeros(1, np.int32))
    certificates = []
    cert, cert_cpu = timed(lambda: certificates.append(_zeft._certify(preset, lam, vec)), 3)
    c = certificates[-1]
    ok = c["found"] == c["reported"] and c["residuals"].max() < 1e-6
    print(f"{name}{' (reassembled)' if reassemble else ''}: run {min(run):7.3f} s  certify {min(cert):6.3f} s  share {min(cert) / min(run):5.1%}  "
          f"(cpu {min(cert_cpu) / min(run_cpu):5.1%})  "
          f"max residual {c['residuals'].max():.1e}  counts {c['found']} of {c['reported']}  "
          f"{'certified' if ok else 'NOT CERTIFIED'}  (load average {os.getloadavg()[0]:.1f})", flush=True)


if __name__ == "__main__":
    for name in [a for a in sys.argv[1:] if a in PANELS] or list(PANELS):
        one(name, "--reassemble" in sys.argv)
