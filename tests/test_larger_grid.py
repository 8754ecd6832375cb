"""Grids beyond the largest preset: the module's larger size (up to 61 lines), chosen by the
package. On a grid that a preset also holds it gives the preset's load factors (same assembly
and coupled system; block Lanczos instead of the inverse iteration), certified; on a long plate
its load factor converges to the classical one at the fourth power of the element length."""
import numpy as np
import pytest

import _zeft
import zeft
from zeft.panel import PRESETS


def run(panel, size):
    """Load factors, W eigenvectors and certificate of a run of size `size` through the
    module's panel set-up."""
    _zeft._reset_state()
    _zeft._set_up_panel(size, **panel.callzeft_arguments(size))
    _zeft._run_panel(size)
    rec = getattr(_zeft, f"_internal{size}")
    n, ix = panel.eigenvalues, int(_zeft.man.ix)
    lam, vec = rec.valus.elam[:n].copy(), np.asfortranarray(rec.vectrs.x[:ix, :n])
    return lam, vec, _zeft._certify(size, lam, vec)


@pytest.mark.parametrize("changes", [
    dict(),                                                    # flat, stringers and a frame, W U V
    dict(radii=(None, 800.0, None), fixed_load=dict(nx=10.0, nxy=4.0), stringer_kind="angle"),
    dict(load=dict(nxy=10.0)),                                 # shear: pairs +-lambda
    dict(functions=("w",), stringers=0, frames=0, frame_pitch=300.0, stringer_pitch=300.0,
         elements_between_frames=12, elements_between_stringers=12, load=dict(nx=1.0, ny=1.0)),  # double
])
def test_larger_size_agrees_with_the_preset(folder, changes):
    panel = zeft.example_panel().replace(write_modes=False, print_forces=False, **changes)
    preset = panel.choose_preset()
    assert preset in PRESETS
    lam, vec, cert = run(panel, preset)
    lam61, vec61, cert61 = run(panel, 61)
    # Equal magnitudes of both signs may come in either order.
    np.testing.assert_allclose(np.sort(lam61), np.sort(lam), rtol=1e-9)
    assert cert61["found"] == cert["found"] and max(cert61["residuals"]) < 1e-8
    # The lowest positive mode (simple in every case) with the same scale x^T S x = 1, up to sign.
    v, v61 = vec[:, np.argmin(np.where(lam > 0, lam, np.inf))], vec61[:, np.argmin(np.where(lam61 > 0, lam61, np.inf))]
    np.testing.assert_allclose(v61 * np.sign(v61 @ v), v, atol=1e-5 * abs(v).max())
    # Outside a run the larger size holds no matrices: its record views show none.
    assert not hasattr(_zeft._internal61, "matrix")


def test_long_plate_converges_beyond_the_presets(folder):
    """Simply supported plate 600 x 100 under Nx: six square half-waves, k = 4. Doubling the
    elements (31 -> 61 lines along) divides the error by about 2^4; the package takes the
    larger size by itself."""
    exact = 4.0 * np.pi ** 2 * (70000.0 * 1.6 ** 3 / (12 * (1 - 0.33 ** 2))) / 100.0 ** 2
    err = {}
    for along in (30, 60):
        plate = zeft.example_panel().replace(
            stringers=0, frames=0, frame_pitch=600.0, stringer_pitch=100.0, elements_between_frames=along,
            elements_between_stringers=along // 6, functions=("w",), load=dict(nx=1.0), eigenvalues=2,
            write_modes=False, print_forces=False)
        result = zeft.analyse(plate, quiet=True)
        assert result.preset == (31 if along == 30 else 61) and result.certified
        err[along] = result.load_factors[0] / exact - 1
    assert 0 < err[60] < err[30] < 5e-3
    assert 10 < err[30] / err[60] < 20


def test_larger_size_refuses_the_dense_listings(folder):
    """The condensed matrix and the in-plane vectors would need the dense matrices the larger
    size does without: the run stops and says which switches to clear."""
    panel = zeft.example_panel().replace(write_modes=False, print_forces=False)
    _zeft._set_up_panel(61, **dict(panel.callzeft_arguments(61), itab=1))
    _zeft._run_panel(61)
    assert "(ITAB) AND THE IN-PLANE VECTORS (X2PRI) ARE NOT LISTED" in open("STIFFPNL.out").read()
    assert not np.any(_zeft._internal61.valus.elam)
