"""The TOML and command-line door: bad input gets one line naming the file, the field and the
reason (exit status 2), a failed analysis one line (status 1), never a traceback."""
import pytest

zeft = pytest.importorskip("zeft")
from zeft.__main__ import main  # noqa: E402

PANEL = """\
name = "CLI"
stringer_pitch = 100.0
frame_pitch = 300.0
elements_between_frames = 4
elements_between_stringers = 4
eigenvalues = 2
write_modes = false
skin = { thickness = 1.0, E = 70000.0, nu = 0.3 }
load = { nx = 10.0 }
"""


def run_cli(argv, capsys):
    code = main(argv)
    err = capsys.readouterr().err
    return code, [line for line in err.splitlines() if not line.startswith("zeft [")]


@pytest.mark.parametrize("edit, field", [
    ("stringer_pitch = true", "stringer_pitch: expected a number"),
    ("write_modes = \"no\"", "write_modes: expected true or false"),
    ("load = 5", "load: expected a table"),
    ("functions = 1", "functions: names such as"),
    ("edges = \"clamped\"", "edges: a table of the edges"),
    ("stringer_pitch = 1e39", "stringer_pitch: 1e+39 lies beyond the single-precision range"),
    ("elements_between_stringers = 1000000000", "elements_between_stringers: at most 60"),
    ("name = \"..\"", "name: "),
    ("title = \"a\\u001bb\"", "title: "),
    ("crippling = { web_height = 1.0 }", "crippling: missing"),
    ("shape = \"flat\"", "unknown panel field(s): shape"),
    ("skin = { thickness = 1.0, E = 70000.0 }", "skin: missing nu"),
], ids=lambda v: v if "=" in v else None)
def test_bad_panel_files_get_one_line(tmp_path, capsys, edit, field):
    key = edit.split(" =")[0]
    text = "\n".join(l for l in PANEL.splitlines() if not l.startswith(key + " ")) + "\n" + edit + "\n"
    path = tmp_path / "panel.toml"
    path.write_text(text)
    code, err = run_cli(["run", str(path), "--folder", str(tmp_path / "out"), "--no-plot", "--quiet"], capsys)
    assert code == 2 and len(err) == 1, err
    assert err[0].startswith(f"zeft: error: {path}: {field}")
    assert not (tmp_path / "out").exists()


@pytest.mark.parametrize("argv, status, words", [
    (["run", "/dev/zero"], 2, "/dev/zero: longer than"),
    (["run", "missing.toml"], 2, "missing.toml: No such file"),
    (["laminate", "--thickness", "1e39", "--angles", "0", "--e1", "1", "--e2", "1", "--nu12", "0.3",
      "--g12", "1"], 2, "thicknesses[0]: 1e+39 lies beyond"),
    (["laminate", "--thickness", "10", "--angles", "0", "--e1", "3e38", "--e2", "3e38", "--nu12", "0.3",
      "--g12", "3e38"], 2, "exceeds the single-precision range"),
])
def test_bad_arguments_get_one_line(tmp_path, monkeypatch, capsys, argv, status, words):
    monkeypatch.chdir(tmp_path)
    code, err = run_cli(argv, capsys)
    assert code == status and len(err) == 1 and words in err[0], err


def test_a_failed_analysis_is_one_line_with_status_1(tmp_path, capsys):
    path = tmp_path / "panel.toml"
    path.write_text(PANEL + "fixed_load = { nx = 1e5 }\n")
    code, err = run_cli(["run", str(path), "--folder", str(tmp_path), "--no-plot", "--quiet"], capsys)
    assert code == 1 and len(err) == 1 and "fixed load exceeds" in err[0]
