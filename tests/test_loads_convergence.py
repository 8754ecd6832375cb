"""Total forces shared as the run shares them, and the h^4 extrapolation of the load factor."""
import math

import pytest

import zeft

E, NU = 70000.0, 0.3
D = E / (12 * (1 - NU * NU))


def test_total_forces_give_the_running_loads_and_the_stiffener_forces_of_the_run(tmp_path):
    panel = zeft.example_panel(eigenvalues=1)
    share = zeft.share_load(panel, Fx=120e3, Fy=2e3)
    result = zeft.analyse(panel.replace(load=share.load), tmp_path, quiet=True)
    lam = result.load_factors[0]
    assert result.stringer_force[0] == pytest.approx(lam * share.stringer_force, rel=1e-5)
    assert result.frame_forces_along[0, :, -1] == pytest.approx(lam * share.frame_force, rel=1e-5)  # over the skin
    # Isotropic skin and foot of the same material: strain Fx / (E t_eff W + n EA) by hand.
    skin, foot, lay = panel.skin, panel.foot, panel.layout()
    w_foot = sum(b for b, k in zip(lay.b, lay.strips) if k == 2)
    area = skin.thickness * (panel.width - w_foot) + foot.thickness * w_foot
    ex_hand = 120e3 / (skin.E * area + 2 * panel.stringer.EA)      # ny's Poisson part is small
    assert share.stringer_force == pytest.approx(panel.stringer.EA * ex_hand, rel=2e-2)
    assert share.stringer_share == pytest.approx(2 * share.stringer_force / 120e3)


def test_shear_goes_to_the_skin_alone():
    panel = zeft.example_panel()
    share = zeft.share_load(panel, Fxy=15e3)
    assert share.load.nx == 0 and share.load.ny == 0
    # 360 mm of skin, 60 mm of foot twice as thick: the foot strips carry twice the shear flow.
    assert share.load.nxy == pytest.approx(15e3 / (360.0 + 2 * 60.0))
    assert share.stringer_force == 0 and share.frame_force == 0


@pytest.mark.parametrize("length, load, edge, k_exact, steps", [
    (150.0, dict(nx=10.0), "simply supported", (4 / 3 + 3 / 4) ** 2, 4),   # m = 2 half-waves
    (100.0, dict(nxy=10.0), "clamped", 14.642, 6),                          # clamped square in shear
])
def test_richardson_estimate_approaches_the_classical_load(length, load, edge, k_exact, steps):
    plate = zeft.Panel(name="CONV", stringer_pitch=100.0, frame_pitch=length,
                       skin=zeft.Isotropic(1.0, E, NU), load=zeft.Load(**load), functions=("w",),
                       edges={e: edge for e in ("x0", "xl", "y0", "yl")},
                       elements_between_frames=int(length / 50), elements_between_stringers=2)
    conv = zeft.converge(plate, steps=steps)
    exact = k_exact * math.pi ** 2 * D / 100.0 ** 2 / 10.0
    finest = conv.load_factors[-1]
    assert all(a > b for a, b in zip(conv.load_factors, conv.load_factors[1:]))   # from above
    assert abs(conv.estimate - exact) < 0.2 * abs(finest - exact)
    assert conv.error == pytest.approx(abs(finest - exact), rel=0.2)
    assert conv.order is None or 3.5 < conv.order < 4.5
    assert "Richardson" in conv.table()


def test_positive_shear_compresses_the_diagonal_at_plus_45_degrees():
    """A +45 degree ply is stiffest along its fibres, so it buckles later under the shear that
    compresses the +45 diagonal: the positive nxy."""
    ply = zeft.PlyStack([1.0], [45.0], 135000.0, 9000.0, 0.3, 5000.0)
    plate = zeft.Panel(name="SHEAR", stringer_pitch=100.0, frame_pitch=100.0, skin=ply, load=zeft.Load(nxy=1.0),
                       functions=("w",), elements_between_frames=10, elements_between_stringers=10, eigenvalues=2)
    lams = zeft.analyse(plate, quiet=True).load_factors
    assert lams[0] < 0 and lams[1] < 0                  # both lowest need the shear reversed
