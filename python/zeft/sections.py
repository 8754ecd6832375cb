"""Stiffener cross-sections from their dimensions: blade (with or without a foot), angle,
Z, J and hat sections of isotropic sheet or of a ply stack per wall.

Every wall is a band of horizontal slices: its lower and upper faces lie at the heights z0,
z1 above the skin's middle surface (measured on the side where the stiffener stands) and each
slice is ``width`` wide; an inclined hat web is a parallelogram of horizontal width
t / cos(phi). For a wall of membrane modulus E (1 / (t a11) with a = A^-1 of the wall) the
section gives

    EA = sum E w (z1 - z0),   S = sum E w (z1^2 - z0^2) / 2,   EI = sum E w (z1^3 - z0^3) / 3,

EI taken about the skin's middle surface (a flange bending about its own middle plane takes
its bending modulus 12 / (t^3 d11), d = D^-1). Torsion: open walls 4 b D66 (G b t^3 / 3 for
isotropic sheet, D66 = 1 / d66), the closed cell of a hat 4 A^2 / sum(s / (G t)) with the skin
under the hat as its fourth wall.

ES carries the side: the skin data measure the bending strain as +W,xx, that is the height
coordinate runs against positive W. A stiffener on the side that positive W points to
(``side=+1``, the default: the inside of a curved panel, the last ply of a stack) has
ES = -S, one on the other side ES = +S.

The foot. Foot strips of the panel layout carry their own skin stiffness (``Panel.foot``), so
``Section.stiffener`` leaves the foot flange out and ``Section.foot`` is the skin with the foot
bonded to it (A, coupling, D about the skin's middle surface). ``Section.whole`` is the
stiffness with the foot included, for a stiffener without foot strips (a frame).
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field
from typing import Optional, Union

import numpy as np

from .stiffness import ABD, Isotropic, PlyStack, Stiffener, _finite, _positive, validate_skin

__all__ = ["Section", "blade", "angle", "zee", "jay", "hat"]

Wall = Union[Isotropic, PlyStack]


@dataclass(frozen=True)
class _Moduli:
    """Beam moduli of one wall: thickness t, membrane E and G, bending E, twisting D66."""

    t: float
    E: float
    G: float
    E_bending: float
    D66: float


def _moduli(name: str, wall) -> _Moduli:
    if not isinstance(wall, (Isotropic, PlyStack)):
        raise ValueError(f"{name}: expected zeft.Isotropic or zeft.PlyStack, got {type(wall).__name__}")
    validate_skin(name, wall)
    m = wall.matrices()
    t = float(m["thickness"])
    a, d = np.linalg.inv(m["A"]), np.linalg.inv(m["D"])
    return _Moduli(t=t, E=1.0 / (t * a[0, 0]), G=1.0 / (t * a[2, 2]), E_bending=12.0 / (t ** 3 * d[0, 0]),
                   D66=1.0 / d[2, 2])


@dataclass(frozen=True)
class _Band:
    """One wall: faces at heights z0 < z1, slices ``width`` wide, ``length`` along its middle
    line (for the open-wall torsion), a flange or not."""

    z0: float
    z1: float
    width: float
    length: float
    moduli: _Moduli
    flange: bool
    offset: float = 0.0     # sideways distance of the slices' centre from the web's middle plane

    def polar(self) -> float:
        """Integral of E (y^2 + z^2) dA about the attachment line (y = 0, z = 0)."""
        e, w, z0, z1 = self.moduli.E, self.width, self.z0, self.z1
        return e * (w * (z1 ** 3 - z0 ** 3) / 3.0 + (z1 - z0) * (w ** 3 / 12.0 + w * self.offset ** 2))

    def stiffness(self) -> np.ndarray:
        """(EA, S, EI) about the skin's middle surface."""
        e, w, z0, z1 = self.moduli.E, self.width, self.z0, self.z1
        ea, s, ei = e * w * (z1 - z0), e * w * (z1 ** 2 - z0 ** 2) / 2.0, e * w * (z1 ** 3 - z0 ** 3) / 3.0
        if self.flange:                      # own bending with the flexural modulus
            ei += (self.moduli.E_bending - e) * w * (z1 - z0) ** 3 / 12.0
        return np.array([ea, s, ei])


@dataclass(frozen=True)
class Section:
    """A stiffener cross-section and what it gives the panel.

    ``stiffener``: EA, ES, EI, GJ without the foot (the foot strips carry it); ``whole``: the
    same with the foot; ``foot``: the skin with the foot flange, for ``Panel.foot``;
    ``stringer_kind`` and ``foot_width``: the footprint in the layout; for a hat also
    ``chord_width``, ``hat_height`` and ``web_angle``. ``area`` and ``centroid`` (height of the
    centroid of the stiffener without foot above the skin's middle surface) describe the
    section; ``side`` is +1 on the side of positive W, -1 on the other.
    """

    kind: str
    stiffener: Stiffener
    whole: Stiffener
    foot: Union[ABD, Isotropic, PlyStack]
    stringer_kind: str
    foot_width: float
    area: float
    centroid: float
    side: int
    chord_width: float = 0.0
    hat_height: float = 0.0
    web_angle: float = 0.0
    #: The walls for the crippling check: web and foot (and chord) material, free web height.
    parts: dict = field(default_factory=dict, repr=False, compare=False)

    def crippling_walls(self):
        """The ``zeft.StringerWalls`` of this section for the crippling check (blade, T and J
        sections and hats; the check treats the web of an open section as free along its top)."""
        from .panel import StringerWalls

        if self.kind not in ("blade", "jay", "hat"):
            raise ValueError(f"crippling: checked for open (blade, T, J) and hat sections, not for {self.kind}")
        p = self.parts
        foot_t = p["foot"].thickness if p.get("foot") is not None else 0.0
        return StringerWalls(foot_thickness=float(foot_t), web_thickness=float(p["web"].thickness),
                             foot_width=self.foot_width, web_height=float(p["web_height"]), walls=p["web"],
                             chord_width=self.chord_width,
                             chord_thickness=float(p["chord"].thickness) if p.get("chord") is not None else 0.0)

    def panel_fields(self) -> dict:
        """The fields of a ``zeft.Panel`` that describe this stringer: ``Panel(..., **fields)``."""
        fields = dict(stringer_kind=self.stringer_kind, foot_width=self.foot_width, foot=self.foot,
                      stringer=self.stiffener)
        if self.stringer_kind == "hat":
            fields.update(chord_width=self.chord_width, hat_height=self.hat_height, web_angle=self.web_angle)
        return fields


# ---------------------------------------------------------------------------- builders

def blade(height: float, web: Wall, skin, *, foot: Optional[Wall] = None, foot_width: float = 0.0,
          side: int = 1) -> Section:
    """A blade of ``height`` (skin surface to its top) standing on the skin; with a ``foot``
    flange of ``foot_width`` centred under it, an inverted T. Without a foot the footprint is
    the web's own thickness."""
    ctx = _Context(skin, side)
    w = _moduli("web", web)
    feet = ctx.foot(foot, foot_width, least=w.t)
    webs = [ctx.band(ctx.base + feet[0].moduli.t, ctx.top(height, "height"), w.t, w)]
    return ctx.section("blade", "open", webs, feet, foot_width if foot is not None else w.t,
                       parts=dict(web=web, foot=foot, web_height=webs[0].z1 - webs[0].z0))


def angle(height: float, web: Wall, foot: Wall, foot_width: float, skin, *, side: int = 1) -> Section:
    """An angle (L): a foot of ``foot_width`` on the skin and a web of ``height`` (skin surface
    to its top) at one end of the foot."""
    ctx = _Context(skin, side)
    w = _moduli("web", web)
    feet = ctx.foot(foot, foot_width, least=w.t, aside=True)
    webs = [ctx.band(ctx.base + feet[0].moduli.t, ctx.top(height, "height"), w.t, w)]
    return ctx.section("angle", "angle", webs, feet, foot_width)


def zee(height: float, web: Wall, foot: Wall, foot_width: float, flange: Wall, flange_width: float, skin,
        *, side: int = 1) -> Section:
    """A Z section: a foot on the skin to one side of the web, a flange of ``flange_width`` on
    top to the other; ``height`` from the skin surface to the top of the flange."""
    return _flanged("zee", "angle", height, web, foot, foot_width, flange, flange_width, skin, side)


def jay(height: float, web: Wall, foot: Wall, foot_width: float, flange: Wall, flange_width: float, skin,
        *, side: int = 1) -> Section:
    """A J section: a foot centred under the web, a flange of ``flange_width`` on top to one
    side; ``height`` from the skin surface to the top of the flange."""
    return _flanged("jay", "open", height, web, foot, foot_width, flange, flange_width, skin, side)


def hat(height: float, chord_width: float, web_angle: float, web: Wall, chord: Wall, foot: Wall,
        foot_width: float, skin, *, side: int = 1) -> Section:
    """A hat: two feet of ``foot_width`` each on the skin, two webs and a chord of
    ``chord_width`` (between the middle lines of the webs at its height) whose top lies
    ``height`` above the skin surface; ``web_angle`` is the angle between the webs in degrees
    (0 = upright). The hat covers chord_width + 2 height tan(web_angle / 2) of skin between the
    feet, as the panel layout has it. The closed cell (chord, webs, skin) gives GJ."""
    ctx = _Context(skin, side)
    w, c = _moduli("web", web), _moduli("chord", chord)
    angle_deg = _finite("web_angle", web_angle)
    if not 0.0 <= angle_deg < 180.0:
        raise ValueError(f"web_angle: the angle between the webs lies in [0, 180) degrees, got {angle_deg:g}")
    cw = _positive("chord_width", chord_width)
    top = ctx.top(height, "height")
    phi = math.radians(angle_deg) / 2.0
    web_bottom, chord_bottom = ctx.base + _moduli("foot", foot).t, top - c.t
    if chord_bottom <= web_bottom:
        raise ValueError(f"height: {height:g} leaves no web between the feet and the chord")
    slant = w.t / math.cos(phi)
    walls = [ctx.band(web_bottom, chord_bottom, slant, w, length=(chord_bottom - web_bottom) / math.cos(phi))
             for _ in range(2)]
    walls.append(ctx.band(chord_bottom, top, cw + slant, c, flange=True))
    feet = ctx.foot(foot, foot_width, least=0.0, count=2)
    # The cell between the middle lines: the webs' run from (cw/2, skin surface + height) down
    # to the skin's middle surface, the chord's middle line below its top by half its thickness.
    depth = ctx.base + float(height) - c.t / 2.0
    upper = cw + c.t * math.tan(phi)
    lower = cw + 2.0 * (float(height) + ctx.base) * math.tan(phi)
    cell = depth * (upper + lower) / 2.0
    compliance = lower / ctx.skin_gt + 2.0 * (depth / math.cos(phi)) / (w.G * w.t) + upper / (c.G * c.t)
    closed = 4.0 * cell ** 2 / compliance
    return ctx.section("hat", "hat", walls, feet, foot_width, closed_gj=closed,
                       extra=dict(chord_width=cw, hat_height=float(height), web_angle=angle_deg),
                       parts=dict(web=web, foot=foot, chord=chord, web_height=chord_bottom - web_bottom))


def _flanged(kind, layout, height, web, foot, foot_width, flange, flange_width, skin, side) -> Section:
    ctx = _Context(skin, side)
    w, f = _moduli("web", web), _moduli("flange", flange)
    feet = ctx.foot(foot, foot_width, least=w.t, aside=kind == "zee")
    top = ctx.top(height, "height")
    if _positive("flange_width", flange_width) < w.t:
        raise ValueError(f"flange_width: {flange_width:g} is narrower than the web ({w.t:g})")
    bottom = ctx.base + feet[0].moduli.t
    if top - f.t <= bottom:
        raise ValueError(f"height: {height:g} leaves no web between the foot and the flange")
    flange_band = ctx.band(top - f.t, top, flange_width, f, flange=True, offset=(flange_width - w.t) / 2.0)
    walls = [ctx.band(bottom, top - f.t, w.t, w), flange_band]
    return ctx.section(kind, layout, walls, feet, foot_width,
                       parts=dict(web=web, foot=foot, web_height=walls[0].z1 - walls[0].z0))


# ---------------------------------------------------------------------------- assembly

class _Context:
    """The skin a section stands on, its side, and the sums that make the section."""

    def __init__(self, skin, side):
        if side not in (1, -1):
            raise ValueError(f"side: +1 (the side of positive W) or -1, got {side!r}")
        if not isinstance(skin, (Isotropic, PlyStack, ABD)):
            raise ValueError(f"skin: expected zeft.Isotropic, zeft.PlyStack or zeft.ABD, got {type(skin).__name__}")
        validate_skin("skin", skin)
        self.skin_data = skin
        m = skin.matrices()
        self.skin_gt = 1.0 / np.linalg.inv(m["A"])[2, 2]     # membrane shear stiffness G t
        self.side = side
        self.base = float(m["thickness"]) / 2.0              # the skin surface the stiffener stands on
        self.foot_wall = None

    def top(self, height, name) -> float:
        return self.base + _positive(name, height)

    def band(self, z0, z1, width, moduli, *, length=None, flange=False, offset=0.0) -> _Band:
        return _Band(z0, z1, width, length if length is not None else (width if flange else z1 - z0),
                     moduli, flange, offset)

    def foot(self, material, width, *, least, count=1, aside=False) -> list:
        """The foot flanges (one, or two for a hat) on the skin surface; ``aside``: the foot
        reaches to one side of the web instead of being centred under it."""
        if material is None:
            if width:
                raise ValueError("foot_width: given without a foot material")
            self.foot_wall = None
            return [_Band(self.base, self.base, 0.0, 0.0, _Moduli(0.0, 0.0, 0.0, 0.0, 0.0), True)]
        f = _moduli("foot", material)
        if _positive("foot_width", width) < least:
            raise ValueError(f"foot_width: {width:g} is narrower than the web ({least:g})")
        self.foot_wall = material
        offset = (float(width) - least) / 2.0 if aside else 0.0
        return [self.band(self.base, self.base + f.t, float(width), f, flange=True, offset=offset)
                for _ in range(count)]

    def section(self, kind, layout, walls, feet, foot_width, *, closed_gj=None, extra=None, parts=None) -> Section:
        own = self._stiffener(walls, closed_gj)
        whole = self._stiffener(walls + feet, closed_gj)
        area = sum(b.width * (b.z1 - b.z0) for b in walls)
        centroid = sum(b.width * (b.z1 ** 2 - b.z0 ** 2) / 2.0 for b in walls) / area
        return Section(kind=kind, stiffener=own, whole=whole, foot=self._foot_skin(), stringer_kind=layout,
                       foot_width=float(foot_width), area=area, centroid=centroid, side=self.side,
                       parts=parts or {}, **(extra or {}))

    def _stiffener(self, walls, closed_gj) -> Stiffener:
        ea, s, ei = sum(b.stiffness() for b in walls)
        if closed_gj is None:
            gj = sum(4.0 * b.length * b.moduli.D66 for b in walls)
            eip = sum(b.polar() for b in walls)
        else:                                   # the open walls outside the cell add little; left out
            gj, eip = closed_gj, 0.0            # a closed cell twists with the skin, not about its line
        return Stiffener(EA=float(ea), ES=float(-self.side * s), EI=float(ei), GJ=float(gj), EIp=float(eip))

    def _foot_skin(self):
        """The skin with the foot bonded on the stiffener's side, about the skin's middle
        surface: a layer at offset d (classical z, along positive W) adds A_f to A, -d A_f to
        the coupling (which holds minus the classical B) and D_f - 2 d c_f + d^2 A_f to D."""
        if self.foot_wall is None:
            return self.skin_data
        s, f = self.skin_data.matrices(), self.foot_wall.matrices()
        d = self.side * (s["thickness"] + f["thickness"]) / 2.0
        return ABD(A=s["A"] + f["A"], D=s["D"] + f["D"] - 2.0 * d * f["coupling"] + d * d * f["A"],
                   coupling=s["coupling"] + f["coupling"] - d * f["A"])
