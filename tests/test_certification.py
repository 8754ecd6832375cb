"""Certified load factors: residuals and Sturm counts of every result, the rerun of too few
iteration vectors, a missed eigenvalue named by its interval, both members of a double
eigenvalue, what an uncertified result does (marked table, warning, error when strict), and
the run's kept matrices certifying exactly as the same matrices assembled again."""
import math
import warnings

import numpy as np
import pytest

import _zeft
import zeft
import zeft.certify
from zeft.analysis import _analyse_certified
from zeft.panel import analysis_group

E, NU, T = 70000.0, 0.3, 1.0
D = E * T ** 3 / (12 * (1 - NU ** 2))


def plate(load, eigenvalues, vectors=None, n=8, **changes):
    """Simply supported square plate 100 x 100, W alone unless changed, n x n elements."""
    fields = dict(name="PLATE", stringer_pitch=100.0, frame_pitch=100.0, stringers=0, frames=0,
                  skin=zeft.Isotropic(T, E, NU), load=load, functions=("w",), eigenvalues=eigenvalues,
                  iteration_vectors=vectors, elements_between_frames=n, elements_between_stringers=n)
    return zeft.Panel(**{**fields, **changes})


@pytest.mark.parametrize("panel", [
    plate(zeft.Load(nxy=10.0), 6),
    plate(zeft.Load(nx=10.0, ny=-4.0), 5, functions=("w", "u", "v"), radii=(None, 400.0, None)),
    zeft.example_panel(iteration_vectors=None),
    zeft.example_panel(iteration_vectors=None, stringer_kind="hat", foot_width=15.0, chord_width=20.0,
                       hat_height=30.0, web_angle=60.0, stringer_pitch=250.0, elements_below_hat=3,
                       load=zeft.Load(nx=100.0, ny=20.0, nxy=30.0)),
], ids=["shear plate", "curved plate in tension and compression", "example panel", "hat panel, combined load"])
def test_default_vector_count_gives_certified_results(tmp_path, panel):
    with warnings.catch_warnings():
        warnings.simplefilter("error", zeft.certify.CertificationWarning)
        r = zeft.analyse(panel, tmp_path, quiet=True)
    assert r.certified and r.certification == "certified" and r.residuals.max() < 1e-6
    counts = r.sturm_counts
    assert counts["positive"] == (int(np.sum(r.load_factors > 0)),) * 2
    assert counts["negative"] == (int(np.sum(r.load_factors < 0)),) * 2 and counts["missing"] is None
    assert "NOT CERTIFIED" not in r.table()


def test_too_few_vectors_are_flagged_and_rerun(tmp_path):
    """Square plate in shear, one load factor from two vectors: the value that passes the
    iteration is 6.74 while the spectrum is +-5.904, +-7.313, ..."""
    short = _analyse_certified(plate(zeft.Load(nxy=10.0), 1, 2), tmp_path / "short", True, False, False, False, 0.0)
    assert not short.certified and short.residuals[0] > 1e-2 and "relative residual" in short.certification
    r = zeft.analyse(plate(zeft.Load(nxy=10.0), 1, 2), tmp_path / "rerun", quiet=True)
    assert r.certified and r.load_factors[0] == pytest.approx(5.9039, abs=1e-3)
    assert "2 iteration vectors gave load factors that were not certified" in r.certification


def test_a_missing_eigenpair_is_named_by_its_interval(tmp_path):
    r = zeft.analyse(plate(zeft.Load(nxy=10.0), 6), tmp_path, quiet=True)
    lam = np.sort(r.load_factors)
    k = int(np.flatnonzero(r.load_factors == lam[1])[0])      # the second most negative
    keep = [i for i in range(r.modes) if i != k]
    r.load_factors, r.eigenvectors = r.load_factors[keep], r.eigenvectors[:, keep]
    zeft.certify.certify(r)
    lo, hi = r.sturm_counts["missing"]
    assert not r.certified and lo < lam[1] < hi and lo == pytest.approx(lam[0], rel=1e-4)
    assert r.sturm_counts["negative"] == (3, 2) and r.residuals.max() < 1e-6


def test_kept_matrices_certify_as_the_matrices_assembled_again(tmp_path):
    """The certificate works on what the run kept (its coupled matrix restored, its factor of
    A22); a fresh assembly (incs2) makes it build and factorise everything itself. Counts,
    shifts, the missing interval and every residual must agree to the last bit."""
    r = zeft.analyse(plate(zeft.Load(nxy=10.0), 6, functions=("w", "u", "v")), tmp_path, quiet=True)
    assert r.freedoms[1] > 0 and (r.load_factors < 0).any() and (r.load_factors > 0).any()
    keep = np.argsort(np.abs(r.load_factors))[1:]          # without the smallest: one is missed
    positive = r.load_factors > 0                            # B indefinite: the negative side counts
    cases = [(r.load_factors, r.eigenvectors), (r.load_factors[keep], r.eigenvectors[:, keep]),
             (r.load_factors[positive], r.eigenvectors[:, positive])]
    kept = [_zeft._certify(r.preset, lam, w) for lam, w in cases]
    analysis_group(r.preset).incs2(np.zeros(1, np.int32))
    again = [_zeft._certify(r.preset, lam, w) for lam, w in cases]
    assert kept[0]["missing"] is None and kept[1]["missing"] is not None
    assert kept[2]["found"][0] > 0 == kept[2]["reported"][0] and kept[2]["missing"][0] < 0
    for k, a in zip(kept, again):
        assert k["residuals"].tobytes() == a["residuals"].tobytes()
        assert (k["shifts"], k["found"], k["reported"], k["missing"]) == (a["shifts"], a["found"], a["reported"], a["missing"])


def test_both_members_of_a_double_eigenvalue_are_reported(tmp_path):
    """Equal biaxial compression of a square plate: lambda N = pi^2 D (m^2 + n^2) / b^2, so
    (1, 2) and (2, 1) make a double value."""
    r = zeft.analyse(plate(zeft.Load(nx=10.0, ny=10.0), 3, n=10), tmp_path, quiet=True)
    exact = math.pi ** 2 * D / 100.0 ** 2 / 10.0 * np.array([2.0, 5.0, 5.0])
    assert r.certified and r.sturm_counts["positive"] == (3, 3)
    np.testing.assert_allclose(r.load_factors, exact, rtol=2e-3)
    assert abs(r.load_factors[2] - r.load_factors[1]) < 1e-8 * r.load_factors[1]


def test_uncertified_results_are_marked_warned_and_refused_when_strict(tmp_path, monkeypatch):
    monkeypatch.setattr(zeft.certify, "RESIDUAL_LIMIT", 1e-30)
    with pytest.warns(zeft.certify.CertificationWarning, match="relative residual"):
        r = zeft.analyse(plate(zeft.Load(nx=10.0), 2), tmp_path / "warn", quiet=True)
    assert not r.certified and r.table().count("NOT CERTIFIED") == 2
    with pytest.raises(zeft.AnalysisError, match="not certified"):
        zeft.analyse(plate(zeft.Load(nx=10.0), 2), tmp_path / "strict", quiet=True, strict=True)


def test_critical_factors_of_the_load_and_of_its_reversal(tmp_path):
    r = zeft.analyse(plate(zeft.Load(nx=2.0, nxy=10.0), 6), tmp_path, quiet=True)
    positive, negative = r.load_factors[r.load_factors > 0], r.load_factors[r.load_factors < 0]
    assert r.critical_load_factor == positive.min() and r.reversed_critical_load_factor == negative.max()
    assert r.critical_load_factor < -r.reversed_critical_load_factor   # reversed, Nx is a tension
