"""Blade-stiffened panel in compression: zeft against finite-element models in which the blade
webs are meshed, run with CalculiX (the Debian package calculix-ccx, program ``ccx``), and
against a finite-strip model of plate strips.

The panel: a flat aluminium skin on simple supports along all four edges, two blade stringers,
one bay between the end supports, uniform compression along the stringers (the skin's running
load Nx and the same strain in the blades). Three models of it with the webs as plates:

- shell: 8-node shells (S8 or S8R) on the skin's and the webs' middle surfaces, the webs standing
  on the skin's middle surface under the stringer lines;
- solid: 20-node bricks (C3D20), the web standing on the skin's surface, no shell expansion and
  no rigid knots at the junction (an independent check of the shell model's junction);
- strip: plate strips of the skin and the webs with one sine half-wave count along the bay
  (classical plate theory, the junction a shared line; NumPy and SciPy only).

End conditions follow the beam model: W held on the skin's four edges, the webs kept from
turning at both ends. The webs' ends are tied to the sideways displacement of their foot rather
than held absolutely: an absolute hold keeps the skin from its Poisson widening at the stringer
ends, puts transverse stress into the skin there and lowers the load factor by about 5 % (the
result first recorded here suffered from that). The load is entered as end forces in
proportion to each wall's area, which is uniform strain in skin and webs.

zeft is run with the stringer from ``sections.blade`` twice: with the torsion under load (the
builder's EIp, the default) and without it (EIp = 0). Usage:

    python validation/blade_torsion.py [--study] [folder]

prints the load factors of the panel (zeft, the shell model on a 72 x 72 grid of S8, the strip
model); ``--study`` adds the grid convergence of the shell and solid models, the isolated blade
(tripping) against its closed form, the panel with 40 mm blades and panels on thick skins. The results are kept in validation/blade_torsion.md.
"""

from __future__ import annotations

import dataclasses
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np
from scipy.linalg import eigh

import zeft
from zeft import sections

E, NU = 70000.0, 0.33
T_SKIN, T_WEB = 1.6, 2.0
HEIGHT = 25.0                 # blade height above the skin surface
PITCH, LENGTH, STRINGERS = 120.0, 360.0, 2
NX = 1.0                      # skin running load (N/mm); the blades carry the same strain
STRESS = NX / T_SKIN          # the membrane stress of every wall at load factor 1


def zeft_panel(torsion: bool, height: float = HEIGHT, t_web: float = T_WEB, grid=(12, 8)) -> zeft.Panel:
    skin = zeft.Isotropic(T_SKIN, E, NU)
    blade = sections.blade(height, zeft.Isotropic(t_web, E, NU), skin)
    fields = blade.panel_fields()
    if not torsion:
        fields["stringer"] = dataclasses.replace(blade.stiffener, EIp=0.0)
    return zeft.Panel(name="BLADE", stringer_pitch=PITCH, frame_pitch=LENGTH, stringers=STRINGERS, skin=skin,
                      load=zeft.Load(nx=NX), elements_between_frames=grid[0], elements_between_stringers=grid[1],
                      eigenvalues=1, **fields)


def stringer_lines(panel: zeft.Panel):
    """Panel width and the y of the stringer lines, from zeft's own layout."""
    lay = panel.layout()
    y = np.asarray(lay.y, float)
    return float(y[-1]), [float(y[j - 1]) for j in lay.stringer_lines]


near = lambda a, b: abs(a - b) < 1e-6


# ---------------------------------------------------------------------------- finite elements

class Mesh:
    """Nodes shared by position; 8-node shells on rectangular patches, 20-node bricks on boxes."""

    def __init__(self):
        self.nodes: dict = {}        # rounded position -> number
        self.xyz: list = []
        self.elements: dict = {}     # set name -> list of node numbers per element
        self.types: dict = {}        # set name -> element type

    def node(self, p) -> int:
        key = tuple(round(float(c), 6) for c in p)
        if key not in self.nodes:
            self.xyz.append(key)
            self.nodes[key] = len(self.xyz)
        return self.nodes[key]

    def patch(self, name, kind, origin, du, dv, su, sv):
        """Shells on origin + u du + v dv, u over the breaks su, v over sv (element edges)."""
        origin, du, dv = (np.asarray(v, float) for v in (origin, du, dv))
        at = lambda u, v: self.node(origin + u * du + v * dv)
        out = self.elements.setdefault(name, [])
        self.types[name] = kind
        for u0, u1 in zip(su[:-1], su[1:]):
            for v0, v1 in zip(sv[:-1], sv[1:]):
                um, vm = (u0 + u1) / 2, (v0 + v1) / 2
                out.append([at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1),
                            at(um, v0), at(u1, vm), at(um, v1), at(u0, vm)])

    def box(self, name, xs, ys, zs):
        """C3D20 bricks on the grid xs x ys x zs."""
        out = self.elements.setdefault(name, [])
        self.types[name] = "C3D20"
        for x0, x1 in zip(xs[:-1], xs[1:]):
            for y0, y1 in zip(ys[:-1], ys[1:]):
                for z0, z1 in zip(zs[:-1], zs[1:]):
                    xm, ym, zm = (x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2
                    pts = [(x0, y0, z0), (x1, y0, z0), (x1, y1, z0), (x0, y1, z0),
                           (x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1),
                           (xm, y0, z0), (x1, ym, z0), (xm, y1, z0), (x0, ym, z0),
                           (xm, y0, z1), (x1, ym, z1), (xm, y1, z1), (x0, ym, z1),
                           (x0, y0, zm), (x1, y0, zm), (x1, y1, zm), (x0, y1, zm)]
                    out.append([self.node(p) for p in pts])

    def end_forces(self, x, sign, stress, thickness=None) -> dict:
        """Consistent nodal forces of a uniform stress on the element faces at x (bricks: corners
        -1/12, mid-sides 1/3 of the face force; shells: 1/6, 4/6, 1/6 along the edge times the
        thickness). sign +1 pushes in +x."""
        xyz = np.array(self.xyz)
        forces: dict = {}
        add = lambda n, f: forces.__setitem__(n, forces.get(n, 0.0) + f)
        for name, els in self.elements.items():
            for el in els:
                if self.types[name] == "C3D20":
                    faces = (((0, 3, 7, 4), (11, 15, 16, 19)), ((1, 2, 6, 5), (9, 13, 17, 18)))
                    for corners, mids in faces:
                        p = xyz[[el[i] - 1 for i in corners]]
                        if all(near(q[0], x) for q in p):
                            f = sign * stress * np.ptp(p[:, 1]) * np.ptp(p[:, 2])
                            for i in corners:
                                add(el[i], -f / 12)
                            for i in mids:
                                add(el[i], f / 3)
                else:
                    for a, b, m in ((0, 1, 4), (1, 2, 5), (2, 3, 6), (3, 0, 7)):
                        pa, pb = xyz[el[a] - 1], xyz[el[b] - 1]
                        if near(pa[0], x) and near(pb[0], x):
                            f = sign * stress * thickness[name] * float(np.hypot(*(pb - pa)[1:]))
                            for n, w in ((el[a], 1 / 6), (el[m], 4 / 6), (el[b], 1 / 6)):
                                add(n, w * f)
        return forces


def ccx_buckling(folder: Path, mesh: Mesh, sections_text: list, boundary: list, equations: list,
                 forces: dict, name="blade", modes=3) -> float:
    """Writes the input, runs ccx and returns the lowest positive buckling factor."""
    out = ["*HEADING", name, "*NODE"]
    out += [f"{i + 1}, {p[0]:.6f}, {p[1]:.6f}, {p[2]:.6f}" for i, p in enumerate(mesh.xyz)]
    first = 1
    for set_name, els in mesh.elements.items():
        out.append(f"*ELEMENT, TYPE={mesh.types[set_name]}, ELSET={set_name}")
        for k, el in enumerate(els):                  # at most 16 entries a line
            out.append(f"{first + k}, " + ", ".join(map(str, el[:15])) + ("," if len(el) > 15 else ""))
            if len(el) > 15:
                out.append(", ".join(map(str, el[15:])))
        first += len(els)
    for k, (ids, _) in enumerate(boundary):
        out.append(f"*NSET, NSET=B{k}")
        out += [", ".join(map(str, ids[j:j + 12])) for j in range(0, len(ids), 12)]
    out += ["*MATERIAL, NAME=AL", "*ELASTIC", f"{E}, {NU}", *sections_text]
    for n, base in equations:                         # sideways displacement of n equal to that of base
        out += ["*EQUATION", "2", f"{n}, 2, 1.0, {base}, 2, -1.0"]
    # modes, accuracy, Lanczos vectors, iterations: the default accuracy of 1 % is too loose
    out += ["*STEP", "*BUCKLE", f"{modes}, 1e-7, 40, 1000", "*BOUNDARY"]
    out += [f"B{k}, {dof}, {dof}" for k, (_, dof) in enumerate(boundary)]
    out += ["*CLOAD"] + [f"{n}, 1, {f:.9e}" for n, f in sorted(forces.items())]
    out += ["*NODE FILE", "U", "*END STEP"]
    (folder / f"{name}.inp").write_text("\n".join(out) + "\n")
    ccx = shutil.which("ccx")
    if ccx is None:
        sys.exit("ccx not found: install the Debian package calculix-ccx")
    env = dict(os.environ, OMP_NUM_THREADS="1")
    subprocess.run([ccx, name], cwd=folder, check=True, stdout=subprocess.DEVNULL, env=env)
    text = (folder / f"{name}.dat").read_text().split("B U C K L I N G   F A C T O R   O U T P U T", 1)[1]
    return min(f for f in (float(m.group(2)) for m in re.finditer(r"^\s*(\d+)\s+([-+0-9.Ee]+)\s*$", text, re.M))
               if f > 0)


def nodes_where(mesh: Mesh, select) -> list:
    return [i + 1 for i, p in enumerate(mesh.xyz) if select(p)]


def panel_supports(mesh: Mesh, width: float, lines: list, skin_z: float, web_base: float):
    """W on the skin's edges and v along y = 0 (at the height skin_z of the skin's middle
    surface), u at one point half-way along; every web node at either end tied sideways to the
    web's foot (the node at web_base under it)."""
    edge = lambda p: near(p[0], 0.0) or near(p[0], LENGTH) or near(p[1], 0.0) or near(p[1], width)
    boundary = [(nodes_where(mesh, lambda p: near(p[2], skin_z) and edge(p)), 3),
                (nodes_where(mesh, lambda p: near(p[1], 0.0) and near(p[2], skin_z)), 2),
                (nodes_where(mesh, lambda p: near(p[0], LENGTH / 2) and near(p[1], 0.0) and near(p[2], skin_z)), 1)]
    ties = [(mesh.nodes[p], mesh.nodes[(p[0], p[1], round(web_base, 6))]) for p in mesh.nodes
            if (near(p[0], 0.0) or near(p[0], LENGTH)) and p[2] > web_base + 1e-6
            and any(near(p[1], y) for y in lines)]
    return boundary, ties


def compression(mesh: Mesh, thickness=None) -> dict:
    """The uniform stress STRESS entered at both ends (self-equilibrated)."""
    forces = mesh.end_forces(LENGTH, -1.0, STRESS, thickness)
    for n, f in mesh.end_forces(0.0, 1.0, STRESS, thickness).items():
        forces[n] = forces.get(n, 0.0) + f
    return forces


def shell_model(folder: Path, panel: zeft.Panel, nx=72, per_bay=24, web_el=8, kind="S8", height=HEIGHT,
                t_web=T_WEB) -> float:
    """Skin and webs as shells on their middle surfaces; the webs from the skin's middle surface
    to the blade's top."""
    width, lines = stringer_lines(panel)
    top = T_SKIN / 2 + height
    mesh = Mesh()
    ys = [0.0, *lines, width]
    sy = np.unique(np.concatenate([np.linspace(a, b, per_bay + 1) for a, b in zip(ys[:-1], ys[1:])]))
    mesh.patch("SKIN", kind, (0, 0, 0), (1, 0, 0), (0, 1, 0), np.linspace(0.0, LENGTH, nx + 1), sy)
    for y in lines:
        mesh.patch("WEB", kind, (0, y, 0), (1, 0, 0), (0, 0, 1), np.linspace(0.0, LENGTH, nx + 1),
                   np.linspace(0.0, top, web_el + 1))
    thickness = {"SKIN": T_SKIN, "WEB": t_web}
    forces = compression(mesh, thickness)
    boundary, ties = panel_supports(mesh, width, lines, 0.0, 0.0)
    text = [line for s, t in thickness.items() for line in (f"*SHELL SECTION, ELSET={s}, MATERIAL=AL", f"{t}")]
    return ccx_buckling(folder, mesh, text, boundary, ties, forces)


def solid_model(folder: Path, panel: zeft.Panel, nx=36, per_bay=12, web_el=16, across=2, height=HEIGHT,
                t_web=T_WEB) -> float:
    """Skin and webs as C3D20 bricks, one through the skin, `across` through the web; the web
    stands on the skin's surface over its own thickness."""
    width, lines = stringer_lines(panel)
    mesh = Mesh()
    cuts = [0.0] + [c for y in lines for c in (y - t_web / 2, y + t_web / 2)] + [width]
    sy = [0.0]
    for k, (a, b) in enumerate(zip(cuts[:-1], cuts[1:])):
        sy += list(np.linspace(a, b, (across if k % 2 else per_bay) + 1)[1:])
    xs = np.linspace(0.0, LENGTH, nx + 1)
    mesh.box("SKIN", xs, np.array(sy), np.array([-T_SKIN / 2, T_SKIN / 2]))
    for y in lines:
        mesh.box("WEB", xs, np.linspace(y - t_web / 2, y + t_web / 2, across + 1),
                 np.linspace(T_SKIN / 2, T_SKIN / 2 + height, web_el + 1))
    forces = compression(mesh)
    boundary, ties = panel_supports(mesh, width, lines, 0.0, T_SKIN / 2)
    return ccx_buckling(folder, mesh, ["*SOLID SECTION, ELSET=SKIN, MATERIAL=AL",
                                       "*SOLID SECTION, ELSET=WEB, MATERIAL=AL"], boundary, ties, forces)


# ---------------------------------------------------------------------------- finite strips

def strip_matrices(b, t, m, length):
    """Stiffness and geometric matrices (8 x 8) of a plate strip of width b and thickness t, the
    displacements u = U(s) cos kx, v = V(s) sin kx, w = W(s) sin kx (k = m pi / length), U and V
    linear, W cubic in s; dofs (u, v, w, w,s) at both edges. The geometric matrix is that of a
    unit compressive stress: integral of t (u,x^2 + v,x^2 + w,x^2)."""
    k = m * math.pi / length
    q, d = E * t / (1 - NU ** 2), E * t ** 3 / (12 * (1 - NU ** 2))
    K, G = np.zeros((8, 8)), np.zeros((8, 8))
    iu, iv, iw = [0, 4], [1, 5], [2, 3, 6, 7]
    for g, wg in zip(*np.polynomial.legendre.leggauss(6)):
        s = (g + 1) / 2
        lin, dlin = np.array([1 - s, s]), np.array([-1.0, 1.0]) / b
        herm = np.array([1 - 3 * s ** 2 + 2 * s ** 3, b * (s - 2 * s ** 2 + s ** 3), 3 * s ** 2 - 2 * s ** 3,
                         b * (s ** 3 - s ** 2)])
        dherm = np.array([(6 * s ** 2 - 6 * s) / b, 1 - 4 * s + 3 * s ** 2, (6 * s - 6 * s ** 2) / b, 3 * s ** 2 - 2 * s])
        ddherm = np.array([(12 * s - 6) / b ** 2, (6 * s - 4) / b, (6 - 12 * s) / b ** 2, (6 * s - 2) / b])
        rows = np.zeros((9, 8))          # ex, ey, gxy, w,xx, w,ss, w,xs, u,x, v,x, w,x (amplitudes)
        rows[0, iu], rows[1, iv], rows[2, iu], rows[2, iv] = -k * lin, dlin, dlin, k * lin
        rows[3, iw], rows[4, iw], rows[5, iw] = -k * k * herm, ddherm, k * dherm
        rows[6, iu], rows[7, iv], rows[8, iw] = k * lin, k * lin, k * herm
        c = np.zeros((6, 6))
        c[:2, :2] = q * np.array([[1, NU], [NU, 1]])
        c[2, 2] = q * (1 - NU) / 2
        c[3:5, 3:5] = d * np.array([[1, NU], [NU, 1]])
        c[5, 5] = 2 * d * (1 - NU)
        w = wg * b / 2 * length / 2
        K += w * rows[:6].T @ c @ rows[:6]
        G += w * t * rows[6:].T @ rows[6:]
    return K, G


def strip_model(panel: zeft.Panel, m=3, per_bay=24, web_el=16, height=HEIGHT, t_web=T_WEB) -> float:
    """Skin and webs as plate strips joined along the stringer lines (the webs from the skin's
    middle surface, as the shell model), ends on diaphragms, the long edges with W held."""
    width, lines = stringer_lines(panel)
    top = T_SKIN / 2 + height
    nodes: dict = {}
    strips = []
    node = lambda p: nodes.setdefault((round(p[0], 6), round(p[1], 6)), len(nodes))
    ys = [0.0, *lines, width]
    for a, b in zip(ys[:-1], ys[1:]):
        for y0, y1 in zip(np.linspace(a, b, per_bay + 1)[:-1], np.linspace(a, b, per_bay + 1)[1:]):
            strips.append(((y0, 0.0), (y1, 0.0), T_SKIN))
    for y in lines:
        for z0, z1 in zip(np.linspace(0, top, web_el + 1)[:-1], np.linspace(0, top, web_el + 1)[1:]):
            strips.append(((y, z0), (y, z1), t_web))
    n = 4 * len({node(p) for s in strips for p in s[:2]})
    K, G = np.zeros((n, n)), np.zeros((n, n))
    for p0, p1, t in strips:
        dy, dz = p1[0] - p0[0], p1[1] - p0[1]
        b = math.hypot(dy, dz)
        c, s = dy / b, dz / b
        r = np.array([[1, 0, 0, 0], [0, c, s, 0], [0, -s, c, 0], [0, 0, 0, 1]])   # (u, vy, wz, turn) -> local
        R = np.kron(np.eye(2), r)
        k, g = strip_matrices(b, t, m, LENGTH)
        idx = [4 * node(p0) + i for i in range(4)] + [4 * node(p1) + i for i in range(4)]
        K[np.ix_(idx, idx)] += R.T @ k @ R
        G[np.ix_(idx, idx)] += R.T @ g @ R
    held = {4 * node((0.0, 0.0)) + 2, 4 * node((width, 0.0)) + 2}
    free = [i for i in range(n) if i not in held]
    mu = eigh(G[np.ix_(free, free)], K[np.ix_(free, free)], eigvals_only=True)
    return 1.0 / mu.max() / STRESS


# ---------------------------------------------------------------------------- the isolated blade

def tripping(folder: Path, length=120.0, height=25.0, t=2.0) -> dict:
    """A blade alone, hinged along the middle line of its base, free along its top, compressed:
    it buckles by turning about its base. Returns the buckling stress of the closed form (the
    web turning as a rigid line: G t^2/h^2 + D k^2/t, k = pi/length), the strip model, S8 shells
    and C3D20 bricks."""
    d = E * t ** 3 / (12 * (1 - NU ** 2))
    out = {"closed form": math.pi ** 2 * d / (height ** 2 * t) * (6 * (1 - NU) / math.pi ** 2 + (height / length) ** 2)}
    k, g = strip_matrices(height / 16, t, 1, length)
    n = 4 * 17
    K, G = np.zeros((n, n)), np.zeros((n, n))
    for e in range(16):
        K[4 * e:4 * e + 8, 4 * e:4 * e + 8] += k
        G[4 * e:4 * e + 8, 4 * e:4 * e + 8] += g
    free = [i for i in range(n) if i not in (1, 2)]      # the base held in both directions
    out["strips"] = 1.0 / eigh(G[np.ix_(free, free)], K[np.ix_(free, free)], eigvals_only=True).max()
    xs = np.linspace(0.0, length, int(length / 10) + 1)
    for kind in ("S8", "C3D20"):
        mesh = Mesh()
        if kind == "S8":
            mesh.patch("WEB", kind, (0, 0, 0), (1, 0, 0), (0, 0, 1), xs, np.linspace(0.0, height, 9))
            text, thick = ["*SHELL SECTION, ELSET=WEB, MATERIAL=AL", f"{t}"], {"WEB": t}
        else:
            mesh.box("WEB", xs, np.linspace(-t / 2, t / 2, 3), np.linspace(0.0, height, 17))
            text, thick = ["*SOLID SECTION, ELSET=WEB, MATERIAL=AL"], None
        forces = mesh.end_forces(length, -1.0, 1.0, thick)
        for nd, f in mesh.end_forces(0.0, 1.0, 1.0, thick).items():
            forces[nd] = forces.get(nd, 0.0) + f
        base = lambda p: near(p[2], 0.0) and near(p[1], 0.0)
        ends = lambda p: (near(p[0], 0.0) or near(p[0], length)) and near(p[1], 0.0)
        boundary = [(nodes_where(mesh, base), 2), (nodes_where(mesh, base), 3), (nodes_where(mesh, ends), 2),
                    (nodes_where(mesh, lambda p: base(p) and near(p[0], length / 2)), 1)]
        out[kind] = ccx_buckling(folder, mesh, text, boundary, [], forces, name="trip")
    return out


def thick_skins(work: Path):
    """Panels on 3 and 4 mm skins, where the blades trip or their webs buckle before the skin:
    zeft with and without the term, the strips (lowest over 1 to 6 half-waves) and the shell
    model."""
    global T_SKIN, STRESS
    saved = T_SKIN, STRESS
    try:
        for T_SKIN, height in ((3.0, 40.0), (3.0, 60.0), (4.0, 40.0)):
            STRESS = NX / T_SKIN
            panel = dataclasses.replace(zeft_panel(True, height=height), eigenvalues=2)
            plain = dataclasses.replace(zeft_panel(False, height=height), eigenvalues=2)
            strips = min(strip_model(panel, m=m, height=height) for m in range(1, 7))
            print(f"skin {T_SKIN:g} mm, {height:g} mm blades: zeft {zeft.analyse(panel, quiet=True).load_factors[0]:.1f}, "
                  f"without the term {zeft.analyse(plain, quiet=True).load_factors[0]:.1f}, strips {strips:.1f}, "
                  f"shell S8 72 x 72 {shell_model(work, panel, 72, 24, 12, height=height):.1f}")
    finally:
        T_SKIN, STRESS = saved


# ---------------------------------------------------------------------------- report

def main(argv):
    study = "--study" in argv
    rest = [a for a in argv if a != "--study"]
    work = Path(rest[0]) if rest else Path(tempfile.mkdtemp(prefix="blade-"))
    work.mkdir(parents=True, exist_ok=True)
    panel = zeft_panel(True)
    with_term = zeft.analyse(panel, quiet=True).load_factors[0]
    without = zeft.analyse(zeft_panel(False), quiet=True).load_factors[0]
    shell = shell_model(work, panel)
    rel = lambda v: f"{100 * (v / shell - 1):+.2f} %"
    print(f"shell model (CalculiX, S8, 72 x 72 on the skin, 8 over each web): {shell:.3f}")
    print(f"strip model (plate strips, 3 half-waves):                        {strip_model(panel):.3f}")
    print(f"zeft with torsion under load:                                     {with_term:.3f}  ({rel(with_term)})")
    print(f"zeft without it (GJ alone):                                       {without:.3f}  ({rel(without)})")
    if not study:
        return
    for nx, per, web, kind in ((36, 12, 4, "S8"), (36, 12, 4, "S8R"), (72, 24, 8, "S8R"), (144, 48, 16, "S8")):
        print(f"shell {kind} {nx} x {3 * per} skin, {web} over the web: {shell_model(work, panel, nx, per, web, kind):.3f}")
    for nx, per, web, across in ((36, 12, 8, 1), (36, 12, 16, 2), (36, 12, 32, 2), (72, 24, 16, 2)):
        print(f"solid {nx} x {3 * per} skin, {web} x {across} over the web: "
              f"{solid_model(work, panel, nx, per, web, across):.3f}")
    for name, value in tripping(work).items():
        print(f"isolated blade, buckling stress, {name}: {value:.2f}")
    tall = 40.0
    panel = zeft_panel(True, height=tall)
    print(f"{tall:g} mm blades: zeft {zeft.analyse(panel, quiet=True).load_factors[0]:.3f}, without the term "
          f"{zeft.analyse(zeft_panel(False, height=tall), quiet=True).load_factors[0]:.3f}, "
          f"strips {strip_model(panel, height=tall):.3f}, "
          f"shell S8 72 x 72, 12 over the web {shell_model(work, panel, 72, 24, 12, height=tall):.3f}, "
          f"solid 36 x 36, 24 x 2 {solid_model(work, panel, 36, 12, 24, 2, height=tall):.3f}")
    thick_skins(work)


if __name__ == "__main__":
    main(sys.argv[1:])
