"""Element stiffness terms: packing of the 9x9 coefficient matrix, the skew transformation
against an independent tensor derivation, the quadratic-form terms and their merging, and the
refusals of degenerate shapes, zero radii and grids outside the preset."""
import numpy as np
import pytest

_zeft = pytest.importorskip("_zeft")
P31 = _zeft.prtnds31
E, MX, MY = 900, 3, 4
NELM = (MX - 1) * (MY - 1)
BLOCKS = ("bb", "dd", "bd", "rr", "dr", "br")


def farr(*shape, fill=0.0):
    return np.full(shape, fill, np.float32, order="F")


def sym(v):
    """Symmetric matrix of a packed vector: 2x2 from 11, 12, 22; 3x3 from 11, 12, 22, 13, 23, 33."""
    idx = [[0, 1], [1, 2]] if len(v) == 3 else [[0, 1, 3], [1, 2, 4], [3, 4, 5]]
    return np.asarray(v, float)[idx]


def sym9(col):
    """Symmetric 9x9 of the 45-vector holding its upper triangle row by row."""
    m = np.zeros((9, 9))
    m[np.triu_indices(9)] = col
    return m + np.triu(m, 1).T


def stiffness(seed=1):
    rng = np.random.default_rng(seed)
    arrays = {n: farr(6, E) for n in BLOCKS} | {"ss": farr(3, E)}
    for a in arrays.values():
        a[:, :NELM] = rng.uniform(-1.0, 1.0, (a.shape[0], NELM))
    return arrays


def block_matrix(s, e):
    b = {n: sym(s[n][:, e]) for n in BLOCKS}
    return np.block([[b["bb"], b["bd"], b["br"]], [b["bd"], b["dd"], b["dr"]], [b["br"], b["dr"], b["rr"]]])


def call(routine, c, ch, s, *extra):
    routine(c, ch, *(s[n] for n in BLOCKS), s["ss"], *extra)


@pytest.fixture(autouse=True)
def grid():
    _zeft.datran.nwrite = 9
    _zeft.f07ina.mx, _zeft.f07ina.my = MX, MY


def set_angles(ax_deg, ay_deg):
    """The angles of obliqueness in radians, as the input echo of a run leaves them."""
    rad = lambda d: float(np.float32(np.float32(d) * np.float32(3.1415927)) / np.float32(180.0))
    ang = _zeft._internal31.f07ang
    ang.alfax, ang.alfay = rad(ax_deg), rad(ay_deg)
    return rad(ax_deg), rad(ay_deg)


# ------------------------------------------------------------------ coefficient matrices

@pytest.mark.parametrize("angles", [(30.0, 0.0), (0.0, -25.0), (25.0, -15.0), (50.0, 10.0), (-40.0, 15.0)])
def test_oblique_panel_keeps_the_strain_energy(angles):
    """With the skew axes X' = (cos ax, sin ax), Y' = (-sin ay, cos ay) (columns of A), strains
    referred to them as covariant components eps' = M eps keep the energy eps^T C eps =
    eps'^T C' eps' only for C' = T^T C T, T = M^-1, in every block; the shear strains
    gamma' = A^T gamma likewise fix CH = G^T S G, G = A^-T; curvatures rotate as A^T kappa A.
    The packing of the 9 x 9 coefficient matrix is checked with it."""
    ax, ay = set_angles(*angles)
    A = np.array([[np.cos(ax), -np.sin(ay)], [np.sin(ax), np.cos(ay)]])
    M = np.zeros((3, 3))
    for k, (exx, eyy, gxy) in enumerate(np.eye(3)):
        t = A.T @ np.array([[exx, gxy / 2], [gxy / 2, eyy]]) @ A
        M[:, k] = t[0, 0], t[1, 1], 2 * t[0, 1]
    T, G = np.kron(np.eye(3), np.linalg.inv(M)), np.linalg.inv(A.T)
    _zeft.f07inb.rx, _zeft.f07inb.ry, _zeft.f07inb.rxy = 2.0, -4.0, 8.0
    s, c, ch, ier = stiffness(), farr(45, E), farr(3, E), np.zeros(1, np.int32)
    call(P31.tfmstf, c, ch, s, ier)
    assert ier[0] == 0
    for e in range(NELM):
        np.testing.assert_allclose(sym9(c[:, e]), T.T @ block_matrix(s, e) @ T, atol=3e-5)
        np.testing.assert_allclose(sym(ch[:, e]), G.T @ sym(s["ss"][:, e]) @ G, atol=1e-5)
    kappa = A.T @ np.array([[1 / 2.0, 1 / 8.0], [1 / 8.0, -1 / 4.0]]) @ A
    feps = _zeft.f01eps.feps
    np.testing.assert_allclose([feps[0, 1], feps[1, 1], feps[2, 2]],
                               [-kappa[0, 0], -kappa[1, 1], -2 * kappa[0, 1]], rtol=1e-5)


@pytest.mark.parametrize("diff,ier_expected", [(1.4, 1), (1.3, 0)])
def test_degenerate_shape_is_rejected(diff, ier_expected, capfd):
    set_angles(float(np.degrees(diff)), 0.0)
    capfd.readouterr()
    s, c, ch, ier = stiffness(), farr(45, E, fill=7.0), farr(3, E), np.zeros(1, np.int32)
    feps = _zeft.f01eps.feps.copy()
    call(P31.tfmstf, c, ch, s, ier)
    assert ier[0] == ier_expected
    rejected = " MESSAGE FROM SUBROUTINE TFMSTF:\n DEGENERATE ELEMENT SHAPE\n" in capfd.readouterr().out
    assert rejected == bool(ier_expected)
    if rejected:
        assert (c[:, :NELM] == 0).all() and (c[:, NELM:] == 7.0).all()
        np.testing.assert_array_equal(_zeft.f01eps.feps, feps)


@pytest.mark.parametrize("record,field,value,ier_expected", [
    (_zeft.f07inb, "rxy", 0.0, 2), (_zeft.f07ina, "mx", 0, 3), (_zeft.f07ina, "my", 32, 3)])
def test_zero_radius_and_foreign_grid_are_refused(record, field, value, ier_expected):
    setattr(record, field, value)
    s, c, ch, ier = stiffness(), farr(45, E), farr(3, E, fill=7.0), np.zeros(1, np.int32)
    call(P31.tfmstf, c, ch, s, ier)
    assert ier[0] == ier_expected
    assert np.isfinite(_zeft.f01eps.feps).all() and (ch == 7.0).all()


@pytest.mark.parametrize("d,k,ks,ok", [(1, -6, 6, True), (0, 27, 3, True), (0, -3, 3, False),
                                       (1, 30, 6, False), (0, 30, 6, False)])
def test_tczinc_stays_inside_the_element(d, k, ks, ok):
    args = (farr(6, 6), farr(45, E), farr(6, E), d, k, ks, 2)
    if ok:
        P31.tczinc(*args)
    else:
        with pytest.raises(_zeft.error):
            P31.tczinc(*args)


# ------------------------------------------------------------------ quadratic-form terms

def terms(e):
    n = int(_zeft.f01qua.ikt[e])
    return _zeft.f01qua.fquad[:n, e].astype(float), _zeft.f01qua.kquad[:n, :, e].copy()


def test_terms_and_their_merging():
    """Each term names its pair of functions; an element without stiffness has none, whatever
    was there; merging sums the terms of each pair (the integrals of the terms: test_assembly)."""
    feps = _zeft.f01eps.feps
    feps[0, 1], feps[1, 1], feps[2, 2] = -0.5, -0.25, 0.125
    s, c, ch = stiffness(), farr(45, E), farr(3, E)
    call(P31.f01ktf, c, ch, s)
    c[:, NELM - 1], ch[:, NELM - 1] = 1e-32, 0.0
    _zeft.f01qua.ikt[NELM - 1] = 77
    P31.f01kbf(c, ch)
    k = terms(0)[1]
    assert (k[:, 2] == 10 * (k[:, 0] // 100) + k[:, 1] // 100).all()
    assert _zeft.f01qua.ikt[NELM - 1] == 0

    before = [terms(e) for e in range(NELM)]
    P31.redfkq()
    for e, (f0, k0) in enumerate(before):
        f1, k1 = terms(e)
        pairs = [tuple(sorted(p)) for p in k1[:, :2].tolist()]
        # Unique pairs, in the order of their first appearance, each with the sum of its terms.
        assert pairs == list(dict.fromkeys(tuple(sorted(p)) for p in k0[:, :2].tolist()))
        sums = {}
        for coef, p in zip(f0, k0[:, :2].tolist()):
            sums[tuple(sorted(p))] = sums.get(tuple(sorted(p)), 0.0) + coef
        np.testing.assert_allclose(f1, [sums[p] for p in pairs], atol=1e-5)
        assert (_zeft.f01qua.fquad[len(f1):len(f0), e] == 0).all()


def test_term_limit_and_foreign_counts_stay_inside_the_table():
    eps = _zeft.f01eps
    eps.feps[:9, :] = 1.0  # three terms in each of rows 1..9: 27 * 27 > 340 terms
    eps.keps[:9, :] = np.arange(27).reshape(9, 3) + 100
    s, c, ch = stiffness(), farr(45, E), farr(3, E)
    call(P31.f01ktf, c, ch, s)
    P31.f01kbf(c, ch)
    assert (_zeft.f01qua.ikt[:NELM] == 340).all()
    _zeft.f01qua.ikt[0] = 100000
    P31.redfkq()
    assert _zeft.f01qua.ikt[0] == 100000 and (_zeft.f01qua.ikt[1:NELM] < 340).all()
    _zeft.f07ina.mx, _zeft.f01qua.ikt[1] = 40, 5
    P31.f01kbf(c, ch)
    assert _zeft.f01qua.ikt[1] == 5
