"""Shared utilities: Hermite basis and integral tables, laminate stiffness, least squares,
stringer crippling."""
from fractions import Fraction

import numpy as np
import pytest
from numpy.polynomial import polynomial as npp

import _zeft
from conftest import box

u = _zeft.zeftutils
HERMITE = [[1, 0, -3, 2], [0, 1, -2, 1], [0, 0, 3, -2], [0, 0, -1, 1]]


@pytest.mark.parametrize("i, z, ier", [(1, -0.00001, 0), (3, 1.00001, 0), (1, -0.0001, 1), (2, 1.0001, 1),
                                       (1, float("nan"), 1), (0, 0.5, 2), (5, 0.5, 2)])
def test_phi_tolerance_and_errors(i, z, ier):
    """The error code comes back; the value is an input copy (its Hermite functions are
    those of the integral tables below)."""
    val, code = box(-99.0, np.float32), box(-7)
    u.phi(i, z, val, code)
    assert code[0] == ier and val[0] == -99.0


def test_integral_tables_are_rounded_exact_integrals():
    s1 = np.concatenate([_zeft.f07in1.a1, _zeft.f07in1.a2]).reshape((3, 4, 3, 4), order="F")
    s2 = np.concatenate([_zeft.f07in2.b1, _zeft.f07in2.b2]).reshape((3, 4, 3, 4), order="F")
    herm = [np.array([Fraction(c) for c in h], dtype=object) for h in HERMITE]
    for i, k, j, l in np.ndindex(3, 4, 3, 4):
        prod = npp.polymul(npp.polyder(herm[k], i), npp.polyder(herm[l], j))
        for table, weight in ((s1, [1, -1]), (s2, [0, 1])):  # weights 1 - z and z
            integral = npp.polyint(npp.polymul(prod, np.array([Fraction(w) for w in weight], dtype=object)))
            assert table[i, k, j, l] == np.float32(float(npp.polyval(Fraction(1), integral)))
    S = s1 + s2
    np.testing.assert_array_equal(S, S.transpose(2, 3, 0, 1))
    for t, idx, q in [(s1, (1, 1, 1, 1), Fraction(2, 7)), (s2, (1, 1, 1, 1), Fraction(3, 35)),
                      (s1, (3, 1, 3, 1), 6), (s1, (2, 2, 2, 2), Fraction(1, 10)), (s1, (2, 1, 1, 1), Fraction(-11, 35)),
                      (S, (1, 1, 1, 1), Fraction(13, 35)), (S, (3, 1, 3, 1), 12), (S, (2, 2, 2, 2), Fraction(2, 15)),
                      (S, (3, 2, 3, 2), 4)]:
        assert t[tuple(n - 1 for n in idx)] == pytest.approx(float(q), rel=1e-6)
    assert np.asarray(_zeft.f01eps.keps).tolist() == [
        [210, 100, 0], [301, 100, 0], [201, 310, 100], [120, 0, 0], [102, 0, 0], [111, 0, 0], [410, 0, 0],
        [501, 0, 0], [401, 510, 0], [400, 0, 0], [500, 0, 0]]
    assert np.asarray(_zeft.f01eps.feps)[:, 0].tolist() == [1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1]


# ---------------------------------------------------------------- laminate stiffness

Q = np.array([140e3, 10e3, 0.3, 5e3], np.float32)


def reduced(q):
    e1, e2, nu, g = map(float, q)
    d = 1.0 / (1.0 - nu * nu * e2 / e1)
    return np.array([[e1 * d, nu * e2 * d, 0], [nu * e2 * d, e2 * d, 0], [0, 0, g]])


def rotation(psi, m=3):
    c, s = np.cos(np.radians(psi)), np.sin(np.radians(psi))
    if m == 2:
        return np.array([[c, s], [-s, c]])
    return np.array([[c * c, s * s, c * s], [s * s, c * c, -c * s], [-2 * c * s, 2 * c * s, c * c - s * s]])


def abdetc(thk, ang, q=Q):
    out = [np.zeros((3, 3), np.float32, order="F") for _ in range(3)]
    ier = box(-7)
    u.abdetc(len(thk), np.asarray(thk, np.float32), np.asarray(ang, np.float32), q, 0.0, *out, ier)
    return *out, int(ier[0])


@pytest.mark.parametrize("thk, ang", [([0.5], [0.0]), ([0.25] * 4, [0, 90, 90, 0]),
                                      ([0.125, 0.25, 0.125, 0.2], [45, -45, 30, 90])])
def test_abdetc_against_lamination_theory(thk, ang):
    aal, ddl, adl, ier = abdetc(thk, ang)
    z = np.concatenate([[0.0], np.cumsum(thk)]) - sum(thk) / 2
    Qk = [rotation(p).T @ reduced(Q) @ rotation(p) for p in ang]
    A, B, D = (sum(q * np.diff(z ** n)[k] / n for k, q in enumerate(Qk)) for n in (1, 2, 3))
    assert ier == 0
    np.testing.assert_allclose(aal, A, rtol=1e-5, atol=1e-6 * np.abs(A).max())
    np.testing.assert_allclose(ddl, D, rtol=1e-5, atol=1e-6 * np.abs(D).max())
    np.testing.assert_allclose(adl, -B, atol=1e-6 * np.abs(A).max() * sum(thk))  # adl holds -B
    if len(thk) == 1:
        assert not adl.any()


@pytest.mark.parametrize("given, used", [(135, -45), (-100, 80), (270, 90)])
def test_abdetc_folds_ply_angles(given, used):
    for x, y in zip(abdetc([0.2, 0.3], [given, 10.0])[:3], abdetc([0.2, 0.3], [used, 10.0])[:3]):
        np.testing.assert_array_equal(x, y)


@pytest.mark.parametrize("q", [[0.0, 1e4, 0.3, 5e3], [1e4, 1e4, 1.0, 5e3]])
def test_abdetc_refuses_singular_material(q, capfd):
    aal, ddl, adl, ier = abdetc([0.5], [0.0], np.array(q, np.float32))
    assert ier == 10 and not (aal.any() or ddl.any() or adl.any())
    assert "  ERROR NO. 10 IN ABDETC" in capfd.readouterr().out


@pytest.mark.parametrize("m, psi", [(3, 30.0), (3, -62.5), (3, 90.0), (2, 40.0)])
def test_trnpsi(m, psi):
    a = np.asarray(reduced(Q) if m == 3 else [[3.0, 0.5], [0.5, 2.0]], np.float32)
    b, ier = u.trnpsi(psi, a)
    T = rotation(psi, m)
    assert ier == 0 and b.shape == (m, m) and b.dtype == np.float32
    np.testing.assert_allclose(b, T.T @ a.astype(float) @ T, rtol=2e-6, atol=2e-6 * np.abs(a).max())


def test_trnpsi_order_error(capfd):
    assert u.trnpsi(30.0, np.eye(4, dtype=np.float32))[1] == 1
    assert capfd.readouterr().out == "  ERROR NO.  1 IN TRNPSI\n"


# ---------------------------------------------------------------- least squares


@pytest.mark.parametrize("k, ij", [(4, 3), (12, 5), (3, 3)])
def test_lqfit_matches_lstsq(k, ij):
    rng = np.random.default_rng(k * 10 + ij)
    design, rhs = rng.normal(size=(k + 2, ij)), rng.normal(size=k)  # rows beyond k are not part of the fit
    phi_, ak = np.asfortranarray(design), np.zeros(ij)
    u.lqfit(phi_, ij, k, rhs, ak)
    np.testing.assert_allclose(ak, np.linalg.lstsq(design[:k], -rhs, rcond=None)[0], rtol=1e-10, atol=1e-12)
    np.testing.assert_array_equal(phi_[k:], design[k:])


def test_lqfit_dependent_column_and_no_unknowns(capfd):
    design = np.array([[2.0, 4.0, 1.0], [0.0, 0.0, 1.0], [0.0, 0.0, 2.0], [0.0, 0.0, 3.0]])
    rhs, ak = np.array([1.0, -1.0, 0.5, 2.0]), np.zeros(3)
    u.lqfit(np.asfortranarray(design), 3, 4, rhs, ak)
    assert capfd.readouterr().out.splitlines() == ["  LQFIT: SPALTE   2 IST LINEAR ABHAENGIG",
                                                   "       KOEFF=     0.4000E+01"]
    best = np.linalg.lstsq(design, -rhs, rcond=None)[0]
    assert ak[1] == 0.0 and np.linalg.norm(design @ ak + rhs) == pytest.approx(np.linalg.norm(design @ best + rhs))
    u.lqfit(np.asfortranarray(design), 0, 4, rhs, ak)  # nothing to fit: ak untouched
    assert ak[1] == 0.0 and ak[0] != 0.0


# ---------------------------------------------------------------- stringer crippling


class hidden:
    """stiffx, epsweb, sigmweb of record test (not published; read through the private views)."""

    def __init__(self):
        self.test = _zeft._internal31.test

    def __getitem__(self, k):
        return np.array([self.test.stiffx, self.test.epsweb, self.test.sigmweb], np.float32)[k]

    def __setitem__(self, k, values):
        v = self[:]
        v[k] = values
        self.test.stiffx, self.test.epsweb, self.test.sigmweb = v


@pytest.fixture
def listing(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    _zeft._close_unit(9)
    _zeft.datran.nwrite = 9
    s = _zeft.stringercom
    s.footth, s.footwidth, s.webth, s.webheight, s.chordwidth, s.alpha = 2.0, 20.0, 1.5, 30.0, 25.0, 0.0
    s.ddst = [1000.0, 300.0, 800.0, 0.0, 0.0, 350.0]
    hidden()[:] = [5.0e6, -1.0, -1.0]
    yield lambda: (_zeft._close_unit(9), (tmp_path / "fort.9").read_text().splitlines())[1]
    _zeft._close_unit(9)


def crippling(name):
    ier = box(-7)
    getattr(u, name)(ier)
    return int(ier[0])


@pytest.mark.parametrize("ddst, k", [([1000.0, 300.0, 800.0, 0.0, 0.0, 350.0], 12 * 350 / (np.pi**2 * 800**0.5 * 1000**0.5)),
                                     ([1000.0, 300.0, 1000.0, 0.0, 0.0, 350.0], 0.4255)])  # isotropic, nu = 0.3
def test_cripplingt(listing, ddst, k):
    _zeft.stringercom.ddst = ddst
    assert crippling("cripplingt") == 0
    n = (np.pi / 30.0) ** 2 * k * np.sqrt(ddst[0] * ddst[2])  # long web strip, top edge free
    lst = listing()
    assert lst[-4:-1] == ["", "", "  CRIPPLING FORCE:"] and len(lst[-1]) == 20
    assert float(lst[-1]) == pytest.approx(n * 30.0, rel=2e-4)
    stiffx, epsweb, sigmweb = hidden()
    assert epsweb == pytest.approx(n * 30.0 / (45.0 / 85.0 * stiffx), rel=2e-4)
    assert sigmweb == pytest.approx(n / 1.5, rel=2e-4)


@pytest.mark.parametrize("alpha", [0.0, 90.0])
def test_cripplingo(listing, alpha):
    _zeft.stringercom.ddst, _zeft.stringercom.alpha = [900.0, 270.0, 900.0, 0.0, 0.0, 315.0], alpha  # k = 4
    assert crippling("cripplingo") == 0
    web = float(_zeft.stringercom.webheight)
    assert web == pytest.approx(30.0 / np.cos(np.radians(alpha / 2)), rel=1e-6)
    lst = listing()
    assert lst[-8:-5] == ["", "", "  CRIPPLING FORCE OF WEB:"] and lst[-4:-1] == ["", "", "  CRIPPLING FORCE OF CHORD:"]
    assert float(lst[-5]) == pytest.approx(4 * np.pi**2 * 900.0 / web, rel=1e-4)
    assert float(lst[-1]) == pytest.approx(4 * np.pi**2 * 900.0 / 25.0, rel=1e-4)


@pytest.mark.parametrize("name, field, bad", [
    ("cripplingt", "webheight", 0.0), ("cripplingt", "stiffx", 0.0), ("cripplingt", "ddst", [0.0, 1.0, 1.0, 0.0, 0.0, 1.0]),
    ("cripplingo", "chordwidth", 0.0), ("cripplingo", "alpha", 180.0), ("cripplingo", "ddst", [-1.0, 1, 1, 0, 0, 1])])
def test_crippling_refuses_degenerate_sections(listing, name, field, bad):
    if field == "stiffx":
        hidden()[0] = bad
    else:
        setattr(_zeft.stringercom, field, bad)
    web = float(_zeft.stringercom.webheight)
    assert crippling(name) == 12
    lst = listing()
    assert lst[0] == f" MESSAGE FROM SUBROUTINE {name.upper()}:" and lst[1].endswith("NO CRIPPLING FORCE COMPUTED")
    assert len(lst) == 2 and float(_zeft.stringercom.webheight) == web and list(hidden()[1:]) == [-1.0, -1.0]
