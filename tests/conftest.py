"""What the test modules share: a fresh analysis state and working folder for every test, the
builders of panels for callzeft and zeftmain, and readers of the listing.

Every test file runs in the sanitizer job (.ci/sanitize) unless it says why not, with
``pytestmark = pytest.mark.no_sanitize("reason")``; a new file is therefore covered by default.
"""
import os
import resource

import numpy as np
import pytest

import _zeft                # the suite means nothing without the module: a failed import fails it

FLAGS = ("temp", "strs", "buck", "vibr", "inpb", "cripan", "glban")
STOP = "    MAIN PROGRAM:   EXECUTION STOPPED."
FINISHED = " Buckling/Vibration analysis finished"


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "no_sanitize(reason): leave this test out of the sanitizer job, for the reason given")


def pytest_collection_modifyitems(config, items):
    for item in items:
        mark = item.get_closest_marker("no_sanitize")
        if mark is not None and not (mark.args and isinstance(mark.args[0], str) and mark.args[0]):
            raise pytest.UsageError(f"{item.nodeid}: no_sanitize needs the reason as its argument")


# ----------------------------------------------------------------------------- state and folder

@pytest.fixture(autouse=True)
def work_folder(tmp_path, monkeypatch):
    """Every test starts in a folder of its own with the state of a fresh import (every record at
    its contents at load, every unit closed). Files written meanwhile are limited to 64 MB, so
    that a writer caught in a loop cannot fill the disk."""
    monkeypatch.chdir(tmp_path)
    limits = resource.getrlimit(resource.RLIMIT_FSIZE)
    cap = 64 << 20 if limits[1] == resource.RLIM_INFINITY else min(64 << 20, limits[1])
    resource.setrlimit(resource.RLIMIT_FSIZE, (cap, limits[1]))
    _zeft._reset_state()
    yield tmp_path
    _zeft._reset_state()
    resource.setrlimit(resource.RLIMIT_FSIZE, limits)


@pytest.fixture
def folder(work_folder):
    return work_folder


@pytest.fixture
def listing():
    """The analysis listing on fort.9: listing() returns the records written since its last call."""
    _zeft.datran.nwrite = 9

    def new_records():
        lines = unit9()
        if lines:
            os.remove("fort.9")
        return lines

    return new_records


# ----------------------------------------------------------------------------- small helpers

def call(routine, *args):
    """Calls a routine whose last argument is its error code; returns the code."""
    ier = np.zeros(1, np.int32)
    routine(*args, ier)
    return int(ier[0])


def pointers(n, ibd):
    """Profile pointers of a band matrix of order n and half-bandwidth ibd (mklvbd)."""
    lv, ier = np.zeros(n, np.int32), np.full(1, -7, np.int32)
    _zeft.zeftutils.mklvbd(lv, n, ibd, ier)
    assert ier[0] == 0
    return lv


def pack(A, ibd):
    """Lower band of A in profile storage (rows one after another)."""
    return np.concatenate([A[i, max(0, i - ibd + 1):i + 1] for i in range(len(A))])


def profile(a, lv, n):
    """Dense lower triangle of the matrix of order n in profile storage (entry (i, j) at
    a[lv(i) + j - 1], 1-based), and the mask of its stored entries."""
    low, mask = np.zeros((n, n)), np.zeros((n, n), bool)
    for i in range(1, n + 1):
        cols = np.arange(1 if i == 1 else lv[i - 2] + i - lv[i - 1], i + 1)
        low[i - 1, cols - 1] = a[lv[i - 1] + cols - 1]
        mask[i - 1, cols - 1] = True
    return low, mask


def dense(a, lv, n):
    """The symmetric matrix of order n in profile storage."""
    low = profile(a, lv, n)[0]
    return low + np.tril(low, -1).T


def fortran_e(v, w, d, letter="E"):
    """The Ew.d (or Dw.d) field of v, by the FORMAT interpreter (pinned by Fortran reference records)."""
    return _zeft._format(f"({letter}{w}.{d})", [v])[0]


def box(value=0, dtype=np.int32):
    """A one-element array: a scalar argument a routine writes back."""
    return np.full(1, value, dtype)


def compliance(m):
    """Inverse of the packed (11, 12, 22, 13, 23, 33) membrane stiffness: strains from (Nx, Ny, Nxy)."""
    return np.linalg.inv(np.array([[m[0], m[1], m[3]], [m[1], m[2], m[4]], [m[3], m[4], m[5]]], np.float64))


def padded(values, n, dtype=np.int32):
    out = np.zeros(n, dtype)
    out[: len(values)] = values
    return out


def read(name):
    """The records of a file of the working folder, the units flushed first."""
    _zeft._flush_units()
    with open(name) as f:
        return f.read().splitlines()


def unit9():
    """Closes the listing unit and returns the records written to fort.9 (none: [])."""
    _zeft._close_unit(9)
    try:
        with open("fort.9") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def isotropic(t, e=70000.0, nu=0.3):
    """Membrane, coupling and bending stiffness of a homogeneous skin, packed 11,12,22,13,23,33."""
    a = e * t / (1 - nu * nu)
    d = e * t ** 3 / (12 * (1 - nu * nu))
    g = (1 - nu) / 2
    return np.array([a, nu * a, a, 0, 0, g * a, 0, 0, 0, 0, 0, 0, d, nu * d, d, 0, 0, g * d], np.float32)


class Hidden:
    """The records the module does not publish (skin stiffness data sets, membrane forces,
    stiffener table, strip data sets, mass, membrane compliance) as live views of the module's
    internal records in the layout of preset n. A scalar member appears as a one-element view,
    so that h.stype[0] = 2 writes the record."""

    def __init__(self, n=31):
        rec = getattr(_zeft, f"_internal{n}")
        self.matabd, self.matsw = rec.skstf.matabd, rec.skstf.matsw
        self.pfest, self.pvar = rec.cpfest.pfest, rec.cpvar.pvar
        dis = rec.f07dis
        self.steifx, self.istx, self.nox, self.domx = dis.steifx, dis.istx, dis.nox.reshape(1), dis.domx
        self.steify, self.isty, self.noy, self.domy = dis.steify, dis.isty, dis.noy.reshape(1), dis.domy
        self.stype = dis.stype.reshape(1)
        self.elmstf = rec.stiffcom.elmstf
        self.densit = rec.densit.dom.reshape(1)     # skin mass per unit area
        self.aij = rec.f07aij.aij


def leit_table(mx, my, n=31):
    """Node numbers of an mx x my grid as record f07ina holds them: leit(j, i) = (i - 1) my + j."""
    table = np.zeros((n, n), np.int32)
    for i in range(1, mx + 1):
        table[:my, i - 1] = (i - 1) * my + np.arange(1, my + 1)
    return table


def set_grid(mx, my, ku=(1,), a=10.0, b=20.0, edges=None, sup=(), seiten=None):
    """A grid of mx x my lines in the records of preset 31 as the input check leaves it: the
    active functions ku, subdivision lengths, node numbers, edge codes and suppressed freedoms."""
    ina, ind = _zeft.f07ina, _zeft.f07ind
    ina.mx, ina.my = mx, my
    ina.ku = padded(ku, 5)
    ina.knfun = sum(1 for k in ku if k > 0)
    ina.a = padded(np.broadcast_to(a, (mx - 1,)), 30, np.float32)
    ina.b = padded(np.broadcast_to(b, (my - 1,)), 30, np.float32)
    ina.leit = leit_table(mx, my)
    for name in ("bndy0", "bndyl", "bndx0", "bndxl"):
        setattr(ind, name, padded((edges or {}).get(name, ()), 7))
    ind.seiten = int(edges is not None) if seiten is None else seiten
    idesup = np.zeros((4, 250), np.int32)
    for k, column in enumerate(sup):
        idesup[:, k] = column
    ind.idesup = idesup
    ind.numsup = len(sup)


# ----------------------------------------------------------------------------- panels

# The two-bay stringer panel of callzeft: two skin bays of 90 (four skin strips of 20, half a
# foot of 10) either side of one stringer on y-line 6, 180 long, so that each bay is a plate
# of aspect ratio 2, simply supported on its edges. Its load is the one at which k = 1.
T, E, NU, BAY = 2.0, 70000.0, 0.3, 90.0
D = E * T ** 3 / (12 * (1 - NU ** 2))
N_PLATE = np.pi ** 2 * D / BAY ** 2


def callzeft_args(n=31, **changes):
    """callzeft arguments (by name) of the two-bay stringer panel for the module of preset n."""
    mod = getattr(_zeft, f"prtnds{n}")
    r, s, nx = n - 1, n - 2, int(mod.p_nx)
    matabd = np.zeros((18, 2), np.float32, order="F")
    matabd[:, 0] = matabd[:, 1] = isotropic(T, E, NU)
    args = dict(
        filenamep="TWOBAY", titp="TWO BAYS", rxp=1e29, ryp=1e29, rxyp=1e29, matabdf=matabd,
        steifxf=[0.0, 0.0, 1.0e9, 0.0], steifyf=[0.0, 0.0, 0.0, 0.0], framepitch=180.0,
        stringerpitch=100.0, stypep=1, chordwdth=0.0, sfootwdth=20.0, alpha=0.0, height=0.0,
        loadvxp=N_PLATE, loadvyp=0.0, loadvxyp=0.0, fnxp=0.0, fnxyp=0.0, fnyp=0.0, alfaxp=0.0,
        alfayp=0.0, elamp=np.zeros(55), membraneforcesp=np.zeros(275), itab=0, neigit=8, neigrq=3,
        mempri=1, indplt=0, ku=[1, 2, 3, 0, 0], istx=[6], isty=[],
        elmstf=[1, 1, 1, 1, 2, 2, 1, 1, 1, 1],
        bndy0=[0, 1, 3, 0, 0, 0, 0], bndyl=[0, 1, 0, 0, 0, 0, 0],
        bndx0=[0, 1, 2, 0, 0, 0, 0], bndxl=[0, 1, 0, 0, 0, 0, 0],
        anzelzwframes=6, anzelprohalbfoot=1, anzelzwstr=4, anzelbelowstr=1, displ=None)
    args.update(changes)
    if args["displ"] is None:
        args["displ"] = np.zeros(nx * args["neigrq"])
    for key, length in (("istx", s), ("isty", s), ("elmstf", r), ("ku", 5), ("bndy0", 7), ("bndyl", 7),
                        ("bndx0", 7), ("bndxl", 7)):
        args[key] = padded(args[key], length)
    return args


def zeftmain_args(n=31, mx=4, my=3, length=300.0, width=100.0, **changes):
    """zeftmain arguments (by name) of a plain skin panel of mx x my equally spaced lines for the
    module of preset n, simply supported without in-plane supports; changes by argument name."""
    r, s = n - 1, n - 2
    args = dict(
        proj="PANEL", titp="DRIVER TEST", buckp=0, itabp=0, neigitp=4, neigrqp=2, memprip=1,
        indpltp=0, kup=[1, 2, 3, 0, 0],
        ap=padded(np.full(mx - 1, length / (mx - 1)), r, np.float32),
        bp=padded(np.full(my - 1, width / (my - 1)), r, np.float32),
        bndx0p=np.zeros(7), bndxlp=np.zeros(7), bndy0p=np.zeros(7), bndylp=np.zeros(7),
        rxp=1e29, ryp=1e29, rxyp=1e29, istxp=np.zeros(s), istyp=np.zeros(s),
        elmstfp=np.ones(r), steifxp=np.zeros((4, s)), steifyp=np.zeros((4, s)),
        alfaxp=0.0, alfayp=0.0)
    args.update(changes)
    args["kup"] = padded(args["kup"], 5)
    for key in ("istxp", "istyp"):
        args[key] = padded(args[key], s)
    return args


def prepare_records(n=31, mx=4, my=3, sets=(2.0, 3.0)):
    """What zeftmain takes from the records rather than its arguments: the grid size, the skin
    data sets (isotropic of the thicknesses `sets`) and zero loads. Returns the Hidden view."""
    _zeft.f07ina.mx, _zeft.f07ina.my = mx, my
    h = Hidden(n)
    h.matabd[:, 0], h.matabd[:, 1] = isotropic(sets[0]), isotropic(sets[1])
    return h


def plate(a=100.0, b=100.0, t=1.0, n=8, **changes):
    """zeft.Panel of a simply supported isotropic plate a x b (t thick, E = 70000, nu = 0.3, mass
    2.7e-9 per volume) under nx = 1, W alone, n x n elements, two load factors; fields by name."""
    import zeft
    return zeft.Panel(**{**dict(name="PLATE", stringer_pitch=b, frame_pitch=a, load=zeft.Load(nx=1.0),
                                skin=zeft.Isotropic(t, 70000.0, 0.3, density=2.7e-9), functions=("w",),
                                elements_between_frames=n, elements_between_stringers=n, eigenvalues=2), **changes})


# Edge codes: W held, V held on the x-edges and U on the y-edges ("ss"); the normal slope of W
# held as well ("cc").
SS_X, SS_Y = [0, 1, 3, 0, 0, 0, 0], [0, 1, 2, 0, 0, 0, 0]
CC_X, CC_Y = [0, 1, 3, 6, 0, 0, 0], [0, 1, 2, 6, 0, 0, 0]
EDGES = {"ss": dict(bndx0p=SS_X, bndxlp=SS_X, bndy0p=SS_Y, bndylp=SS_Y),
         "cc": dict(bndx0p=CC_X, bndxlp=CC_X, bndy0p=CC_Y, bndylp=CC_Y)}


class RunPanel:
    """One zeftmain run of a panel whose skin data sets, membrane forces and stiffener
    stiffnesses go in through the unpublished records: preset n, mx x my lines (equally spaced
    over length x width unless the lengths a, b are given), edges "ss", "cc" or a dict of
    zeftmain's edge arguments; skin and foot are the two data sets (foot defaults to skin),
    `rotations` adds stiffness for BETA and GAMMA; load, fixed (or field(ix, iy) -> load) the
    variable and fixed membrane forces of every node."""

    def __init__(self, n=31, mx=5, my=4, length=100.0, width=80.0, a=None, b=None, ku=(1, 2, 3),
                 radii=(1e29, 1e29, 1e29), edges="ss", stringers=(), frames=(), steif=(0.0, 0.0, 0.0, 0.0),
                 frame_steif=None, skin=None, foot=None, rotations=False, elmstf=None, load=(1.0, 0.0, 0.0),
                 fixed=(0.0, 0.0, 0.0), field=None, alfa=(0.0, 0.0), buck=1, neigit=6, neigrq=3, mempri=0,
                 itab=0, x2pri=0, proj="PANEL"):
        r, s = n - 1, n - 2
        self.n, self.mx, self.my, self.proj = n, mx, my, proj
        self.h = h = Hidden(n)
        _zeft.f07ina.mx, _zeft.f07ina.my = mx, my
        _zeft.man.x2pri = x2pri
        _zeft.f07inb.rx, _zeft.f07inb.ry, _zeft.f07inb.rxy = radii    # kept by a run of W alone
        h.matabd[:, 0] = isotropic(1.0) if skin is None else skin
        h.matabd[:, 1] = h.matabd[:, 0] if foot is None else foot
        h.matsw[:] = 0
        if rotations:   # rotation-gradient and transverse-shear stiffness for BETA, GAMMA
            h.matsw[12:18, :] = isotropic(1.0)[12:18, None] * 40
            h.matsw[18:21, :] = np.array([2.0e4, 0.0, 1.5e4])[:, None]
        h.stype[0] = 0
        h.pvar[:], h.pfest[:] = 0, 0
        for ix in range(1, mx + 1):
            for iy in range(1, my + 1):
                node = (ix - 1) * my + iy - 1
                h.pvar[node] = field(ix, iy) if field else load
                h.pfest[node] = fixed
        steifx, steify = np.zeros((4, s)), np.zeros((4, s))
        steifx[:, :len(stringers)] = np.array(steif)[:, None]
        steify[:, :len(frames)] = np.array(steif if frame_steif is None else frame_steif)[:, None]
        a = np.full(mx - 1, length / (mx - 1)) if a is None else a
        b = np.full(my - 1, width / (my - 1)) if b is None else b
        bnd = EDGES[edges] if isinstance(edges, str) else {k + "p": v for k, v in edges.items()}
        getattr(_zeft, f"prtnds{n}").zeftmain(**zeftmain_args(
            n, proj=proj, titp="TEST PANEL", buckp=buck, itabp=itab, neigitp=neigit, neigrqp=neigrq,
            memprip=mempri, kup=ku, ap=padded(a, r, np.float32), bp=padded(b, r, np.float32),
            rxp=radii[0], ryp=radii[1], rxyp=radii[2], istxp=stringers, istyp=frames,
            elmstfp=padded(elmstf or [1] * (my - 1), r), steifxp=steifx, steifyp=steify,
            alfaxp=alfa[0], alfayp=alfa[1], **bnd))
        self.ix, self.iy = int(_zeft.man.ix), int(_zeft.man.iy)

    @property
    def listing(self):
        return read(f"{self.proj:<8}.out")
