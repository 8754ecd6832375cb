"""Robustness of the module against what a caller may pass: indices from records and arguments
checked before use, output files that cannot be written, project names that would leave the
working folder, non-finite input, and runs that leave nothing behind that changes the next run.
"""
import json
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

from test_front_end import panel

_zeft = pytest.importorskip("_zeft")

P31, P19 = _zeft.prtnds31, _zeft.prtnds19
STOP = "    MAIN PROGRAM:   EXECUTION STOPPED."
FINISHED = " Buckling/Vibration analysis finished"
FLAGS = ("temp", "strs", "buck", "vibr", "inpb", "cripan", "glban")


# Records that persist between runs and that these tests change: restored afterwards.
KEPT = [(_zeft.antype, FLAGS), (_zeft._internal31.f07inb, ("rx", "ry", "rxy")),
        (_zeft._internal31.f07ang, ("alfax", "alfay")), (_zeft.stringercom, ("footth",)),
        (_zeft.plotin, ("npx", "npy", "isymx", "isymy", "mdsplt", "nmod", "indplt")),
        (_zeft.f07ind, ("idesup", "numsup")), (_zeft.datran, ("nread", "nwrite"))]


@pytest.fixture
def folder(work_folder):
    kept = [(rec, name, getattr(rec, name).copy()) for rec, names in KEPT for name in names]
    for flag in FLAGS:
        setattr(_zeft.antype, flag, 0)
    _zeft.plotin.npx = _zeft.plotin.npy = 20
    _zeft.plotin.isymx = _zeft.plotin.isymy = 0
    yield work_folder
    for rec, name, value in kept:
        setattr(rec, name, value)


def code():
    return np.zeros(1, np.int32)


def listing(name):
    return Path(name).read_text().splitlines()


# ----------------------------------------------------------------------------- indices

@pytest.mark.parametrize("i, j", [(0, 1), (1, 0), (11, 1), (1, 7), (-5, -5), (2 ** 31 - 1, 1)])
def test_iuoriv_refuses_an_element_outside_the_grid(folder, i, j):
    P31.callzeft(**panel(31))                      # grid of 7 x-lines and 11 y-lines
    iu, ier = np.full((4, 4), -7, np.int32, order="F"), code()
    P31.iuoriv(i, j, 1, iu, ier)
    assert ier[0] != 0


@pytest.mark.parametrize("xory, ii, jj, ifun", [
    ("Q", 1, 1, 2), ("X", 0, 1, 2), ("X", 1, 12, 2), ("Y", 8, 1, 2), ("Y", 1, 1, 9),
    ("X", -3, 2 ** 31 - 1, 2)])
def test_kuorkv_refuses_a_direction_node_or_function_outside_its_range(folder, xory, ii, jj, ifun):
    P31.callzeft(**panel(31))
    kv, ier = np.zeros((2, 4), np.int32, order="F"), code()
    P31.kuorkv(xory, ii, jj, ifun, kv, ier)
    assert ier[0] != 0


@pytest.mark.parametrize("mx, my", [(40, 3), (3, -1), (2 ** 31 - 1, 2 ** 31 - 1)])
def test_index_maps_refuse_a_grid_outside_the_preset(folder, mx, my):
    P19.callzeft(**panel(19))
    h = _zeft._internal19
    h.f07ina.mx, h.f07ina.my = mx, my
    iu, kv, ier = np.zeros((4, 4), np.int32, order="F"), np.zeros((2, 4), np.int32, order="F"), code()
    P19.iuoriv(1, 1, 1, iu, ier)
    assert ier[0] != 0
    ier[0] = 0
    P19.kuorkv("X", 1, 1, 2, kv, ier)
    assert ier[0] != 0


def test_stringer_on_a_y_line_beyond_the_grid_is_refused_by_the_a11_stiffener_terms(folder):
    P31.callzeft(**panel(31))
    h = _zeft._internal31
    h.f07dis.istx[0] = h.f07ina.my + 5
    a11 = np.zeros(_zeft.man.ix * (_zeft.man.ix + 1) // 2)
    ier = code()
    P31.a11xst(a11, ier)
    assert ier[0] != 0
    assert not a11.any()


def test_modes_beyond_the_computed_ones_are_not_plotted(folder):
    P31.callzeft(**panel(31, indplt=1))
    _zeft.plotin.mdsplt[:3] = [2, 40, -1]
    _zeft.plotin.nmod = 3
    ier = code()
    P31.modes(ier)
    _zeft._close_unit(9)
    assert ier[0] == 0
    text = listing("fort.9")
    assert " SELECTED MODE  40 IS NOT AMONG THE  3 COMPUTED MODES, NOT PLOTTED" in text
    assert " SELECTED MODE  -1 IS NOT AMONG THE  3 COMPUTED MODES, NOT PLOTTED" in text


@pytest.mark.parametrize("column", [[1, 1, 99, 2], [9, 1, 2, 2], [1, 7, 2, 2], [1, 1, 2, -4]])
def test_setkey_skips_a_suppressed_freedom_outside_the_grid_or_codes(folder, column):
    P31.callzeft(**panel(31))
    ix, iy = code(), code()
    P31.setkey(ix, iy)
    counts = ix[0], iy[0]
    _zeft.f07ind.idesup[:, 0] = column
    _zeft.f07ind.numsup = 1
    P31.setkey(ix, iy)
    assert (ix[0], iy[0]) == counts
    _zeft.f07ind.numsup = 10 ** 6
    P31.setkey(ix, iy)
    assert (ix[0], iy[0]) == counts
    _zeft.f07ind.idesup[:, 0] = 0
    _zeft.f07ind.numsup = 0


@pytest.mark.parametrize("mx, my", [(1, 11), (7, 0), (7, 32)])
def test_prtout_writes_no_echo_for_a_grid_outside_the_preset(folder, mx, my):
    h = _zeft._internal31
    h.f07ina.mx, h.f07ina.my = mx, my
    _zeft.datran.nwrite = 9
    P31.prtout(*[np.zeros((rows, 900), np.float32, order="F") for rows in (6,) * 6 + (3,)])
    _zeft._close_unit(9)
    text = listing("fort.9")
    assert " INPUT ECHO NOT WRITTEN" in text


# ----------------------------------------------------------------------------- files

@pytest.mark.parametrize("name", ["../UP", "/tmp/x", "a/b", "a\x00b"])
@pytest.mark.parametrize("routine", ["callzeft", "zeftmain"])
def test_a_project_name_leaving_the_working_folder_is_refused(folder, name, routine):
    from test_driver import arguments
    args = panel(31, filenamep=name) if routine == "callzeft" else arguments(31, proj=name)
    with pytest.raises(_zeft.error, match="must name a file in the working folder"):
        getattr(P31, routine)(**args)
    assert not list(folder.iterdir()) and not list(folder.parent.glob("UP*"))


def test_a_listing_that_cannot_be_opened_is_reported_and_ends_the_run(folder, capfd):
    os.mkdir("BLOCKED .out")
    args = panel(31, filenamep="BLOCKED")
    P31.callzeft(**args)
    out = capfd.readouterr().out.splitlines()
    assert any('CANNOT OPEN FILE "BLOCKED .out"' in line for line in out)
    assert STOP in out and FINISHED not in out
    assert not args["elamp"].any()


def test_a_listing_on_a_full_disk_does_not_end_as_a_finished_run(folder, capfd):
    os.symlink("/dev/full", "FULL    .out")
    P31.callzeft(**panel(31, filenamep="FULL"))
    out = capfd.readouterr().out.splitlines()
    assert any('FILE "FULL    .out": WRITE ERROR' in line for line in out)
    assert STOP in out and FINISHED not in out
    assert any("ANALYSIS LISTING FULL    .out IS INCOMPLETE" in line for line in out)


@pytest.mark.parametrize("obstacle", ["directory", "full"])
def test_a_mode_shape_file_that_cannot_be_written_is_an_error_of_the_mode_shapes(folder, capfd, obstacle):
    if obstacle == "directory":
        os.mkdir("PLOT    MODES.txt")
    else:
        os.symlink("/dev/full", "PLOT    MODES.txt")
    P31.callzeft(**panel(31, filenamep="PLOT", indplt=1))
    out = capfd.readouterr().out.splitlines()
    line = " " * 16 + "ERROR WHEN COMPUTING/PRINTING MODE SHAPES"
    assert line in out and FINISHED not in out
    assert listing("PLOT    .out")[-1] == line        # flushed although the listing stays open


def test_a_failed_run_leaves_its_stop_block_on_disk(folder):
    _zeft.antype.vibr = 1                          # buckling and vibration: the type check fails
    P31.callzeft(**panel(31, filenamep="TYPES"))
    text = listing("TYPES   .out")                 # read while unit 9 is still connected
    assert text[-3:] == [STOP, " " * 16 + "ERROR ENCOUNTERED WHEN CHECKING ANALYSIS TYPE",
                         " " * 16 + "IN SUBROUTINE CKTYPE"]


# ----------------------------------------------------------------------------- non-finite input

@pytest.mark.parametrize("change, named", [
    (dict(loadvxp=np.nan), "loadvxp = nan"), (dict(fnxyp=-np.inf), "fnxyp = -inf"),
    (dict(framepitch=np.inf), "framepitch = inf"), (dict(rxp=np.nan), "rxp is not a number"),
    (dict(alfaxp=np.inf), "alfaxp = inf"), (dict(sfootwdth=np.nan), "sfootwdth = nan"),
    (dict(steifxf=[0, 0, np.nan, 0]), "steifxf holds a stiffness that is not finite \\(entry 3 = nan"),
])
def test_front_end_names_a_non_finite_value(folder, change, named):
    args = panel(31, **change)
    with pytest.raises(_zeft.error, match=named):
        P31.callzeft(**args)
    assert not list(folder.iterdir())


@pytest.mark.parametrize("member, index, value, text", [
    ("pvar", (4, 0), np.nan, " VARIABLE MEMBRANE FORCE PVAR(5,1) =            NAN IS NOT A FINITE NUMBER"),
    ("pfest", (0, 2), np.inf, " PRESCRIBED MEMBRANE FORCE PFEST(1,3) =      +INFINITY IS NOT A FINITE NUMBER"),
    ("steifx", (2, 0), -np.inf, " STRINGER STIFFNESS STEIFX(3,1) =      -INFINITY IS NOT A FINITE NUMBER"),
    ("matabd", (12, 0), np.nan, " SKIN STIFFNESS MATABD(13,1) =            NAN IS NOT A FINITE NUMBER"),
    ("a", (1,), np.nan, " SUBDIVISION LENGTH A(2) =            NAN IS NOT A POSITIVE NUMBER"),
    ("rx", None, np.nan, " RADIUS OF CURVATURE RX =            NAN IS NOT A NUMBER"),
    ("alfay", None, np.inf, " ANGLE OF OBLIQUENESS ALFAY =      +INFINITY IS NOT A FINITE NUMBER"),
])
def test_rddata_names_a_non_finite_value(folder, member, index, value, text):
    P31.callzeft(**panel(31, filenamep="GOOD"))
    h = _zeft._internal31
    owner = {"pvar": h.cpvar, "pfest": h.cpfest, "steifx": h.f07dis, "matabd": h.skstf, "a": h.f07ina,
             "rx": h.f07inb, "alfay": h.f07ang}[member]
    if index is None:
        setattr(owner, member, value)
    else:
        getattr(owner, member)[index] = value
    _zeft.datran.nwrite, _zeft.datran.nread = 9, 8
    arrays = [np.zeros((rows, 900), np.float32, order="F") for rows in (6,) * 6 + (3,)]
    ier = code()
    P31.rddata(*arrays, ier)
    _zeft._close_unit(9)
    assert ier[0] == 12
    assert text in listing("fort.9")


# ----------------------------------------------------------------------------- state hygiene

def _fail_with_directory(name):
    os.mkdir(name)


def _failure(kind):
    """Makes one failed run of the kind named (in the current folder)."""
    h = _zeft._internal31
    if kind == "precheck":
        with pytest.raises(_zeft.error):
            P31.callzeft(**panel(31, filenamep="FAIL", neigrq=99))
        return
    changes = {"filenamep": "FAIL"}
    if kind == "listing":
        _fail_with_directory("FAIL    .out")
    elif kind == "full disk":
        os.symlink("/dev/full", "FAIL    .out")
    elif kind == "type check":
        _zeft.antype.vibr = 1
    elif kind == "input check":
        changes["bndy0"] = [0, 9, 0, 0, 0, 0, 0]
    elif kind == "stringer data":
        _zeft.antype.cripan = 1
        h.f07dis.stype = 1
    elif kind == "curvature":
        changes["rxp"] = 0.0
    elif kind == "membrane stiffness":
        mat = np.asfortranarray(panel(31)["matabdf"])
        mat[[0, 2, 5], 0] = 1e-20
        changes["matabdf"] = mat
    elif kind == "eigen solution":
        changes["loadvxp"] = 0.0
    elif kind == "supports":
        changes.update(bndy0=[0] * 7, bndyl=[0] * 7, bndx0=[0] * 7, bndxl=[0] * 7)
    elif kind == "global check":
        _zeft.antype.glban = 1
        _zeft.stringercom.footth = -1.0
    elif kind == "mode shapes":
        _fail_with_directory("FAIL    MODES.txt")
        changes["indplt"] = 1
    elif kind == "plot grid":
        _zeft.plotin.npx = -6
        changes["indplt"] = 1
    elif kind == "other preset":
        _zeft.antype.vibr = 1
        P19.callzeft(**panel(19, filenamep="FAIL"))
        return
    P31.callzeft(**panel(31, **changes))


def _valid_run_after(kind):
    """Subprocess body: a failed run (unless kind is None), then a valid run; prints its results.
    The state that deliberately persists between runs (analysis flags, symmetry codes, plot
    options, stringer data) is set to the same values before the valid run."""
    os.chdir(sys.argv[1])
    if kind:
        _failure(kind)
    for flag in FLAGS:
        setattr(_zeft.antype, flag, 0)
    _zeft.plotin.npx = _zeft.plotin.npy = 20
    _zeft.plotin.isymx = _zeft.plotin.isymy = 0
    _zeft.stringercom.footth = 0.0
    args = panel(31, filenamep="VALID", indplt=1)
    P31.callzeft(**args)
    print(json.dumps({key: args[key].tobytes().hex() for key in ("elamp", "membraneforcesp", "displ")}
                     | {"listing": Path("VALID   .out").read_text(),
                        "modes": Path("VALID   MODES.txt").read_text()}))


def _run_in_fresh_process(kind, folder):
    folder.mkdir()
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([str(Path(_zeft.__file__).parent), str(Path(__file__).parent),
                                         env.get("PYTHONPATH", "")])
    code_ = f"import test_hardening as t; t._valid_run_after({kind!r})"
    proc = subprocess.run([sys.executable, "-c", code_, str(folder)], capture_output=True, text=True, env=env,
                          timeout=300)
    assert proc.returncode == 0, proc.stderr
    return json.loads(proc.stdout.splitlines()[-1])


FAILURES = ["precheck", "listing", "full disk", "type check", "input check", "stringer data", "curvature",
            "membrane stiffness", "eigen solution", "supports", "global check", "mode shapes", "plot grid",
            "other preset"]


@pytest.fixture(scope="module")
def fresh(tmp_path_factory):
    return _run_in_fresh_process(None, tmp_path_factory.mktemp("fresh") / "run")


@pytest.mark.parametrize("kind", FAILURES)
def test_a_failed_run_does_not_change_the_next_valid_run(tmp_path, fresh, kind):
    after = _run_in_fresh_process(kind, tmp_path / "run")
    for key in ("elamp", "membraneforcesp", "displ", "modes", "listing"):
        assert after[key] == fresh[key], f"{key} differs after a failed run ({kind})"
