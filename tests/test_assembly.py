"""Matrix assembly: A22, A21, A11 and B equal the bilinear forms of the element terms integrated
by Gauss quadrature of the Hermite shape functions, the stiffeners add their line integrals,
a few closed-form entries, and inconsistent records end in an error code with a listing
message instead of reading or writing outside the arrays."""
from functools import reduce

import numpy as np
import pytest

from conftest import RunPanel, call, compliance, isotropic, pointers, profile

_zeft = pytest.importorskip("_zeft")
M = _zeft.prtnds31
S, NODES, NY = 29, 961, 15376
PI = np.float32(3.1415927)

# Cubic Hermite polynomials on [0, 1] (coefficients in ascending powers) and a 4-point Gauss rule,
# exact for every integrand below (degree <= 7 per direction).
HERMITE = [np.polynomial.Polynomial(c) for c in ([1, 0, -3, 2], [0, 1, -2, 1], [0, 0, 3, -2], [0, 0, -1, 1])]
_X, _W = np.polynomial.legendre.leggauss(4)
Z, WZ = (_X + 1) / 2, _W / 2


def set_scale_factors(a, b, angles):
    """Record f07pd as the eigen analysis sets it before assembling: sa = pi/Lx, sb = pi/Ly,
    fa = cos(alfax - alfay), b1(r, c) = (sb if r even)(sa if c even)."""
    pd = _zeft._internal31.f07pd
    lx = reduce(lambda s, v: np.float32(s + v), np.float32(a), np.float32(0))
    ly = reduce(lambda s, v: np.float32(s + v), np.float32(b), np.float32(0))
    sa, sb = PI / lx, PI / ly
    b1 = np.ones((4, 4), np.float32)
    b1[1::2, :] *= sb
    b1[:, 1::2] *= sa
    pd.sa, pd.sb, pd.fa = sa, sb, np.cos(np.float32(angles[0] - angles[1]))
    pd.b1 = b1
    return float(sa), float(sb), float(pd.fa)


# ----------------------------------------------------------------------------- the panel

class Panel(RunPanel):
    """A panel prepared by a run without eigen analysis (numbering, element terms, compliance),
    with the scale factors set; holds what the quadrature needs."""

    def __init__(self, mx=4, my=3, a=(100.0, 80.0, 120.0), b=(50.0, 30.0), ku=(1, 2, 3),
                 radii=(1e29, 1e29, 1e29), edges=None, stringers=(), frames=(),
                 steif=(7.0e6, 1.5e5, 2.4e9, 3.0e7), elmstf=None, sets=(2.0, 2.0), rotations=False,
                 alfa=(0.0, 0.0)):
        super().__init__(31, mx, my, a=a, b=b, ku=ku, radii=radii, edges=edges or {}, stringers=stringers,
                         frames=frames, steif=steif, frame_steif=0.8 * np.array(steif), skin=isotropic(sets[0]),
                         foot=isotropic(sets[1]), rotations=rotations, elmstf=elmstf, load=(0.0, 0.0, 0.0),
                         alfa=alfa, buck=0, neigit=4, neigrq=2, proj="ASSEMBLE")
        h = self.hidden = self.h
        ina = _zeft.f07ina
        self.mx, self.my = mx, my
        self.a, self.b = np.array(a, np.float32), np.array(b, np.float32)
        assert self.ix > 0, "the run did not number the freedoms"
        self.ibdx, self.ibdy = int(ina.ibdx), int(ina.ibdy)
        self.active = set(int(f) for f in ina.ku[: int(ina.knfun)])
        q = _zeft.f01qua
        self.fquad, self.kquad, self.ikt = q.fquad.copy(), q.kquad.copy(), q.ikt.copy()
        self.kappa = (float(_zeft.f01eps.feps[0, 1]), float(_zeft.f01eps.feps[1, 1]))
        ang = _zeft._internal31.f07ang
        self.sa, self.sb, self.fa = set_scale_factors(a, b, (ang.alfax, ang.alfay))
        self.stringers, self.frames, self.steif = list(stringers), list(frames), np.array(steif)
        self.elmstf = list(elmstf or [1] * (my - 1))
        # Stiffener strains: the compliance of each data set; an oblique panel's comes skewed.
        self.compliance = ([compliance(h.matabd[:6, k]) for k in (0, 1)] if alfa == (0.0, 0.0)
                           else [np.array(h.aij, np.float64)] * 2)
        self.maps = {}

    def node(self, iy, ix):
        return (ix - 1) * self.my + iy

    def dofs(self, iy, ix, f):
        """Indices of the 16 freedoms of function f on a subdivision in the combined numbering
        (W first, then U, V, BETA, GAMMA), -1 where suppressed."""
        key = (iy, ix, f)
        if key not in self.maps:
            iu = np.zeros((4, 4), np.int32, order="F")
            assert call(M.iuoriv, iy, ix, f, iu) == 0
            self.maps[key] = np.where(iu > 0, iu - 1 + (0 if f == 1 else self.ix), -1)
        return self.maps[key]


# ----------------------------------------------------------------------------- quadrature

def shape(p, q, hx, hy, xi, eta, sa, sb):
    """d^(p+q)/dx^p dy^q of the 16 shape functions g(r,c) phi_r(eta) phi_c(xi) at the points:
    (4, 4, points), g(r,c) = (sb hy if r even)(sa hx if c even)."""
    out = np.empty((4, 4, len(xi)))
    for r in range(4):
        fy = HERMITE[r].deriv(q)(eta) / hy ** q * (sb * hy if r % 2 else 1.0)
        for c in range(4):
            out[r, c] = fy * HERMITE[c].deriv(p)(xi) / hx ** p * (sa * hx if c % 2 else 1.0)
    return out


def orders(code):
    return (code % 100) // 10, code % 10


class Oracle:
    """The bilinear forms over all freedoms (W, then the in-plane ones), integrated subdivision
    by subdivision and segment by segment; the matrices are their symmetric parts."""

    def __init__(self, pn):
        self.pn, n = pn, pn.ix + pn.iy
        self.K = np.zeros((n, n))
        xi, eta = np.meshgrid(Z, Z, indexing="ij")
        self.xi, self.eta, self.w = xi.ravel(), eta.ravel(), np.outer(WZ, WZ).ravel()
        self.panel_terms()
        for line in pn.stringers:
            self.stiffener("X", line, pn.steif)
        for line in pn.frames:
            self.stiffener("Y", line, 0.8 * pn.steif)

    def add(self, K, rows, cols, block):
        r, c = rows.ravel(), cols.ravel()
        keep_r, keep_c = r >= 0, c >= 0
        K[np.ix_(r[keep_r], c[keep_c])] += block.reshape(16, 16)[np.ix_(keep_r, keep_c)]

    def panel_terms(self):
        pn = self.pn
        for iy in range(1, pn.my):
            for ix in range(1, pn.mx):
                e, hx, hy = (ix - 1) * (pn.my - 1) + iy, pn.a[ix - 1], pn.b[iy - 1]
                for t in range(pn.ikt[e - 1]):
                    c1, c2, pair = pn.kquad[t, :, e - 1]
                    f1, f2 = divmod(int(pair), 10)
                    assert (c1 // 100, c2 // 100) == (f1, f2)
                    if not {f1, f2} <= pn.active:
                        continue
                    d1 = shape(*orders(c1), hx, hy, self.xi, self.eta, pn.sa, pn.sb)
                    d2 = shape(*orders(c2), hx, hy, self.xi, self.eta, pn.sa, pn.sb)
                    block = pn.fquad[t, e - 1] * pn.fa * hx * hy * np.einsum("rcg,sdg,g->rcsd", d1, d2, self.w)
                    self.add(self.K, pn.dofs(iy, ix, f1), pn.dofs(iy, ix, f2), block)

    def segment(self, direction, line, seg):
        """Subdivision beside a stiffener segment and the Gauss points of the segment on its edge."""
        pn = self.pn
        if direction == "X":   # along x on y-line `line`
            iy, ix = min(line, pn.my - 1), seg
            xi, eta, h = Z, np.full(4, 0.0 if line < pn.my else 1.0), pn.a[seg - 1]
        else:
            iy, ix = seg, min(line, pn.mx - 1)
            xi, eta, h = np.full(4, 0.0 if line < pn.mx else 1.0), Z, pn.b[seg - 1]
        return iy, ix, xi, eta, WZ * h

    def line_form(self, direction, line, f1, o1, f2, o2, weight):
        """K += integral along the stiffener of weight(s) D1[f1] D2[f2]; o = (along, across) orders."""
        pn, K = self.pn, self.K
        segments = pn.mx - 1 if direction == "X" else pn.my - 1
        for seg in range(1, segments + 1):
            iy, ix, xi, eta, w = self.segment(direction, line, seg)
            hx, hy = pn.a[ix - 1], pn.b[iy - 1]
            xy = (lambda o: o) if direction == "X" else (lambda o: o[::-1])
            d1 = shape(*xy(o1), hx, hy, xi, eta, pn.sa, pn.sb)
            d2 = shape(*xy(o2), hx, hy, xi, eta, pn.sa, pn.sb)
            block = np.einsum("rcg,sdg,g->rcsd", d1, d2, w * weight(seg, Z))
            self.add(K, pn.dofs(iy, ix, f1), pn.dofs(iy, ix, f2), block)

    def stiffener(self, direction, line, steif):
        pn = self.pn
        ea, es, ei, gj = steif
        kappa = pn.kappa[0 if direction == "X" else 1]
        along = 2 if direction == "X" else 3
        const = lambda c: (lambda seg, z: np.full_like(z, c))
        self.line_form(direction, line, 1, (0, 0), 1, (0, 0), const(kappa * kappa * ea))
        self.line_form(direction, line, 1, (0, 0), 1, (2, 0), const(2 * kappa * es))
        self.line_form(direction, line, 1, (1, 1), 1, (1, 1), const(gj / pn.fa ** 2))
        self.line_form(direction, line, 1, (2, 0), 1, (2, 0), const(ei))
        if along in pn.active:
            self.line_form(direction, line, along, (1, 0), along, (1, 0), const(ea))
            # EA kappa u,s w + ES u,s w,ss, entered with its mirror so A21 receives it whole
            for o, c in (((0, 0), ea * kappa), ((2, 0), es)):
                self.line_form(direction, line, along, (1, 0), 1, o, const(c))
                self.line_form(direction, line, 1, o, along, (1, 0), const(c))

    # ------------------------------------------------------------------ the matrices

    @staticmethod
    def sym(k):
        return 0.5 * (k + k.T)

    def a11(self):
        return self.sym(self.K[: self.pn.ix, : self.pn.ix])

    def a22(self):
        return self.sym(self.K[self.pn.ix:, self.pn.ix:])

    def a21(self):
        w, n = slice(0, self.pn.ix), slice(self.pn.ix, None)
        return 0.5 * (self.K[n, w] + self.K[w, n].T)

    def b(self, pmem, fakt):
        """fakt times the geometric stiffness of the nodal forces pmem (Nx, Nxy, Ny): in each
        subdivision the force of its lower y-line, linear in x; stiffener forces EA times the
        strain of the data set whose loads the node carries."""
        pn, n = self.pn, self.pn.ix
        B = np.zeros((n, n))
        for iy in range(1, pn.my):
            for ix in range(1, pn.mx):
                hx, hy = pn.a[ix - 1], pn.b[iy - 1]
                f1, f2 = pmem[pn.node(iy, ix) - 1], pmem[pn.node(iy, ix + 1) - 1]
                wx = shape(1, 0, hx, hy, self.xi, self.eta, pn.sa, pn.sb)
                wy = shape(0, 1, hx, hy, self.xi, self.eta, pn.sa, pn.sb)
                force = np.outer(f1, 1 - self.xi) + np.outer(f2, self.xi)   # (3, points)
                g = self.w * pn.fa * hx * hy
                block = (np.einsum("rcg,sdg,g->rcsd", wx, wx, g * force[0])
                         + 2 * np.einsum("rcg,sdg,g->rcsd", wx, wy, g * force[1])
                         + np.einsum("rcg,sdg,g->rcsd", wy, wy, g * force[2]))
                self.add(B, pn.dofs(iy, ix, 1), pn.dofs(iy, ix, 1), block)
        saved, self.K = self.K, B
        for direction, lines, ea in (("X", pn.stringers, pn.steif[0]), ("Y", pn.frames, 0.8 * pn.steif[0])):
            for line in lines:
                nodal = [self.axial(direction, line, j, ea, pmem)
                         for j in range(1, (pn.mx if direction == "X" else pn.my) + 1)]
                self.line_form(direction, line, 1, (1, 0), 1, (1, 0),
                               lambda seg, z: nodal[seg - 1] * (1 - z) + nodal[seg] * z)
        self.K = saved
        return fakt * self.sym(B)

    def mass(self, dom, domx, domy):
        """Skin mass dom fa per unit area and stiffener masses per unit length, integral of w w."""
        pn, n = self.pn, self.pn.ix
        saved, self.K = self.K, np.zeros((n, n))
        for iy in range(1, pn.my):
            for ix in range(1, pn.mx):
                hx, hy = pn.a[ix - 1], pn.b[iy - 1]
                d = shape(0, 0, hx, hy, self.xi, self.eta, pn.sa, pn.sb)
                block = dom * pn.fa * hx * hy * np.einsum("rcg,sdg,g->rcsd", d, d, self.w)
                self.add(self.K, pn.dofs(iy, ix, 1), pn.dofs(iy, ix, 1), block)
        for direction, lines, masses in (("X", pn.stringers, domx), ("Y", pn.frames, domy)):
            for line, m in zip(lines, masses):
                self.line_form(direction, line, 1, (0, 0), 1, (0, 0), lambda seg, z: np.full_like(z, m))
        out, self.K = self.K, saved
        return out

    def axial(self, direction, line, j, ea, pmem):
        pn = self.pn
        yline, node = (line, pn.node(line, j)) if direction == "X" else (j, pn.node(j, line))
        aij = pn.compliance[pn.elmstf[yline - 1] - 1 if yline < pn.my else 0]
        nx, nxy, ny = pmem[node - 1]
        return ea * (aij[0 if direction == "X" else 1] @ np.array([nx, ny, nxy]))


# ----------------------------------------------------------------------------- comparison

def assert_profile(stored, lv, want):
    n = want.shape[0]
    got, mask = profile(stored, lv, n)
    tri = np.tril(np.ones((n, n), bool))
    scale = np.abs(want).max()
    assert np.abs(want[tri & ~mask]).max(initial=0) <= 1e-9 * scale, "form reaches outside the profile"
    np.testing.assert_allclose(got[mask], want[mask], rtol=2e-5, atol=2e-6 * scale)


def assemble(pn, pmem=None, fakt=1.0):
    """The system's A22, A21, A11 and, for pmem, fakt * B (profile with the B pointers)."""
    out = {}
    if pn.iy:
        lv22 = pointers(pn.iy, pn.ibdy)
        a22 = np.zeros(lv22[-1] + pn.iy)
        assert call(M.cmpa22, a22) == 0
        a21 = np.zeros((NY, pn.ix), order="F")
        assert call(M.cmpa21, a21, pn.iy) == 0
        out.update(a22=(a22, lv22), a21=a21[: pn.iy])
    lvt = pointers(pn.ix, pn.ix)
    a11 = np.zeros(lvt[-1] + pn.ix)
    assert call(M.cmpa11, a11) == 0
    out["a11"] = (a11, lvt)
    if pmem is not None:
        lvb = pointers(pn.ix, pn.ibdx)
        bmt = np.zeros(lvb[-1] + pn.ix)
        assert call(M.cmpbmt, bmt, lvb, np.asfortranarray(pmem, np.float32), fakt) == 0
        out["b"] = (bmt, lvb)
    return out


def nodal_forces(seed):
    rng = np.random.default_rng(seed)
    return np.asfortranarray(rng.uniform(-50.0, 50.0, (NODES, 3)).astype(np.float32))


CURVED = (900.0, 750.0, 1e29)
EDGES = {"bndy0": [0, 1, 6, 0, 0, 0, 0], "bndx0": [1, 0, 0, 0, 0, 0, 0], "bndyl": [-1, 0, 0, 0, 0, 0, 0]}
PANELS = {
    "plate, W only": dict(ku=(1,)),
    "flat, W U V, stiffened": dict(stringers=(2,), frames=(3,)),
    # the stringer on line 3 stands on foot strips: its force is EA times the foot's strain
    "curved, W U V, stiffened, two data sets": dict(
        my=5, b=(40.0, 12.5, 12.5, 40.0), radii=CURVED, stringers=(3, 5), frames=(1, 4),
        elmstf=[1, 2, 2, 1], sets=(2.0, 3.5)),
    "curved, five functions, suppressed edges": dict(
        ku=(1, 2, 3, 4, 5), radii=CURVED, edges=EDGES, rotations=True, stringers=(2,)),
    "oblique, curved, W U V": dict(radii=CURVED, alfa=(10.0, -5.0), frames=(2,)),
}


@pytest.mark.parametrize("config", PANELS.values(), ids=PANELS.keys())
def test_matrices_equal_the_integrated_bilinear_forms(listing, config):
    pn = Panel(**config)
    want = Oracle(pn)
    pmem = nodal_forces(1)
    got = assemble(pn, pmem, fakt=-0.7)
    if pn.iy:
        assert_profile(*got["a22"], want.a22())
        np.testing.assert_allclose(got["a21"], want.a21(), rtol=2e-5, atol=2e-6 * np.abs(want.a21()).max())
    assert_profile(*got["a11"], want.a11())
    assert_profile(*got["b"], want.b(pmem, -0.7))

    # Prescribed membrane forces move their geometric stiffness to A11 with the factor -1.
    pn.hidden.pfest[:] = nodal_forces(2)
    lvt = got["a11"][1]
    loaded = np.zeros_like(got["a11"][0])
    assert call(M.cmpa11, loaded) == 0
    assert_profile(loaded, lvt, want.a11() - want.b(pn.hidden.pfest, 1.0))


@pytest.mark.parametrize("config", [PANELS["curved, W U V, stiffened, two data sets"],
                                    PANELS["oblique, curved, W U V"]], ids=["two data sets", "oblique"])
def test_torsion_under_load_adds_its_line_integral_to_b(listing, config):
    """Ip/A per stiffener adds fakt (Ip/A) / fa^2 * integral of P (w,sn)^2; stiffeners without
    it (and unused table entries) leave B bit for bit as it was."""
    pn = Panel(**config)
    want = Oracle(pn)
    pmem = nodal_forces(5)
    plain = assemble(pn, pmem, fakt=-0.7)["b"]
    tor = _zeft._internal31.stftor
    tor.ipax[len(pn.stringers):] = 3.0e3
    tor.ipay[len(pn.frames):] = 3.0e3
    assert np.array_equal(assemble(pn, pmem, fakt=-0.7)["b"][0], plain[0])

    polar = {"X": [450.0, 820.0][: len(pn.stringers)], "Y": [610.0, 95.0][: len(pn.frames)]}
    tor.ipax[: len(pn.stringers)] = polar["X"]
    tor.ipay[: len(pn.frames)] = polar["Y"]
    n = pn.ix
    want.K = np.zeros((n, n))
    for direction, lines, ea in (("X", pn.stringers, pn.steif[0]), ("Y", pn.frames, 0.8 * pn.steif[0])):
        for line, r in zip(lines, polar[direction]):
            nodal = [want.axial(direction, line, j, ea, pmem) for j in range(1, (pn.mx if direction == "X" else pn.my) + 1)]
            want.line_form(direction, line, 1, (1, 1), 1, (1, 1),
                           lambda seg, z: r / pn.fa ** 2 * (nodal[seg - 1] * (1 - z) + nodal[seg] * z))
    torsion = -0.7 * want.sym(want.K)
    assert np.abs(torsion).max() > 1e-3 * np.abs(want.b(pmem, -0.7)).max()
    assert_profile(*assemble(pn, pmem, fakt=-0.7)["b"], want.b(pmem, -0.7) + torsion)


# ----------------------------------------------------------------------------- failures

def test_a21_with_the_wrong_row_count_is_left_untouched(listing):
    pn = Panel()
    a21 = np.full((NY, pn.ix), 7.0, order="F")
    assert call(M.cmpa21, a21, pn.iy + 1) == 1
    assert (a21 == 7.0).all()
    assert listing() == [" MESSAGE FROM CMPA21:", " WRONG NUMBER OF ROWS SPECIFIED FOR A21"]


UV = [" Using ZEFT with stiffened panels requires functional dofs u,v (2,3).",
      " Please correct input of KU in NAMELIST SUBDIV"]


@pytest.mark.parametrize("stiffeners, routine, ier, tail", [
    ({"stringers": (2,)}, "a22ast X", 1, ["", " MESSAGE FROM SUBROUTINE A22AST:"] + UV),
    ({"frames": (2,)}, "cmpa22", 4, [" MESSAGE FROM SUBROUTINE A22:", " ERROR IN SUBROUTINE A22AST, YX-DIRECTION"]),
    ({"stringers": (2,)}, "cmpa11", 3, ["", " MESSAGE FROM SUBROUTINE CMPA11: ", " ERROR IN SUBROUTINE A11XST."]),
    ({"frames": (2,)}, "cmpa21", 4, [" MESSAGE FROM CMPA21:", " ERROR IN SUBROUTINE A21AST,Y-DIRECTION"]),
])
def test_stiffened_panel_without_u_and_v(listing, stiffeners, routine, ier, tail):
    pn = Panel(ku=(1, 4, 5), rotations=True, **stiffeners)
    assert run(pn, routine) == ier
    assert listing()[-len(tail):] == tail


def run(pn, routine):
    """Calls one assembly routine on fresh arrays of the right size; returns its ier."""
    name, _, xory = routine.partition(" ")
    lvt, lvb = pointers(pn.ix, pn.ix), pointers(pn.ix, int(_zeft.f07ina.ibdx))
    pmem = nodal_forces(5)
    if name in ("cmpa22", "a22ast"):
        lv = pointers(pn.iy, pn.ibdy)
        a22 = np.zeros(lv[-1] + pn.iy)
        return call(M.cmpa22, a22) if name == "cmpa22" else call(M.a22ast, xory, a22)
    if name in ("cmpa21", "a21ast"):
        a21 = np.zeros((NY, pn.ix), order="F")
        return call(M.cmpa21, a21, pn.iy) if name == "cmpa21" else call(M.a21ast, xory, a21)
    if name in ("cmpbmt", "bmatst"):
        bmt = np.zeros(lvb[-1] + pn.ix)
        return call(M.cmpbmt, bmt, lvb, pmem, 1.0) if name == "cmpbmt" else call(M.bmatst, xory, bmt, lvb, pmem, 1.0)
    a11 = np.zeros(lvt[-1] + pn.ix)
    return call(getattr(M, name), a11)


def third_derivative():
    q = _zeft.f01qua
    q.kquad[next(t for t in range(q.ikt[0]) if q.kquad[t, 2, 0] == 11), 0, 0] = 130


SPOIL = {"leit": lambda: _zeft.f07ina.leit.__setitem__((0, 0), 0),
         "terms": lambda: _zeft.f01qua.ikt.__setitem__(0, 341),
         "third derivative": third_derivative,
         "fewer W freedoms": lambda: setattr(_zeft.man, "ix", 10),
         "narrower band": lambda: setattr(_zeft.f07ina, "ibdx", 5),
         "stringer beyond the grid": lambda: setattr(_zeft.f07ina, "my", 2),
         "nothing": lambda: None}


@pytest.mark.parametrize("change, routine, ier, tail", [
    # one row per kind of fault and message; an index map that fails ends the matrix with a
    # code, and the run continues to its stop block
    ("leit", "cmpa11", 2, [" MESSAGE FROM SUBROUTINE CMPA11: ", " ERROR IN SUBROUTINE IUORIV."]),
    ("leit", "cmpbmt", 1, [" MESSAGE FROM SUBROUTINE CMPBMT:", " ERROR IN SUBROUTINE IUORIV"]),
    # records that would take the assembly outside its tables or arrays
    ("terms", "cmpa22", 5, [" ELEMENT 1 HAS 341 QUADRATIC-FORM TERMS, MORE THAN 340"]),
    ("third derivative", "cmpa11", 5, [" TERM"]),
    ("fewer W freedoms", "cmpa11", 5, [" INDEX MAP OF FUNCTION 1 ON SUBDIVISION 1,1 LEAVES THE MATRIX (ORDER 10"]),
    ("narrower band", "cmpbmt", 4, [" INDEX MAP OF FUNCTION 1 ON SUBDIVISION 1,1 LEAVES THE MATRIX"]),
    ("stringer beyond the grid", "bmatst X", 3, [" STIFFENER 1 X ON LINE 3 OUTSIDE THE GRID"]),
    ("stringer beyond the grid", "a11xst", 2, [" ERROR RETURN FROM KUORKV, I=   3J=   1"]),
    ("nothing", "a21ast Z", 3, [" INADMISSIBLE FIRST ARGUMENT, NEITHER 'X' NOR 'Y'"]),
])
def test_failures_return_a_code_with_their_message(listing, change, routine, ier, tail):
    pn = Panel(stringers=(3,), radii=CURVED)
    SPOIL[change]()
    assert run(pn, routine) == ier
    got = listing()
    assert [s[: len(t)] for s, t in zip(got[-len(tail):], tail)] == tail
