"""Blade-stiffened panel in compression: zeft against a shell finite-element model in which the
blade webs are meshed, run with CalculiX (the Debian package calculix-ccx, program ``ccx``).

The panel: a flat aluminium skin on simple supports along all four edges, two blade stringers,
one bay between the end supports, uniform compression along the stringers (the skin's running
load Nx and the same strain in the blades). The shell model meshes the skin and the webs with
8-node shells (S8R); the webs stand on the skin's middle surface under the stringer lines. Its
supports follow the beam model: W held on the four skin edges, the webs held sideways at both
ends (the stringer's twist is zero where the skin's slope across it is), u held along x = 0,
v along y = 0, the load entered as edge forces at x = L.

zeft is run with the stringer from ``sections.blade`` twice: with the torsion under load (the
builder's EIp, the default) and without it (EIp = 0). Usage:

    python validation/blade_torsion.py [folder]

prints both load factors, the shell model's and the differences; the result of the last run is
kept in validation/blade_torsion.md.
"""

from __future__ import annotations

import dataclasses
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np

import zeft
from zeft import sections

E, NU = 70000.0, 0.33
T_SKIN, T_WEB = 1.6, 2.0
HEIGHT = 25.0                 # blade height above the skin surface
PITCH, LENGTH, STRINGERS = 120.0, 360.0, 2
NX = 1.0                      # skin running load (N/mm); the blades carry the same strain


def zeft_panel(torsion: bool) -> zeft.Panel:
    skin = zeft.Isotropic(T_SKIN, E, NU)
    blade = sections.blade(HEIGHT, zeft.Isotropic(T_WEB, E, NU), skin)
    fields = blade.panel_fields()
    if not torsion:
        fields["stringer"] = dataclasses.replace(blade.stiffener, EIp=0.0)
    return zeft.Panel(name="BLADE", stringer_pitch=PITCH, frame_pitch=LENGTH, stringers=STRINGERS, skin=skin,
                      load=zeft.Load(nx=NX), elements_between_frames=12, elements_between_stringers=8,
                      eigenvalues=1, **fields)


# ---------------------------------------------------------------------------- the shell model

class Mesh:
    """8-node shell elements on rectangular patches; nodes shared by position."""

    def __init__(self):
        self.nodes: dict = {}        # rounded position -> number
        self.xyz: list = []
        self.elements: dict = {}     # set name -> list of 8 node numbers

    def node(self, p) -> int:
        key = tuple(round(float(c), 6) for c in p)
        if key not in self.nodes:
            self.xyz.append(key)
            self.nodes[key] = len(self.xyz)
        return self.nodes[key]

    def patch(self, name, origin, du, dv, su, sv):
        """Elements on origin + u du + v dv, u over the breaks su, v over sv (element edges)."""
        origin, du, dv = (np.asarray(v, float) for v in (origin, du, dv))
        at = lambda u, v: self.node(origin + u * du + v * dv)
        out = self.elements.setdefault(name, [])
        for u0, u1 in zip(su[:-1], su[1:]):
            for v0, v1 in zip(sv[:-1], sv[1:]):
                um, vm = (u0 + u1) / 2, (v0 + v1) / 2
                out.append([at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1),
                            at(um, v0), at(u1, vm), at(um, v1), at(u0, vm)])


def shell_model(width: float, lines: list, nx_el=36, ny_per_mm=0.1, web_el=4):
    mesh = Mesh()
    sx = np.linspace(0.0, LENGTH, nx_el + 1)
    ys = [0.0, *lines, width]
    sy = np.unique(np.concatenate([np.linspace(a, b, max(2, int(round((b - a) * ny_per_mm))) + 1)
                                   for a, b in zip(ys[:-1], ys[1:])]))
    mesh.patch("SKIN", (0, 0, 0), (1, 0, 0), (0, 1, 0), sx, sy)
    top = T_SKIN / 2 + HEIGHT
    for y in lines:
        mesh.patch("WEB", (0, y, 0), (1, 0, 0), (0, 0, 1), sx, np.linspace(0.0, top, web_el + 1))
    return mesh, top


def edge_forces(mesh, name, along, select, q):
    """Consistent nodal forces of a running load q on the element edges of set `name` that lie
    where select(point) holds: 1/6, 4/6, 1/6 of q times the edge length."""
    forces: dict = {}
    xyz = np.array(mesh.xyz)
    for el in mesh.elements[name]:
        for a, b, m in ((0, 1, 4), (1, 2, 5), (2, 3, 6), (3, 0, 7)):
            pa, pb = xyz[el[a] - 1], xyz[el[b] - 1]
            if select(pa) and select(pb):
                h = abs(pb[along] - pa[along])
                for n, w in ((el[a], 1 / 6), (el[m], 4 / 6), (el[b], 1 / 6)):
                    forces[n] = forces.get(n, 0.0) + w * q * h
    return forces


def write_input(path: Path, mesh: Mesh, width: float, lines: list, top: float):
    xyz = np.array(mesh.xyz)
    near = lambda a, b: abs(a - b) < 1e-6
    skin_edge = [i + 1 for i, p in enumerate(xyz) if near(p[2], 0.0) and
                 (near(p[0], 0.0) or near(p[0], LENGTH) or near(p[1], 0.0) or near(p[1], width))]
    web_ends = [i + 1 for i, p in enumerate(xyz) if p[2] > 1e-6 and (near(p[0], 0.0) or near(p[0], LENGTH))]
    x0 = [i + 1 for i, p in enumerate(xyz) if near(p[0], 0.0)]
    y0 = [i + 1 for i, p in enumerate(xyz) if near(p[1], 0.0) and near(p[2], 0.0)]
    load = edge_forces(mesh, "SKIN", 1, lambda p: near(p[0], LENGTH), NX)
    for n, f in edge_forces(mesh, "WEB", 2, lambda p: near(p[0], LENGTH), NX / T_SKIN * T_WEB).items():
        load[n] = load.get(n, 0.0) + f

    out = ["*HEADING", "Blade-stiffened panel, webs meshed", "*NODE"]
    out += [f"{i + 1}, {p[0]:.6f}, {p[1]:.6f}, {p[2]:.6f}" for i, p in enumerate(xyz)]
    first = 1
    for name, els in mesh.elements.items():
        out.append(f"*ELEMENT, TYPE=S8R, ELSET={name}")
        out += [f"{first + k}, " + ", ".join(map(str, el)) for k, el in enumerate(els)]
        first += len(els)
    for name, ids in (("SKINEDGE", skin_edge), ("WEBENDS", web_ends), ("XZERO", x0), ("YZERO", y0)):
        out.append(f"*NSET, NSET={name}")
        out += [", ".join(map(str, ids[k:k + 12])) for k in range(0, len(ids), 12)]
    out += ["*MATERIAL, NAME=AL", "*ELASTIC", f"{E}, {NU}",
            "*SHELL SECTION, ELSET=SKIN, MATERIAL=AL", f"{T_SKIN}",
            "*SHELL SECTION, ELSET=WEB, MATERIAL=AL", f"{T_WEB}",
            "*STEP", "*BUCKLE", "3", "*BOUNDARY", "SKINEDGE, 3, 3", "WEBENDS, 2, 2", "XZERO, 1, 1", "YZERO, 2, 2",
            "*CLOAD"]
    out += [f"{n}, 1, {-f:.9e}" for n, f in sorted(load.items())]
    out += ["*NODE FILE", "U", "*END STEP"]
    path.write_text("\n".join(out) + "\n")


def buckling_factors(dat: Path) -> list:
    text = dat.read_text()
    part = text.split("B U C K L I N G   F A C T O R   O U T P U T", 1)[1]
    return [float(m.group(2)) for m in re.finditer(r"^\s*(\d+)\s+([-+0-9.Ee]+)\s*$", part, re.M)]


def run_shell_model(panel: zeft.Panel, folder: Path) -> float:
    lay = panel.layout()
    y = np.asarray(lay.y, float)
    lines = [float(y[j - 1]) for j in lay.stringer_lines]
    mesh, top = shell_model(float(y[-1]), lines)
    write_input(folder / "blade.inp", mesh, float(y[-1]), lines, top)
    ccx = shutil.which("ccx")
    if ccx is None:
        sys.exit("ccx not found: install the Debian package calculix-ccx")
    subprocess.run([ccx, "blade"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return min(f for f in buckling_factors(folder / "blade.dat") if f > 0)


def main(folder=None):
    work = Path(folder) if folder else Path(tempfile.mkdtemp(prefix="blade-"))
    work.mkdir(parents=True, exist_ok=True)
    with_term = zeft.analyse(zeft_panel(True), quiet=True).load_factors[0]
    without = zeft.analyse(zeft_panel(False), quiet=True).load_factors[0]
    shell = run_shell_model(zeft_panel(True), work)
    print(f"shell model (CalculiX, S8R, webs meshed): {shell:.4f}")
    print(f"zeft with torsion under load:             {with_term:.4f}  ({100 * (with_term / shell - 1):+.2f} %)")
    print(f"zeft without it (GJ alone):               {without:.4f}  ({100 * (without / shell - 1):+.2f} %)")


if __name__ == "__main__":
    main(*sys.argv[1:2])
