"""Panels and results leaving Python: dict and TOML round trips, JSON and CSV read back by
the standard readers, the compact representations and the output file names."""
import csv
import io
import json
import tomllib

import numpy as np
import pytest

import zeft

PLY = zeft.PlyStack([0.125] * 4, [45, -45, -45, 45], 135000.0, 9000.0, 0.3, 5000.0, G13=5000.0, G23=3500.0,
                    density=1.6e-9)

PANELS = {
    "example": lambda: zeft.example_panel(title='with "quotes"', crippling=zeft.StringerWalls(
        1.6, 1.6, 30.0, 25.0, zeft.Isotropic(1.6, 70000.0, 0.33))),
    "hat, ply stack, curved": lambda: zeft.Panel(
        name="HAT", stringer_pitch=200.0, frame_pitch=400.0, stringers=1, stringer_kind="hat", foot_width=20.0,
        chord_width=30.0, hat_height=25.0, web_angle=30.0, skin=PLY,
        foot=zeft.ABD(np.eye(3) * 9e4, np.eye(3) * 3e3, shear=[2e4, 0.0, 2e4], mass=3e-9),
        load=zeft.Load(nx=10.0, nxy=2.0, nx_at_yl=-4.0), radii=(None, 1500.0, None), knock_down=0.9,
        edges={"x0": (0, 1, 2), "yl": "clamped"}, stringer=zeft.Stiffener(1e7, -2e8, 4e9, 1e9), skin_mass=2e-9,
        stringer_mass=1e-7),
    "load field": lambda: zeft.example_panel(load=zeft.LoadField(nx=np.linspace(1.0, 2.0, 13 * 17).reshape(17, 13))),
}


@pytest.mark.parametrize("name", sorted(PANELS))
def test_panel_round_trips_through_dict_and_toml(name, tmp_path):
    panel = PANELS[name]()
    again = zeft.Panel.from_dict(panel.to_dict())
    assert again.to_dict() == panel.to_dict()
    assert again.layout().b.tolist() == panel.layout().b.tolist()
    panel.to_toml(tmp_path / "p.toml")
    tomllib.loads((tmp_path / "p.toml").read_text())          # a valid TOML file
    from_file = zeft.load_panel(tmp_path / "p.toml")
    assert from_file.to_dict() == panel.to_dict()
    assert from_file.boundary_codes == panel.boundary_codes


def test_partial_edges_keep_the_other_defaults():
    panel = zeft.example_panel(edges={"yl": "clamped"})
    assert panel.edges == {"x0": "simply supported + u", "xl": "simply supported",
                           "y0": "simply supported + v", "yl": "clamped"}


@pytest.fixture(scope="module")
def result(tmp_path_factory):
    folder = tmp_path_factory.mktemp("export")
    walls = zeft.StringerWalls(1.6, 1.6, 30.0, 30.0, zeft.Isotropic(1.6, 70000.0, 0.33))
    return zeft.analyse(zeft.example_panel(name="EXP", eigenvalues=2, iteration_vectors=6, crippling=walls), folder,
                        quiet=True)


def test_result_leaves_as_json_and_csv_with_every_number(result, tmp_path):
    data = json.loads(result.to_json(tmp_path / "r.json", modes=True))
    assert json.loads((tmp_path / "r.json").read_text()) == data
    np.testing.assert_array_equal(data["load_factors"], result.load_factors)
    np.testing.assert_array_equal(data["w_nodes"], result.w_nodes)
    assert zeft.Panel.from_dict(data["panel"]).to_dict() == result.panel.to_dict()
    x, y, w = result.mode_shape(2)
    np.testing.assert_array_equal(data["mode_shapes"]["w"][1], w)
    assert "listing" not in data and "listing" in result.to_dict(text=True)

    rows = list(csv.DictReader(io.StringIO(result.to_csv(tmp_path / "t.csv"))))
    assert [float(r["load_factor"]) for r in rows] == result.load_factors.tolist()
    assert [[float(r[f"stringer_force_{k}"]) for k in (1, 2)] for r in rows] == result.stringer_force.tolist()
    assert data["frame_forces_along"] == result.frame_forces_along.tolist()
    rows = list(csv.DictReader(io.StringIO(result.strength_to_csv())))
    assert [float(r["rf_crippling"]) for r in rows] == result.strength.rf_crippling.tolist() == data["strength"][
        "rf_crippling"]
    shapes = np.loadtxt(io.StringIO(result.modes_to_csv(points=(11, 6))), delimiter=",", skiprows=1)
    assert shapes.shape == (2 * 11 * 6, 4)
    np.testing.assert_allclose(shapes[shapes[:, 0] == 1, 3].reshape(6, 11), result.mode_shape(1, (11, 6))[2])


def test_result_shows_compactly_and_files_carry_the_plain_name(result):
    text = repr(result)
    assert len(text) < 300 and "EXP" in text and f"{result.load_factors[0]:.6g}" in text
    html = result._repr_html_()
    assert html.count("<tr>") == 3 and "load_factor" in html
    assert sorted(p.name for p in result.files) == ["EXP.out", "EXPMODES.txt"]
    assert result.listing_path.name == "EXP.out" and result.mode_file.exists()
    assert not any(" " in p.name for p in result.folder.iterdir())


def test_plots_return_a_figure_and_save_only_when_asked(result, tmp_path):
    pytest.importorskip("matplotlib")
    before = set(result.folder.iterdir())
    fig = zeft.plot_mode(result, 1)
    assert fig.axes[0].get_title().endswith(f"{result.load_factors[0]:.5g}")
    assert set(result.folder.iterdir()) == before
    zeft.plot_mode(result, 1, tmp_path / "m.png")
    assert (tmp_path / "m.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
