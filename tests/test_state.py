"""The analysis state as a whole: reset to the contents at load, snapshot and restore, and the
panel set-up and run as separate steps."""
import json
import os
import subprocess
import sys

import numpy as np
import pytest

import zeft

_zeft = pytest.importorskip("_zeft")

PRESETS = (19, 21, 25, 31)

#: Entries of a member beyond which only its two ends are overwritten (the work matrices).
WHOLE = 1 << 20


def records():
    """Every record view: the published ones and each preset's private ones."""
    names = [n for n in dir(_zeft) if type(getattr(_zeft, n)).__name__ == "record"]
    views = [getattr(_zeft, n) for n in names]
    for p in PRESETS:
        ns = getattr(_zeft, f"_internal{p}")
        views += [getattr(ns, n) for n in dir(ns) if not n.startswith("__")]
    return views


def parts(view):
    """The entries of a member that the tests overwrite and compare: all of them, or the two
    ends of a work matrix."""
    flat = view.reshape(-1, order="A")
    return [flat] if flat.size <= WHOLE else [flat[:4096], flat[-4096:]]


def contents(views):
    """Copies of what parts() compares of every member of the views."""
    return [{n: [p.copy() for p in parts(getattr(r, n))] for n in dir(r)} for r in views]


def assert_unchanged(views, before):
    for rec, old in zip(views, before):
        for name, value in old.items():
            for now, then in zip(parts(getattr(rec, name)), value):
                np.testing.assert_array_equal(now, then, err_msg=f"{rec!r}.{name}")


def scribble():
    """Garbage in every member of every record, units left open, the files and the standard
    output of later runs sent elsewhere."""
    for rec in records():
        for name in dir(rec):
            view = getattr(rec, name)
            if view.dtype.kind == "S":
                setattr(rec, name, "#" * view.dtype.itemsize)
                continue
            for part in parts(view):
                part[...] = np.nan if view.dtype.kind == "f" else -123457
    _zeft._open_unit(9, "stray.out")
    _zeft._write_unit(9, "('STRAY')", [])
    _zeft._open_unit(26, "strayMODES.txt")
    os.makedirs("elsewhere", exist_ok=True)
    _zeft._set_folder("elsewhere")
    _zeft._set_output(lambda text: None)


def example_arguments():
    """The example panel (preset 19) named RESET."""
    panel = zeft.example_panel(name="RESET", eigenvalues=3, iteration_vectors=8)
    return panel.choose_preset(), panel.callzeft_arguments()


def analyse_directly(folder):
    """callzeft on the example panel in folder: results, listing and mode file as text."""
    preset, args = example_arguments()
    getattr(_zeft, f"prtnds{preset}").callzeft(**args)
    return {"elamp": args["elamp"].tolist(), "forces": args["membraneforcesp"].tolist(),
            "displ": args["displ"].tolist(), "listing": (folder / "RESET   .out").read_text("latin-1"),
            "modes": (folder / "RESET   MODES.txt").read_text("latin-1")}


def starting_values():
    """The published records' values at load that a run does not take from its arguments."""
    man, plot = _zeft.man, _zeft.plotin
    return [int(man.neigit), int(man.neigrq), int(man.mempri), int(man.x2pri),
            [float(_zeft.f07inb.rx), float(_zeft.f07inb.ry), float(_zeft.f07inb.rxy)], int(plot.mdsplt.sum()),
            int(plot.npx), float(plot.scal), _zeft.f07ina.ku.tolist()]


FRESH = """
import json, sys
from pathlib import Path
sys.path.insert(0, {tests!r})
import test_state
print("RESULT" + json.dumps(dict(start=test_state.starting_values(), **test_state.analyse_directly(Path.cwd()))))
"""


@pytest.fixture(scope="module")
def fresh_process(tmp_path_factory):
    where = tmp_path_factory.mktemp("fresh")
    code = FRESH.format(tests=str(__import__("pathlib").Path(__file__).parent))
    out = subprocess.run([sys.executable, "-c", code], cwd=where, capture_output=True, text=True, check=True)
    return json.loads(next(l for l in out.stdout.splitlines() if l.startswith("RESULT"))[len("RESULT"):])


def test_reset_after_garbage_gives_the_run_of_a_fresh_process(work_folder, fresh_process):
    scribble()
    _zeft._reset_state()
    flat = float(np.float32(1e29))
    assert starting_values() == fresh_process["start"] == [4, 2, 1, 0, [flat] * 3, 50, 50, 1.0, [1, 0, 0, 0, 0]]
    assert analyse_directly(work_folder) == {k: v for k, v in fresh_process.items() if k != "start"}
    assert not (work_folder / "stray.out").read_text().strip("STRAY\n")


def test_snapshot_restores_every_record():
    preset, args = example_arguments()
    _zeft._set_up_panel(preset, **args)
    before = contents(records())
    saved = _zeft._save_state()
    scribble()
    _zeft._restore_state(saved)
    assert_unchanged(records(), before)


def test_set_up_and_run_are_callzeft_in_two_steps(work_folder):
    preset, args = example_arguments()
    whole = analyse_directly(work_folder)
    _zeft._reset_state()
    lay = _zeft._set_up_panel(preset, **args)
    assert (lay["mx"], lay["my"]) == (13, 17) and list(lay["stringer_lines"]) == [6, 12]
    with pytest.raises(_zeft.error, match="no panel is set up for preset 31"):
        _zeft._run_panel(31)                       # the presets share the storage, not the set-up
    _zeft._run_panel(preset)
    rec = getattr(_zeft, f"_internal{preset}")
    assert rec.valus.elam.tolist() == whole["elamp"]
    assert (work_folder / "RESET   .out").read_text("latin-1") == whole["listing"]
    with pytest.raises(_zeft.error, match="_set_up_panel first"):
        _zeft._run_panel(preset)                   # a set-up serves one run


def test_the_layout_query_changes_no_record_but_panrun():
    preset, args = example_arguments()
    _zeft._set_up_panel(preset, **args)
    views = [r for r in records() if "panrun" not in repr(r)]
    before = contents(views)
    lay = _zeft._lay_out_panel(preset, **args)
    assert (lay["mx"], lay["my"]) == (13, 17)
    assert_unchanged(views, before)


def test_records_changed_between_set_up_and_run_take_effect(work_folder):
    """Twice the variable loads of every node: half the load factors."""
    preset, args = example_arguments()
    rec = getattr(_zeft, f"_internal{preset}")
    _zeft._set_up_panel(preset, **args)
    _zeft._run_panel(preset)
    once = rec.valus.elam[:3].copy()
    _zeft._set_up_panel(preset, **args)
    rec.cpvar.pvar = 2.0 * rec.cpvar.pvar
    _zeft._run_panel(preset)
    np.testing.assert_allclose(rec.valus.elam[:3], once / 2, rtol=1e-5)


@pytest.mark.parametrize("call, message", [
    (lambda: _zeft._set_up_panel(20), "preset 19, 21, 25, 31 or 61"),
    (lambda: _zeft._run_panel(19, 1), None),
    (lambda: _zeft._set_up_panel(19, **dict(example_arguments()[1], anzelzwstr=0)), "anzelzwstr = 0"),
])
def test_set_up_refusals(call, message):
    with pytest.raises((_zeft.error, TypeError), match=message):
        call()
    assert int(_zeft._internal31.panrun.ready) == 0
