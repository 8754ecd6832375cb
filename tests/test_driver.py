"""Analysis driver zeftmain and buckling run control buvi: normalisation of the function
codes and the radii rule, the files of a run, the stop block and its order, the error blocks
of buvi, the run without eigen analysis, and one complete listing of a stiffened, curved,
oblique panel compared line by line with a reference listing, through every size preset."""
import contextlib
import json
import os
import resource
import signal
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

from conftest import FINISHED, FLAGS, N_PLATE, STOP, Hidden, callzeft_args, isotropic, prepare_records, read, zeftmain_args

_zeft = pytest.importorskip("_zeft")
MODULES = {31: _zeft.prtnds31, 19: _zeft.prtnds19, 21: _zeft.prtnds21, 25: _zeft.prtnds25}
P31 = _zeft.prtnds31
GOLDEN = Path(__file__).parent / "data" / "golden_panel.out"
STARTED = " Analysis started"


# ----------------------------------------------------------------------------- control values

@pytest.mark.parametrize("kup, ku, knfun, radii_from_arguments", [
    ([0, 3, 0, 1, 2], [1, 2, 3, 0, 0], 3, True),
    ([5, 0, 1, 4, 0], [1, 4, 5, 0, 0], 3, False),   # W, BETA, GAMMA: a plate set
    ([1, 0, 0, 0, 0], [1, 0, 0, 0, 0], 1, False),
    ([0, 0, 0, 0, 0], [0, 0, 0, 0, 0], 0, True),
])
def test_function_codes_and_radii(work_folder, kup, ku, knfun, radii_from_arguments):
    prepare_records(31)
    _zeft.f07inb.rx, _zeft.f07inb.ry, _zeft.f07inb.rxy = 7.0, 8.0, 9.0
    _zeft.prtnds31.zeftmain(**zeftmain_args(31, kup=kup, rxp=100.0, ryp=200.0, rxyp=300.0))
    assert list(_zeft.f07ina.ku) == ku and _zeft.f07ina.knfun == knfun
    radii = (float(_zeft.f07inb.rx), float(_zeft.f07inb.ry), float(_zeft.f07inb.rxy))
    assert radii == ((100.0, 200.0, 300.0) if radii_from_arguments else (7.0, 8.0, 9.0))


# ----------------------------------------------------------------------------- files of a run

@pytest.mark.parametrize("name", ["../UP", "/tmp/x", "a/b", "a\x00b"])
@pytest.mark.parametrize("routine", ["callzeft", "zeftmain"])
def test_a_project_name_leaving_the_working_folder_is_refused(work_folder, name, routine):
    args = callzeft_args(filenamep=name) if routine == "callzeft" else zeftmain_args(proj=name)
    with pytest.raises(_zeft.error, match="must name a file in the working folder"):
        getattr(P31, routine)(**args)
    assert not list(work_folder.iterdir()) and not list(work_folder.parent.glob("UP*"))


@pytest.mark.parametrize("routine", ["callzeft", "zeftmain"])
@pytest.mark.parametrize("obstacle, says", [
    ("directory", ['CANNOT OPEN FILE "FAIL    .out"']),
    ("full disk", ['FILE "FAIL    .out": WRITE ERROR', "ANALYSIS LISTING FAIL    .out IS INCOMPLETE"])])
def test_a_listing_that_cannot_be_written_ends_the_run_unfinished(capfd, routine, obstacle, says):
    if obstacle == "directory":
        os.mkdir("FAIL    .out")
    args = callzeft_args(filenamep="FAIL") if routine == "callzeft" else zeftmain_args(proj="FAIL")
    prepare_records()
    with disk_full_after(512 if obstacle == "full disk" else None):
        getattr(P31, routine)(**args)
    out = capfd.readouterr().out.splitlines()
    assert all(any(text in line for line in out) for text in says)
    assert STOP in out and FINISHED not in out
    if routine == "callzeft" and obstacle == "directory":
        assert not args["elamp"].any()          # the run ended before the analysis


def test_a_mode_shape_file_that_cannot_be_written_is_an_error_of_the_mode_shapes(capfd):
    os.mkdir("PLOT    MODES.txt")
    P31.callzeft(**callzeft_args(filenamep="PLOT", indplt=1))
    out = capfd.readouterr().out.splitlines()
    line = " " * 16 + "ERROR WHEN COMPUTING/PRINTING MODE SHAPES"
    assert line in out and FINISHED not in out
    assert read("PLOT    .out")[-1] == line        # flushed although the listing stays open


def test_vibration_request_reads_the_masses_and_declines(work_folder, capfd):
    h = prepare_records(31)
    _zeft.antype.vibr = 1
    Path("fort.8").write_text("&title tit='x' /\n&inert dom = 4.5E-6, domx = 1.5, 2.5 /\n")
    _zeft.prtnds31.zeftmain(**zeftmain_args(31))
    listing = read("PANEL   .out")
    assert h.densit[0] == np.float32(4.5e-6) and list(h.domx[:3]) == [1.5, 2.5, 0.0]
    assert " ANALYSIS OF EIGENFREQUENCIES NOT SUPPORTED IN THIS VERSION OF ZEFT!" in listing
    assert not any("FUNCTIONAL DOFS" in line for line in listing)   # no input echo
    assert capfd.readouterr().out.splitlines()[-1] == FINISHED


# ----------------------------------------------------------------------------- failures

def test_buckling_and_vibration_together_stop_at_the_type_check(work_folder, capfd):
    prepare_records(31)
    _zeft.antype.vibr = 1
    _zeft.prtnds31.zeftmain(**zeftmain_args(31, buckp=1))
    both = "    BUCKLING AND VIBRATION ANALYSIS HAVE TO BE DONE IN SEPARATE JOBS"
    reasons = [" " * 16 + "ERROR ENCOUNTERED WHEN CHECKING ANALYSIS TYPE", " " * 16 + "IN SUBROUTINE CKTYPE"]
    assert capfd.readouterr().out.splitlines() == [both, STOP] + reasons
    assert read("PANEL   .out") == [both, STOP] + reasons   # flushed although still open


@pytest.mark.parametrize("change, arguments_changed, block", [
    # the input check refuses the grid: its code is passed on with the routine's name
    (lambda h: setattr(_zeft.f07ina, "mx", 40), {},
     [" MESSAGE FROM SUBROUTINE BUVI:", " ERROR REPORTED FROM SUBROUTINE     RDDATA  IER= 12"]),
    # no function is active: the pointer vector of B cannot be laid out for zero freedoms
    (None, {"kup": [0, 0, 0, 0, 0]},
     [" MESSAGE FROM SUBROUTINE BUVI:", " ERROR REPORTED FROM SUBROUTINE     MKLVBD  IER=  1", " for LVB"]),
    # skew axes 80 degrees apart
    (None, {"alfaxp": 80.0},
     [" MESSAGE FROM SUBROUTINE BUVI:", " ERROR REPORTED FROM SUBROUTINE     TFMSTF  IER=  1"]),
    # a stringer on a skin without membrane stiffness: no compliance for its forces
    (lambda h: h.matabd.__setitem__((slice(0, 6), 0), 0.0), {"istxp": np.r_[2, np.zeros(28)]},
     [" MESSAGE FROM SUBR. BUVI:", "MEMBR. STIFFN. INCORRECT"]),
])
def test_failing_run_control_ends_with_the_stop_block(work_folder, capfd, change, arguments_changed, block):
    h = prepare_records(31)
    if change:
        change(h)
    _zeft.prtnds31.zeftmain(**zeftmain_args(31, **arguments_changed))
    out = capfd.readouterr().out.splitlines()
    listing = read("PANEL   .out")
    tail = [STOP, " " * 16 + "ERROR REPORT FROM SUBROUTINE BUVI"]
    assert listing[-len(block) - 2:] == block + tail
    assert out[-2:] == tail and FINISHED not in out
    if block[0] == " MESSAGE FROM SUBROUTINE BUVI:":
        assert out[-len(block) - 2:-2] == block
    else:
        assert block[1] not in out   # the membrane-stiffness message goes to the listing only


def test_a_listing_left_open_is_continued_by_the_next_run_of_the_same_name(work_folder):
    prepare_records(31)
    _zeft.f07ina.mx = 1
    _zeft.prtnds31.zeftmain(**zeftmain_args(31))
    first = read("PANEL   .out")
    prepare_records(31)
    _zeft.prtnds31.zeftmain(**zeftmain_args(31))
    both = read("PANEL   .out")
    assert both[: len(first)] == first and first[-2] == STOP
    assert both[len(first):][:2] == [" STOP. ANALYSIS TYPE MUST BE BUCK OR VIBR", "1"]


# ----------------------------------------------------------------------------- reference listing

def golden_run(n):
    """A stiffened (one stringer, two frames), curved (RY = 750), oblique (10 and -5 degrees)
    panel of 7 x 3 subdivision lines with edge-wise boundary codes, two data sets, prescribed
    and variable membrane forces, without eigen analysis. The functions W, U, GAMMA make the
    key matrix print the inactive V. One x-length just fills its field, one overflows it, and
    so does the x edge length."""
    r, s = n - 1, n - 2
    h = prepare_records(n, mx=7, my=3)
    _zeft.antype.strs = _zeft.antype.inpb = 1
    h.matabd[:, 1] = isotropic(3.0)
    h.matabd[6:12, 1] = (100.0, 20.0, 100.0, 0.0, 0.0, 40.0)
    nodes = np.arange(1, 22, dtype=np.float32)
    h.pfest[:21, 0], h.pfest[:21, 1] = -10.0 * nodes, 2.5
    h.pvar[:21, 0], h.pvar[:21, 2] = -1.0, -0.25 * nodes
    steifx, steify = np.zeros((4, s)), np.zeros((4, s))
    steifx[:, 0] = (7.0e6, 1.5e5, 2.4e9, 3.0e7)
    steify[:, 0], steify[:, 1] = (5.0e6, 0.0, 1.8e9, 2.0e7), (5.5e6, 0.0, 1.9e9, 2.1e7)
    MODULES[n].zeftmain(**zeftmain_args(
        n, proj="GOLDEN", titp="GOLDEN PANEL: STIFFENED, CURVED AND OBLIQUE", neigitp=60, neigrqp=4,
        kup=[5, 0, 1, 2, 0], ap=np.r_[150.0, 150.0, 4.0e8, 1.5e9, 3.0e8, 150.0, np.zeros(r - 6)],
        bp=np.r_[40.0, 12.5, np.zeros(r - 2)],
        bndy0p=[0, 1, 2, 0, 0, 0, 0], bndylp=[-1, 0, 0, 0, 0, 0, 0],
        bndx0p=[1, 0, 0, 0, 0, 0, 0], bndxlp=[0, 3, 6, 0, 0, 0, 0],
        rxp=1e29, ryp=750.0, rxyp=-1e20, istxp=np.r_[2, np.zeros(s - 1)],
        istyp=np.r_[3, 5, np.zeros(s - 2)], elmstfp=np.r_[1, 2, np.zeros(r - 2)],
        steifxp=steifx, steifyp=steify, alfaxp=10.0, alfayp=-5.0))
    return read("GOLDEN  .out")


@pytest.mark.parametrize("n", [31, 19, 21, 25])
def test_reference_listing(work_folder, capfd, n):
    listing = golden_run(n)
    expected = GOLDEN.read_text().splitlines()
    for k, (got, want) in enumerate(zip(listing, expected), start=1):
        assert got == want, f"line {k}"
    assert len(listing) == len(expected)
    out = capfd.readouterr().out.splitlines()
    assert out[0] == " STOP. ANALYSIS TYPE MUST BE BUCK OR VIBR"
    assert out[-1] == FINISHED and STARTED in out


# ----------------------------------------------------------------------------- after an earlier run

# Earlier runs that succeed: the same panel at three times the load, a wider grid that fills more
# of the records, a finer one that leaves more vector rows behind.
EARLIER = {"three times the load": dict(loadvxp=3 * N_PLATE),
           "wider grid": dict(stypep=4, stringerpitch=300.0, elmstf=[1] * 30),
           "finer grid": dict(anzelzwframes=12, anzelzwstr=8)}
# Earlier runs that fail through their arguments alone.
_WEAK = np.asfortranarray(callzeft_args()["matabdf"])
_WEAK[[0, 2, 5], 0] = 1e-20
FAILING = {"input check": dict(bndy0=[0, 9, 0, 0, 0, 0, 0]), "curvature": dict(rxp=0.0),
           "membrane stiffness": dict(matabdf=_WEAK), "eigen solution": dict(loadvxp=0.0),
           "supports": dict(bndy0=[0] * 7, bndyl=[0] * 7, bndx0=[0] * 7, bndxl=[0] * 7)}


def _earlier_run(kind):
    """Makes one earlier run of the kind named, failed unless in EARLIER, in the current folder."""
    changes = {"filenamep": "FAIL", **EARLIER.get(kind, {}), **FAILING.get(kind, {})}
    if kind == "precheck":
        with pytest.raises(_zeft.error):
            P31.callzeft(**callzeft_args(filenamep="FAIL", neigrq=99))
        return
    if kind == "listing":
        os.mkdir("FAIL    .out")
    elif kind == "type check":
        _zeft.antype.vibr = 1
    elif kind == "stringer data":
        _zeft.antype.cripan = 1
        Hidden(31).stype[0] = 1
    elif kind == "global check":
        _zeft.antype.glban = 1
        _zeft.stringercom.footth = -1.0
    elif kind == "mode shapes":
        os.mkdir("FAIL    MODES.txt")
        changes["indplt"] = 1
    elif kind == "plot grid":
        _zeft.plotin.npx = -6
        changes["indplt"] = 1
    elif kind == "other preset":
        _zeft.antype.vibr = 1
        _zeft.prtnds19.callzeft(**callzeft_args(19, filenamep="FAIL"))
        return
    with disk_full_after(8192 if kind == "full disk" else None):
        P31.callzeft(**callzeft_args(**changes))


@contextlib.contextmanager
def disk_full_after(size):
    """Files of this process cannot grow beyond size bytes (None: no limit), as on a full disk:
    a write beyond fails instead of ending the process."""
    if size is None:
        yield
        return
    handler = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    limits = resource.getrlimit(resource.RLIMIT_FSIZE)
    resource.setrlimit(resource.RLIMIT_FSIZE, (size, limits[1]))
    try:
        yield
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, limits)
        signal.signal(signal.SIGXFSZ, handler)


def _valid_run_after(kind):
    """Body of a fresh process: an earlier run (unless kind is None), then a valid run whose
    results it prints. What persists between runs by design (analysis flags, symmetry codes,
    plot options, stringer data) is set to the same values before the valid run."""
    os.chdir(sys.argv[1])
    if kind:
        _earlier_run(kind)
    for flag in FLAGS:
        setattr(_zeft.antype, flag, 0)
    _zeft.plotin.npx = _zeft.plotin.npy = 20
    _zeft.plotin.isymx = _zeft.plotin.isymy = 0
    _zeft.stringercom.footth = 0.0
    args = callzeft_args(filenamep="VALID", indplt=1)
    P31.callzeft(**args)
    print(json.dumps({key: args[key].tobytes().hex() for key in ("elamp", "membraneforcesp", "displ")}
                     | {"listing": Path("VALID   .out").read_text(), "modes": Path("VALID   MODES.txt").read_text()}))


def _in_fresh_process(kind, folder):
    folder.mkdir()
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([str(Path(_zeft.__file__).parent), str(Path(__file__).parent),
                                         env.get("PYTHONPATH", "")])
    proc = subprocess.run([sys.executable, "-c", f"import test_driver as t; t._valid_run_after({kind!r})",
                           str(folder)], capture_output=True, text=True, env=env, timeout=300)
    assert proc.returncode == 0, proc.stderr
    return json.loads(proc.stdout.splitlines()[-1])


@pytest.fixture(scope="module")
def fresh(tmp_path_factory):
    return _in_fresh_process(None, tmp_path_factory.mktemp("fresh") / "run")


@pytest.mark.parametrize("kind", [
    "precheck", "listing", "full disk", "type check", "stringer data", "global check", "mode shapes",
    "plot grid", "other preset", *FAILING, *EARLIER])
def test_a_run_does_not_depend_on_the_runs_before_it_failed_or_not(tmp_path, fresh, kind):
    after = _in_fresh_process(kind, tmp_path / "run")
    for key in ("elamp", "membraneforcesp", "displ", "modes", "listing"):
        assert after[key] == fresh[key], f"{key} differs after an earlier run ({kind})"
