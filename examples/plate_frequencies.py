"""Natural frequencies of a rectangular plate through the vibration routines of the analysis
module, compared with the classical result for simply supported edges,

    f_mn = (pi / 2) ((m / a)^2 + (n / b)^2) sqrt(D / (rho h)),   D = E h^3 / (12 (1 - nu^2)).

The analysis run of the module computes buckling loads only, so a vibration analysis is put
together from the routines one by one, the way a host program drives it:

1. ``callzeft`` runs a buckling analysis of the panel. The run lays out what the vibration
   analysis needs and the host cannot set itself: grid, node and freedom numbering, profile
   pointers and element stiffness terms. Its variable load only serves that run; fixed loads
   (``fnxp`` ...) stay in the stiffness as a prestress.
2. The listing unit 9 is free after the run, and what follows would be listed in ``fort.9``;
   a symbolic link of that name sends it to a listing named by the user.
3. The masses come from the input unit: a group ``&inert dom = ..., domx = ..., domy = ... /``
   in the file ``fort.8`` of the working folder, read by ``rddata`` while ``antype.vibr`` is
   set (skin mass per unit area ``dom``, stringer and frame masses per unit length).
4. ``vibs2`` assembles the stiffness and mass matrices, ``vibs3`` condenses the in-plane
   freedoms and lists eigenvalues (omega^2), frequencies in hertz and eigenvectors.

The listing stays connected until the process ends, so ``main`` runs the analysis in a child
interpreter and reads the frequencies from the finished listing.

Units: N, mm, s, so masses are in t/mm^2 (skin) and t/mm (stiffeners).

Run:  python examples/plate_frequencies.py [folder]
"""

from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path

import numpy as np

import _zeft

PRESET = 19

#: The plate: aluminium, 600 mm x 400 mm, 2 mm thick, 8 x 8 subdivisions (9 x 9 grid lines).
PLATE = dict(length=600.0, width=400.0, thickness=2.0, e_modulus=70000.0, poisson=0.33, density=2.7e-9,
             subdivisions=8, modes=4)

#: Edge codes (W held; the normal slope held too when clamped). With U and V taking part the
#: in-plane rigid-body motion is held as well: V on the edges x = const, U on y = const.
HELD, CLAMPED = [0, 1, 0, 0, 0, 0, 0], [0, 1, 6, 0, 0, 0, 0]


def bending_stiffness(p):
    return p["e_modulus"] * p["thickness"] ** 3 / (12.0 * (1.0 - p["poisson"] ** 2))


def stiffness_set(p):
    """Membrane, coupling and bending stiffness of the homogeneous skin, each packed 11, 12, 22,
    13, 23, 33."""
    a = p["e_modulus"] * p["thickness"] / (1.0 - p["poisson"] ** 2)
    d = bending_stiffness(p)
    g = 0.5 * (1.0 - p["poisson"])
    return [a, p["poisson"] * a, a, 0.0, 0.0, g * a] + [0.0] * 6 + [d, p["poisson"] * d, d, 0.0, 0.0, g * d]


def edge_codes(clamped, in_plane):
    """Codes of the edges y = 0 and y = b (U held with U, V present) and x = 0 and x = a (V held)."""
    base = CLAMPED if clamped else HELD
    along_y, along_x = list(base), list(base)
    if in_plane:
        along_y[3 if clamped else 2] = 2
        along_x[3 if clamped else 2] = 3
    return along_y, along_x


def analyse(plate=PLATE, clamped=False, functions=(1,), listing="PLATEVIB.out", x2pri=False):
    """Natural-frequency analysis of the plate in the current folder. The results are listed in
    the file `listing`; returns the error codes of rddata, vibs2 and vibs3 (0 on success)."""
    module = getattr(_zeft, f"prtnds{PRESET}")
    n, modes = plate["subdivisions"], plate["modes"]
    r1, s, elements = int(module.p_rtnds) - 1, int(module.p_stf), int(module.p_elmts)

    # 1. Set-up by a buckling run. One stringer bay of n skin strips without stringers spans
    # the width, n elements between frames without frames the length: a plain plate.
    skin = np.zeros((18, 2), np.float32, order="F")
    skin[:, 0] = skin[:, 1] = stiffness_set(plate)
    strips = np.zeros(r1, np.int32)
    strips[:n] = 1
    along_y, along_x = edge_codes(clamped, len(functions) > 1)
    ku = np.zeros(5, np.int32)
    ku[: len(functions)] = functions
    none = np.zeros(s, np.int32)
    _zeft.antype.vibr = 0
    _zeft.man.x2pri = int(x2pri)
    _zeft.f07inb.rx = _zeft.f07inb.ry = _zeft.f07inb.rxy = 1.0e29   # flat
    module.callzeft("PLATE", "NATURAL FREQUENCIES OF A PLATE", 1.0e29, 1.0e29, 1.0e29, skin,
                    np.zeros(4, np.float32), np.zeros(4, np.float32), plate["length"], plate["width"],
                    1, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
                    np.zeros(55), np.zeros(275), 0, 2 * modes, modes, 0, 0, ku, none, none, strips,
                    along_y, along_y, along_x, along_x, n, 1, n, 1, np.zeros(int(module.p_nx) * modes))

    # 2. A listing of one's own name in place of fort.9 (rddata's messages go there too).
    for name in ("fort.9", listing):
        if os.path.lexists(name):
            os.remove(name)
    os.symlink(listing, "fort.9")

    # 3. Masses from the input unit.
    with open("fort.8", "w") as f:
        f.write(f" &inert dom = {plate['density'] * plate['thickness']:.9e} /\n")
    _zeft.antype.vibr = 1
    bb, dd, bd, rr, dr, br = (np.zeros((6, elements), np.float32, order="F") for _ in range(6))
    ss = np.zeros((3, elements), np.float32, order="F")
    ier = [np.zeros(1, np.int32) for _ in range(3)]
    module.rddata(bb, dd, bd, rr, dr, br, ss, ier[0])
    _zeft.antype.vibr = 0      # a later buckling run must not find a vibration request

    # 4. Stiffness and mass, eigen solution, listing.
    if ier[0][0] == 0:
        module.vibs2(ier[1])
        if ier[1][0] == 0:
            module.vibs3(int(_zeft.man.iy), bb, dd, bd, 0.0, 0.0, 0.0, 0.0, ier[2])
    return [int(e[0]) for e in ier]


def listed_frequencies(listing):
    """(eigenvalues omega^2, frequencies in hertz) from the records " EIGENVALUE  k: ... HZ"."""
    pattern = re.compile(r"EIGENVALUE\s*\d+:\s*(\S+)\s*=\s*(\S+)\s*HZ")
    pairs = [m.groups() for m in map(pattern.search, Path(listing).read_text().splitlines()) if m]
    values = np.array([[float(v.replace("D", "E")) for v in p] for p in pairs])
    return values[:, 0], values[:, 1]


def closed_form(plate, count):
    """The lowest `count` frequencies of the simply supported plate and their half-wave numbers."""
    root = np.sqrt(bending_stiffness(plate) / (plate["density"] * plate["thickness"]))
    a, b = plate["length"], plate["width"]
    table = sorted((np.pi / 2 * ((m / a) ** 2 + (n / b) ** 2) * root, m, n) for m in range(1, 8) for n in range(1, 8))
    return table[:count]


def main():
    if sys.argv[1:2] == ["--analyse"]:
        codes = analyse()
        sys.exit(1 if any(codes) else 0)
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "plate_frequencies_run").resolve()
    folder.mkdir(exist_ok=True)
    subprocess.run([sys.executable, str(Path(__file__).resolve()), "--analyse"], cwd=folder, check=True)
    _, herz = listed_frequencies(folder / "PLATEVIB.out")
    print(f"\nSimply supported plate {PLATE['length']:g} x {PLATE['width']:g} x {PLATE['thickness']:g} mm,"
          f" {PLATE['subdivisions']} x {PLATE['subdivisions']} subdivisions")
    print(" mode  m  n   computed [Hz]   classical [Hz]   difference")
    for k, (f, (ref, m, n)) in enumerate(zip(herz, closed_form(PLATE, len(herz))), start=1):
        print(f" {k:4d} {m:2d} {n:2d} {f:15.3f} {ref:16.3f} {100 * (f / ref - 1):11.4f} %")
    print(f"\nListing: {folder / 'PLATEVIB.out'}")


if __name__ == "__main__":
    main()
