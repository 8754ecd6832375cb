"""The panel description: geometry, stiffening, stiffness, loads, edges and run controls, its
validation, the grid it lays out, and the arguments of ``callzeft`` it stands for.

Axes: x runs along the stringers (across the frames), y across the stringers. Units are the
caller's, consistent (the examples use N and mm). A positive membrane force is a compression.
"""

from __future__ import annotations

import math
import re
from dataclasses import dataclass, field, replace
from pathlib import Path
from typing import NamedTuple, Optional, Union

import numpy as np

from .rigid import free_motion
from .stiffness import ABD, Isotropic, PlyStack, Stiffener, _finite, _number, _positive, unpack, validate_skin

__all__ = ["Panel", "Load", "LoadField", "StringerWalls", "Layout", "PRESETS", "BOUNDARY_NAMES", "edge_codes"]

#: Size presets: at most this many subdivision lines per direction, smallest first.
PRESETS = (19, 21, 25, 31)

#: The module's larger size for grids beyond the largest preset: up to this many lines, its
#: matrices held for the length of a run. Chosen by the package, never named by a panel.
_LARGER = 61
_SIZES = PRESETS + (_LARGER,)


def analysis_group(size: int):
    """The module's analysis group of a size: ``prtnds<n>`` of a preset, the private group of
    the larger size."""
    import _zeft

    return getattr(_zeft, f"prtnds{size}" if size in PRESETS else f"_prtnds{size}")

#: Radius that stands for a flat direction.
FLAT = 1.0e29

#: Stringer kinds: open (foot centred under the web), hat (two feet, two webs and a chord),
#: angle (foot to one side of the web); the number is the module's stringer type.
STRINGER_KINDS = {"open": 1, "hat": 2, "angle": 3}

#: Function names and their codes.
FUNCTIONS = {"w": 1, "u": 2, "v": 3, "beta": 4, "gamma": 5}

#: Edge conditions by name: the seven boundary codes of an edge. Code 1 of the list holds W
#: (value and tangential slope), 6 the normal slope of W; a first code of -1 makes the edge a
#: line of symmetry, +1 a line of antisymmetry.
BOUNDARY_NAMES = {
    "simply supported": (0, 1, 0, 0, 0, 0, 0),
    "clamped": (0, 1, 6, 0, 0, 0, 0),
    "free": (0, 0, 0, 0, 0, 0, 0),
    "symmetry": (-1, 0, 0, 0, 0, 0, 0),
    "antisymmetry": (1, 0, 0, 0, 0, 0, 0),
}

#: The function sets of an analysis: plate, shell, and both with transverse shear deformation.
FUNCTION_SETS = ({"w"}, {"w", "u", "v"}, {"w", "beta", "gamma"}, {"w", "u", "v", "beta", "gamma"})

#: In-plane displacements that a named condition may add with "+": held on the edge.
HELD = {"u": 2, "v": 3}

EDGES = ("x0", "xl", "y0", "yl")

#: Simply supported, free to shorten and to widen: U held on x = 0 and V on y = 0, which is
#: just enough to stop the rigid-body motion of the in-plane problem.
DEFAULT_EDGES = {"x0": "simply supported + u", "xl": "simply supported",
                 "y0": "simply supported + v", "yl": "simply supported"}


def edge_codes(name: str, value) -> tuple:
    """The seven boundary codes of one edge from a name ("clamped", "simply supported + u", ...)
    or from explicit codes (up to seven integers, padded with zeros)."""
    if isinstance(value, str):
        parts = [p.strip().lower() for p in value.split("+")]
        base = re.sub(r"[\s_-]+", " ", parts[0])
        if base not in BOUNDARY_NAMES:
            raise ValueError(f"edges.{name}: unknown boundary condition {parts[0]!r}; "
                             f"known: {', '.join(map(repr, BOUNDARY_NAMES))}, or explicit codes")
        codes = list(BOUNDARY_NAMES[base])
        for extra in parts[1:]:
            if extra not in HELD:
                raise ValueError(f"edges.{name}: {extra!r} after '+' must be one of {', '.join(HELD)}")
            if codes[0] != 0:
                raise ValueError(f"edges.{name}: a symmetry line takes no further held displacements")
            codes[codes.index(0, 1)] = HELD[extra]
        return tuple(codes)
    if not isinstance(value, (list, tuple, np.ndarray)) or not all(
            isinstance(c, (int, np.integer)) and not isinstance(c, (bool, np.bool_)) for c in value):
        raise ValueError(f"edges.{name}: expected a name or up to seven integer codes, got {value!r}")
    raw = [int(c) for c in value]
    if not 1 <= len(raw) <= 7:
        raise ValueError(f"edges.{name}: up to seven codes, got {len(raw)}")
    raw += [0] * (7 - len(raw))
    if raw[0] not in (-1, 0, 1):
        raise ValueError(f"edges.{name}: the first code is -1 (symmetry), 1 (antisymmetry) or 0, got {raw[0]}")
    if any(not 0 <= c <= 6 for c in raw[1:]):
        raise ValueError(f"edges.{name}: codes 2 to 7 lie between 0 and 6 (1-5 hold a function, "
                         f"6 the normal slope of W), got {raw[1:]}")
    return tuple(raw)


def _with_rotations(edge: str, name: str, codes: tuple) -> tuple:
    """A named condition with transverse shear: BETA is the shear strain in the x-z plane and
    GAMMA in the y-z plane. A simple support holds the rotation about the edge's normal, which
    is the shear strain along the edge (GAMMA on x = const, BETA on y = const); a clamped
    edge holds both."""
    base = re.sub(r"[\s_-]+", " ", name.split("+")[0].strip().lower())
    along = 5 if edge.startswith("x") else 4
    extra = {"simply supported": (along,), "clamped": (4, 5)}.get(base, ())
    codes = list(codes)
    for c in extra:
        codes[codes.index(0, 1)] = c
    return tuple(codes)


@dataclass(frozen=True)
class Load:
    """Membrane forces per unit width: ``nx`` along the stringers, ``ny`` across them,
    ``nxy`` shear. Positive = compression. They act on the skin strips; the stringer-foot strips
    carry nx and nxy in proportion to their membrane stiffness.

    ``nx`` may vary linearly: ``nx`` is its value at the corner x = 0, y = 0, ``nx_at_yl`` its
    value at y = width (in-plane bending with compression: nx = 10, nx_at_yl = -10 is pure
    bending) and ``nx_at_xl`` its value at x = length; None = no variation in that direction.
    """

    nx: float = 0.0
    ny: float = 0.0
    nxy: float = 0.0
    nx_at_yl: Optional[float] = None
    nx_at_xl: Optional[float] = None

    @classmethod
    def of(cls, value) -> "Load":
        if isinstance(value, (Load, LoadField)):
            return value
        if isinstance(value, dict) and any(np.ndim(v) > 0 for v in value.values()):
            unknown = set(value) - {"nx", "ny", "nxy"}
            if unknown:
                raise ValueError(f"unknown load field component(s) {sorted(unknown)}; use nx, ny, nxy")
            return LoadField(**value)
        if isinstance(value, dict):
            unknown = set(value) - {"nx", "ny", "nxy", "nx_at_yl", "nx_at_xl"}
            if unknown:
                raise ValueError(f"unknown load component(s) {sorted(unknown)}; use nx, ny, nxy, nx_at_yl, nx_at_xl")
            return cls(**value)
        if not isinstance(value, (list, tuple, np.ndarray)) or len(value) != 3:
            raise ValueError(f"expected a table of nx, ny, nxy or three numbers, got {value!r}")
        nx, ny, nxy = value
        return cls(nx, ny, nxy)

    @property
    def uniform(self) -> bool:
        return self.nx_at_yl is None and self.nx_at_xl is None

    def validate(self, name: str) -> None:
        for comp in ("nx", "ny", "nxy", "nx_at_yl", "nx_at_xl"):
            if getattr(self, comp) is not None:
                _finite(f"{name}.{comp}", getattr(self, comp))

    def is_zero(self) -> bool:
        return not any((self.nx, self.ny, self.nxy, self.nx_at_yl, self.nx_at_xl))

    def on_grid(self, x: np.ndarray, y: np.ndarray) -> np.ndarray:
        """(Nx, Nxy, Ny) at the grid nodes, shape (3, len(y), len(x))."""
        yy, xx = np.meshgrid(y, x, indexing="ij")
        nx = np.full(yy.shape, float(self.nx))
        if self.nx_at_yl is not None:
            nx += (float(self.nx_at_yl) - float(self.nx)) * yy / y[-1]
        if self.nx_at_xl is not None:
            nx += (float(self.nx_at_xl) - float(self.nx)) * xx / x[-1]
        return np.stack([nx, np.full(yy.shape, float(self.nxy)), np.full(yy.shape, float(self.ny))])


@dataclass(frozen=True, eq=False)
class LoadField:
    """Membrane forces given per grid node: arrays of shape (y-lines, x-lines) as the panel's
    layout has them (``result.x``, ``result.y``, or ``panel.layout().x``/``.y``), positive =
    compression; a component left None is zero. The skin strip between two y-lines carries the
    mean of the values on its two lines (exact for a field linear across the strip), varying
    linearly in x between the nodes."""

    nx: object = None
    ny: object = None
    nxy: object = None

    uniform = False

    def validate(self, name: str, shape=None) -> None:
        for comp in ("nx", "ny", "nxy"):
            v = getattr(self, comp)
            if v is None:
                continue
            a = np.asarray(v, dtype=np.float64)
            if a.ndim != 2 or (shape is not None and a.shape != shape):
                raise ValueError(f"{name}.{comp}: expected an array of shape {shape} (y-lines, x-lines), "
                                 f"got shape {a.shape}")
            if not np.all(np.isfinite(a)):
                raise ValueError(f"{name}.{comp}: values must be finite")

    def is_zero(self) -> bool:
        return all(v is None or not np.any(np.asarray(v, dtype=np.float64)) for v in (self.nx, self.ny, self.nxy))

    def on_grid(self, x: np.ndarray, y: np.ndarray) -> np.ndarray:
        shape = (len(y), len(x))
        self.validate("load", shape)
        return np.stack([np.zeros(shape) if v is None else np.asarray(v, dtype=np.float64)
                         for v in (self.nx, self.nxy, self.ny)])


@dataclass(frozen=True)
class StringerWalls:
    """Cross-section of the stringer walls for the crippling check: foot and web thickness,
    foot width, web height, and the bending stiffness of the walls (a stiffness description or
    six packed D entries 11, 12, 22, 13, 23, 33). A hat stringer also needs the chord width and
    thickness; its web angle is the panel's ``web_angle``."""

    foot_thickness: float
    web_thickness: float
    foot_width: float
    web_height: float
    walls: object
    chord_width: float = 0.0
    chord_thickness: float = 0.0

    def bending(self) -> np.ndarray:
        """The packed bending stiffness D of the walls."""
        if isinstance(self.walls, (Isotropic, PlyStack, ABD)):
            d = self.walls.matrices()["D"]
            return np.array([d[0, 0], d[0, 1], d[1, 1], d[0, 2], d[1, 2], d[2, 2]])
        d = np.asarray(self.walls, dtype=np.float64).ravel()
        if d.shape != (6,):
            raise ValueError("crippling.walls: a stiffness description or six packed D entries")
        return d


@dataclass(frozen=True)
class Layout:
    """The grid a panel lays out: subdivision lengths in x (``a``) and y (``b``), the kind of
    each element strip in y (1 skin, 2 stringer foot), the y-lines of the stringers and the
    x-lines of the frames (one-based line numbers)."""

    a: np.ndarray
    b: np.ndarray
    strips: tuple
    stringer_lines: tuple
    frame_lines: tuple

    @classmethod
    def of(cls, lay: dict) -> "Layout":
        """The layout returned by the module's panel set-up."""
        return cls(a=lay["a"], b=lay["b"], strips=tuple(int(k) for k in lay["strips"]),
                   stringer_lines=tuple(int(j) for j in lay["stringer_lines"]),
                   frame_lines=tuple(int(i) for i in lay["frame_lines"]))

    @property
    def mx(self) -> int:
        return len(self.a) + 1

    @property
    def my(self) -> int:
        return len(self.b) + 1

    @property
    def x(self) -> np.ndarray:
        """Coordinates of the x-lines."""
        return np.concatenate([[0.0], np.cumsum(self.a, dtype=np.float64)])

    @property
    def y(self) -> np.ndarray:
        """Coordinates of the y-lines."""
        return np.concatenate([[0.0], np.cumsum(self.b, dtype=np.float64)])


Skin = Union[Isotropic, PlyStack, ABD]


class _Plan(NamedTuple):
    """The grid a description asks for: the role of each element strip in y ("skin", "foot",
    "under hat"), the stringer y-lines, the frame x-lines and the number of elements in x."""

    roles: tuple
    stringer_lines: tuple
    frame_lines: tuple
    x_elements: int

    @property
    def strips(self) -> tuple:
        """The strip kinds of the module: 1 skin, 2 stringer foot."""
        return tuple(2 if r == "foot" else 1 for r in self.roles)


@dataclass
class Panel:
    """A stiffened (or plain) panel, described by name.

    Across the panel (y) the layout is a skin bay of ``elements_between_stringers`` strips,
    then per stringer its foot strips and another skin bay: the panel is ``stringers + 1``
    skin bays wide. Along it (x) the panel spans ``frames + 1`` frame bays of
    ``elements_between_frames`` elements each, the frames on the lines between the bays.
    """

    #: Distance between stringers; without stringers the panel width.
    stringer_pitch: float
    #: Distance between frames; without frames the panel length.
    frame_pitch: float
    #: Skin stiffness: Isotropic, PlyStack or ABD.
    skin: Skin
    #: Variable membrane load (scaled by the load factor), positive = compression.
    load: Load
    #: Number of stringers and of frames.
    stringers: int = 0
    frames: int = 0
    #: "open" (foot centred under the web), "hat" or "angle" (foot to one side of the web).
    stringer_kind: str = "open"
    #: Width of the foot (open: the whole foot; angle: the foot; hat: each of the two feet).
    foot_width: float = 0.0
    #: Hat stringers: chord width, height and the angle between the two webs (degrees, 0 =
    #: upright webs).
    chord_width: float = 0.0
    hat_height: float = 0.0
    web_angle: float = 0.0
    #: Stiffness of the skin with the stringer foot; None = the skin's.
    foot: Optional[Skin] = None
    #: Stiffness values of every stringer and every frame.
    stringer: Stiffener = field(default_factory=Stiffener)
    frame: Stiffener = field(default_factory=Stiffener)
    #: Element counts: along a frame bay, across a skin bay, per (half) foot, under a hat.
    elements_between_frames: int = 8
    elements_between_stringers: int = 8
    elements_per_foot: int = 1
    elements_below_hat: int = 2
    #: Radii of curvature rx, ry, rxy; None or inf = flat.
    radii: tuple = (None, None, None)
    #: Fixed membrane load (not scaled), positive = compression.
    fixed_load: Load = field(default_factory=Load)
    #: Boundary condition per edge x0, xl, y0, yl: a name of BOUNDARY_NAMES, optionally with
    #: "+ u" / "+ v" (in-plane displacement held), or up to seven explicit codes. Edges left
    #: out keep their default (DEFAULT_EDGES).
    edges: dict = field(default_factory=lambda: dict(DEFAULT_EDGES))
    #: Functions of the analysis: "w" alone, or with the in-plane displacements "u", "v".
    functions: tuple = ("w", "u", "v")
    #: Number of buckling load factors wanted, and of iteration vectors (None = automatic).
    eigenvalues: int = 4
    iteration_vectors: Optional[int] = None
    #: Angles of obliqueness of the x- and y-lines, degrees.
    obliqueness: tuple = (0.0, 0.0)
    #: Project name (up to 8 characters, names the output files) and run title.
    name: str = "PANEL"
    title: str = ""
    #: Intervals of the plot grid in x and y (even, at most 80) and whether to write the
    #: mode-shape file.
    plot_grid: tuple = (50, 50)
    write_modes: bool = True
    #: List the membrane forces of every node in the listing.
    print_forces: bool = True
    #: Stringer walls for the crippling check; None = no check.
    crippling: Optional[StringerWalls] = None
    #: Size preset (19, 21, 25 or 31); None = the smallest that holds the grid.
    preset: Optional[int] = None
    #: Working folder of the run; None = a new temporary folder.
    folder: Optional[Union[str, Path]] = None
    #: Masses for frequencies: the skin's mass per unit area (None = the skin's density times
    #: its thickness), and the mass per unit length of every stringer and every frame.
    skin_mass: Optional[float] = None
    stringer_mass: float = 0.0
    frame_mass: float = 0.0
    #: Strength checks: the knock-down factor on the allowables and the safety factor on the
    #: applied forces, RF = knock_down * allowable / (safety_factor * applied).
    knock_down: float = 1.0
    safety_factor: float = 1.0

    def __post_init__(self):
        for key in ("load", "fixed_load"):
            try:
                setattr(self, key, Load.of(getattr(self, key)))
            except (TypeError, ValueError) as e:
                raise ValueError(f"{key}: {e}") from None
        for key in ("stringer", "frame"):
            v = getattr(self, key)
            if isinstance(v, dict):
                setattr(self, key, Stiffener(**v))
            elif not isinstance(v, Stiffener):
                try:
                    setattr(self, key, Stiffener(*v))
                except TypeError:
                    raise ValueError(f"{key}: expected zeft.Stiffener(EA, ES, EI, GJ), got {v!r}") from None
        if isinstance(self.functions, str):
            self.functions = (self.functions,)
        if not isinstance(self.functions, (list, tuple)) or not all(isinstance(f, str) for f in self.functions):
            raise ValueError(f"functions: names such as ('w', 'u', 'v'), got {self.functions!r}")
        self.functions = tuple(f.lower() for f in self.functions)
        for key, count in (("radii", 3), ("obliqueness", 2), ("plot_grid", 2)):
            value = getattr(self, key)
            if not _sized(value, count):
                raise ValueError(f"{key}: {count} values, got {value!r}")
            setattr(self, key, tuple(value))
        if not isinstance(self.edges, dict):
            raise ValueError(f"edges: a table of the edges x0, xl, y0, yl and their conditions, got {self.edges!r}")
        self.edges = {**DEFAULT_EDGES, **self.edges}

    # ------------------------------------------------------------------ derived values

    def to_dict(self) -> dict:
        """The fields as plain values (the layout of a TOML panel file); ``Panel.from_dict``
        reads them back."""
        from .export import panel_to_dict

        return panel_to_dict(self)

    @classmethod
    def from_dict(cls, data: dict) -> "Panel":
        """A panel from a mapping of its fields (as ``to_dict`` gives or a TOML file holds)."""
        from .config import panel_from_dict

        return panel_from_dict(data)

    def to_toml(self, path=None) -> str:
        """The panel as TOML text for ``zeft.load_panel`` / ``zeft run``, written to ``path``
        when given."""
        from .export import panel_to_toml

        text = panel_to_toml(self)
        if path is not None:
            Path(path).write_text(text, encoding="utf-8")
        return text

    def replace(self, **changes) -> "Panel":
        """A copy with some fields changed (for parameter studies)."""
        return replace(self, **changes)

    @property
    def stringer_type(self) -> int:
        """The module's stringer type (1 open, 2 hat, 3 angle)."""
        kind = self.stringer_kind
        if isinstance(kind, str):
            return STRINGER_KINDS[kind.lower()]
        return int(kind)  # validated: 1, 2 or 3

    @property
    def functions_codes(self) -> list:
        return sorted(FUNCTIONS[f] for f in self.functions)

    @property
    def transverse_shear(self) -> bool:
        """True when the rotations BETA and GAMMA take part (first-order shear deformation)."""
        return "beta" in self.functions

    @property
    def boundary_codes(self) -> dict:
        codes = {e: edge_codes(e, self.edges[e]) for e in EDGES}
        if self.transverse_shear:
            for e in EDGES:
                if isinstance(self.edges[e], str):
                    codes[e] = _with_rotations(e, self.edges[e], codes[e])
        return codes

    @property
    def neigit(self) -> int:
        if self.iteration_vectors is not None:
            return int(self.iteration_vectors)
        # The usual rule of subspace iteration, with at least eight vectors beyond those wanted
        # (fewer leave the last requested vectors short of a residual of 1e-6); never more than
        # the preset holds (the run itself keeps them within its W freedoms).
        p = int(self.eigenvalues)
        return min(55, max(2 * p, p + 8))

    def radius(self, k: int) -> float:
        r = self.radii[k]
        if r is None or abs(float(r)) >= FLAT:
            return FLAT
        return float(r)

    @property
    def length(self) -> float:
        return float(self.layout().x[-1])

    @property
    def width(self) -> float:
        return float(self.layout().y[-1])

    def _plan(self) -> _Plan:
        """The grid as described: across the panel a skin bay, then per stringer its foot
        strips (a hat: foot, the skin under it, foot) and another skin bay; along it frame bays
        of ``elements_between_frames`` elements with the frames on the lines between them."""
        nzs, nf = int(self.elements_between_stringers), int(self.elements_per_foot)
        stype = self.stringer_type if self.stringers else 1
        roles, lines = ["skin"] * nzs, []
        for _ in range(int(self.stringers)):
            start = len(roles) + 1                        # first y-line of the foot
            if stype == 1:
                roles += ["foot"] * (2 * nf)
                lines.append(start + nf)
            elif stype == 3:
                roles += ["foot"] * nf
                lines.append(start)
            else:
                nbh = int(self.elements_below_hat)
                roles += ["foot"] * nf + ["under hat"] * nbh + ["foot"] * nf
                lines.append(start + nf + nbh // 2)
            roles += ["skin"] * nzs
        nef = int(self.elements_between_frames)
        frame_lines = tuple(1 + nef * (k + 1) for k in range(int(self.frames)))
        return _Plan(tuple(roles), tuple(lines), frame_lines, nef * (int(self.frames) + 1))

    def _check_plan_fits(self, plan: "_Plan") -> None:
        """Refuses a grid that no size holds (ValueError naming the element count)."""
        mx, my = plan.x_elements + 1, len(plan.roles) + 1
        if max(len(plan.stringer_lines), len(plan.frame_lines)) > _LARGER - 2:
            raise ValueError(f"stringers, frames: at most {_LARGER - 2} of each fit on the largest grid")
        if mx > _LARGER:
            raise ValueError(f"elements_between_frames: {self.elements_between_frames} elements in each of "
                             f"{self.frames + 1} frame bays need {mx} lines in x; at most {_LARGER} fit")
        if my > _LARGER:
            raise ValueError(f"elements_between_stringers: the layout across the panel needs {my} lines in y "
                             f"({self.stringers} stringers); at most {_LARGER} fit")

    def layout(self) -> Layout:
        """The grid as the front end lays it out: subdivision lengths (single precision),
        strip kinds and stiffener lines. Raises ValueError for a grid no preset holds."""
        import _zeft

        from ._state import state_lock

        plan = self._plan()
        self._check_plan_fits(plan)
        # The layout depends on the geometry alone: stiffness, loads, curvature and controls
        # take values the set-up accepts whatever the description holds.
        size = PRESETS[-1] if self._lines(plan) <= PRESETS[-1] else _LARGER
        args = dict(self.callzeft_arguments(size, plan), **_LAYOUT_ONLY)
        args["displ"] = np.zeros(int(analysis_group(size).p_nx))
        try:
            with state_lock:
                lay = _zeft._lay_out_panel(size, **args)
        except _zeft.error as e:
            raise ValueError(f"layout: {e}") from None
        return Layout.of(lay)

    @staticmethod
    def _lines(plan: "_Plan") -> int:
        """Subdivision lines of the laid-out grid in its longer direction."""
        return max(plan.x_elements, len(plan.roles)) + 1

    def choose_preset(self) -> int:
        """The size preset of the run: the one given, or the smallest that holds the grid
        (beyond the largest preset, the module's larger size)."""
        if self.preset is not None:
            return int(self.preset)
        need = self._lines(self._plan())
        return next(p for p in _SIZES if p >= need)

    # ------------------------------------------------------------------ validation

    def validate(self) -> None:
        """Checks every field; raises ValueError naming the field. Nothing is run or written."""
        _positive("stringer_pitch", self.stringer_pitch)
        _positive("frame_pitch", self.frame_pitch)
        for key in ("stringers", "frames"):
            _count(key, getattr(self, key), 0, most=_LARGER - 2)
        kind = self.stringer_kind
        if isinstance(kind, str):
            if kind.lower() not in STRINGER_KINDS:
                raise ValueError(f"stringer_kind: unknown kind {kind!r}; known: {', '.join(STRINGER_KINDS)}")
        elif isinstance(kind, (bool, np.bool_)) or kind not in (1, 2, 3):
            raise ValueError(f"stringer_kind: 'open', 'hat', 'angle' or the types 1, 2, 3, got {kind!r}")
        # Counts are bounded by the largest grid before anything is laid out.
        for key in ("elements_between_frames", "elements_between_stringers", "elements_per_foot",
                    "elements_below_hat"):
            _count(key, getattr(self, key), 1, most=_LARGER - 1)
        neigrq = _count("eigenvalues", self.eigenvalues, 1, most=50)
        if self.iteration_vectors is not None:
            neigit = _count("iteration_vectors", self.iteration_vectors, 2, most=55)
            if neigit <= neigrq:
                raise ValueError(f"iteration_vectors: more than eigenvalues ({neigrq}) and at most 55, got {neigit}")
        for key in ("foot_width", "chord_width", "hat_height", "web_angle"):   # numbers even where unused
            _finite(key, getattr(self, key))
        for key in ("write_modes", "print_forces"):
            if not isinstance(getattr(self, key), (bool, np.bool_)):
                raise ValueError(f"{key}: expected true or false, got {getattr(self, key)!r}")
        if self.stringers:
            self._validate_cross_section()
        validate_skin("skin", self.skin)
        if self.foot is not None:
            validate_skin("foot", self.foot)
        self.stringer.validate("stringer")
        self.frame.validate("frame")
        if not _sized(self.radii, 3):
            raise ValueError(f"radii: three radii rx, ry, rxy (None = flat), got {self.radii!r}")
        for name, r in zip(("rx", "ry", "rxy"), self.radii):
            if r is not None and abs(_number(f"radii.{name}", r)) < FLAT:   # larger radii are flat
                if _finite(f"radii.{name}", r) == 0.0:
                    raise ValueError(f"radii.{name}: a radius of 0 is no curvature; use None or inf for flat")
        lay = self.layout()
        for key in ("load", "fixed_load"):
            load = getattr(self, key)
            if not isinstance(load, (Load, LoadField)):
                raise ValueError(f"{key}: expected zeft.Load or zeft.LoadField, got {type(load).__name__}")
            load.validate(key, (lay.my, lay.mx)) if isinstance(load, LoadField) else load.validate(key)
        if self.load.is_zero():
            raise ValueError("load: the variable load is zero in all components (nx, ny, nxy); "
                             "the load factor scales it, so give at least one")
        if self.skin_mass is not None:
            _positive("skin_mass", self.skin_mass)
        for key in ("stringer_mass", "frame_mass"):
            if _finite(key, getattr(self, key)) < 0.0:
                raise ValueError(f"{key}: must not be negative, got {getattr(self, key):g}")
        for key in ("knock_down", "safety_factor"):
            _positive(key, getattr(self, key))
        if self.folder is not None and not isinstance(self.folder, (str, Path)):
            raise ValueError(f"folder: a path or None, got {type(self.folder).__name__}")
        self._validate_edges(lay)
        self._validate_controls()
        self._validate_grid(lay)
        if self.crippling is not None:
            self._validate_crippling()

    def _validate_cross_section(self) -> None:
        stype = self.stringer_type
        _count("elements_per_foot", self.elements_per_foot, 1)
        foot = _positive("foot_width", self.foot_width)
        if stype == 2:
            _count("elements_below_hat", self.elements_below_hat, 1)
            angle = _finite("web_angle", self.web_angle)
            if not 0.0 <= angle < 180.0:
                raise ValueError(f"web_angle: the angle between the webs lies in [0, 180) degrees, got {angle:g}")
            if _finite("hat_height", self.hat_height) < 0.0:
                raise ValueError(f"hat_height: must not be negative, got {self.hat_height:g}")
            if _finite("chord_width", self.chord_width) < 0.0:
                raise ValueError(f"chord_width: must not be negative, got {self.chord_width:g}")
            lay, roles = self.layout(), self._plan().roles
            under = [w for w, r in zip(lay.b, roles) if r == "under hat"]
            if not all(w > 0.0 for w in under):
                raise ValueError("chord_width, hat_height: the hat covers no width")
            if not all(w > 0.0 for w, r in zip(lay.b, roles) if r == "skin"):
                hat = float(np.sum(under[: int(self.elements_below_hat)], dtype=np.float32))
                raise ValueError(f"stringer_pitch: {self.stringer_pitch:g} leaves no skin between the hats "
                                 f"(hat {hat:g} wide, two feet of {foot:g})")
        elif self.stringer_pitch - foot <= 0.0:
            raise ValueError(f"foot_width: {foot:g} leaves no skin within the stringer pitch {self.stringer_pitch:g}")

    def _validate_edges(self, lay: Layout) -> None:
        if not isinstance(self.edges, dict):
            raise ValueError("edges: a mapping of the edges x0, xl, y0, yl to boundary conditions")
        unknown = set(self.edges) - set(EDGES)
        if unknown:
            raise ValueError(f"edges: unknown edge(s) {sorted(unknown)}; the edges are {', '.join(EDGES)}")
        missing = set(EDGES) - set(self.edges)
        if missing:
            raise ValueError(f"edges: no condition for {', '.join(sorted(missing))}")
        codes = self.boundary_codes
        funcs = set(self.functions)
        if not any(c[0] for c in codes.values()):
            for f, code in HELD.items():
                if f in funcs and not any(code in c[1:] for c in codes.values()):
                    raise ValueError(f"edges: {f.upper()} is held on no edge, so the in-plane problem has a "
                                     f"rigid-body motion; add '+ {f}' to one edge, e.g. "
                                     f"{'x0' if f == 'u' else 'y0'} = 'simply supported + {f}'")
        motion = free_motion(codes, float(np.sum(lay.a)), float(np.sum(lay.b)),
                             [0.0 if self.radius(k) == FLAT else 1.0 / self.radius(k) for k in range(3)],
                             in_plane="u" in funcs)
        if motion:
            hold = ("hold U and V as the default edges do" if motion == "in U and V" else
                    "hold W on the edges, e.g. x0 = xl = 'simply supported', or clamp one")
            raise ValueError(f"edges: the panel can move as a rigid body {motion}, which strains nothing and leaves "
                             f"its stiffness singular; {hold}")

    def _validate_controls(self) -> None:
        if "w" not in self.functions:
            raise ValueError(f"functions: W must take part, got {self.functions!r}")
        for f in self.functions:
            if f not in FUNCTIONS:
                raise ValueError(f"functions: unknown function {f!r}; known: w, u, v, beta, gamma")
        if len(set(self.functions)) != len(self.functions):
            raise ValueError(f"functions: each function once, got {self.functions!r}")
        if set(self.functions) not in FUNCTION_SETS:
            raise ValueError(f"functions: one of ('w',), ('w', 'u', 'v'), ('w', 'beta', 'gamma') or "
                             f"('w', 'u', 'v', 'beta', 'gamma'), got {self.functions!r}")
        if self.transverse_shear:
            for key in ("skin", "foot"):
                skin = getattr(self, key)
                if skin is not None:
                    try:
                        skin.transverse_shear()
                    except ValueError as e:
                        raise ValueError(f"{key}.{e}") from None
        curved = any(self.radius(k) != FLAT for k in range(3))
        if curved and not {"u", "v"} <= set(self.functions):
            raise ValueError("functions: a curved panel couples W with the in-plane displacements; give "
                             "functions = ('w', 'u', 'v') or ('w', 'u', 'v', 'beta', 'gamma')")
        if (self.stringers or self.frames) and not {"u", "v"} <= set(self.functions):
            raise ValueError("functions: stringers and frames act through the in-plane displacements; a "
                             "stiffened panel needs functions = ('w', 'u', 'v') or ('w', 'u', 'v', 'beta', 'gamma')")
        if not _sized(self.obliqueness, 2):
            raise ValueError("obliqueness: two angles (x-lines, y-lines) in degrees")
        ax, ay = (_finite(f"obliqueness[{k}]", v) for k, v in enumerate(self.obliqueness))
        if not (abs(ax) < 90.0 and abs(ay) < 90.0) or _skew_cosine(ax, ay) < MIN_SKEW_COSINE:
            raise ValueError(f"obliqueness: the angles must lie within (-90, 90) degrees and their difference "
                             f"within +-{MAX_SKEW:.2f} degrees (the elements degenerate beyond), got {ax:g}, {ay:g}")
        name = self.name
        if not isinstance(name, str) or not re.fullmatch(r"[A-Za-z0-9_.-]{1,8}", name) or set(name) == {"."}:
            raise ValueError(f"name: 1 to 8 letters, digits, '_', '-' or '.' and not only dots (it names the "
                             f"output files), got {name!r}")
        if not isinstance(self.title, str) or len(self.title) > 80 or not all(" " <= c <= "~" for c in self.title):
            raise ValueError(f"title: up to 80 printable ASCII characters (no control characters), got {self.title!r}")
        if not _sized(self.plot_grid, 2):
            raise ValueError("plot_grid: two interval counts (x, y)")
        for k, n in enumerate(self.plot_grid):
            _count(f"plot_grid[{k}]", n, 2, most=80)

    def _validate_grid(self, lay: Layout) -> None:
        if not np.all(lay.b > 1.0e-21) or not np.all(lay.a > 1.0e-21):
            raise ValueError("foot_width: the layout has a strip of no width")
        if self.preset is not None:
            if self.preset not in PRESETS:
                raise ValueError(f"preset: one of {PRESETS} or None, got {self.preset!r}")
            if max(lay.mx, lay.my) > self.preset:
                raise ValueError(f"preset: the grid has {lay.mx} x {lay.my} lines; preset {self.preset} holds "
                                 f"at most {self.preset}")

    def _validate_crippling(self) -> None:
        w = self.crippling
        if not isinstance(w, StringerWalls):
            raise ValueError("crippling: expected zeft.StringerWalls or None")
        if not self.stringers:
            raise ValueError("crippling: the panel has no stringers")
        stype = self.stringer_type
        if stype not in (1, 2):
            raise ValueError("crippling: checked for open and hat stringers only")
        _positive("crippling.web_height", w.web_height)
        _positive("crippling.web_thickness", w.web_thickness)
        for key in ("foot_thickness", "foot_width", "chord_thickness"):
            if _finite(f"crippling.{key}", getattr(w, key)) < 0.0:
                raise ValueError(f"crippling.{key}: must not be negative")
        if stype == 2:
            _positive("crippling.chord_width", w.chord_width)
        else:
            _positive("stringer.EA", self.stringer.EA)
        if isinstance(w.walls, (Isotropic, PlyStack, ABD)):
            validate_skin("crippling.walls", w.walls)
        d = unpack(w.bending())
        if not np.all(np.isfinite(d)) or d[0, 0] * d[1, 1] <= 0.0 or d[0, 0] <= 0.0:
            raise ValueError("crippling.walls: the wall bending stiffness needs D11 > 0 and D22 > 0")

    # ------------------------------------------------------------------ callzeft

    def callzeft_arguments(self, preset: Optional[int] = None, plan: Optional[_Plan] = None) -> dict:
        """The arguments of ``callzeft`` by name, with fresh result arrays."""
        import _zeft

        preset = self.choose_preset() if preset is None else preset
        group = analysis_group(preset)
        r1, s, nx = int(group.p_rtnds) - 1, int(group.p_stf), int(group.p_nx)
        lay = self._plan() if plan is None else plan

        def padded(values, n):
            out = np.zeros(n, np.int32)
            out[: len(values)] = values
            return out

        matabd = np.zeros((18, 2), np.float32, order="F")
        matabd[:, 0] = self.skin.data_set()
        matabd[:, 1] = (self.foot or self.skin).data_set()
        codes = self.boundary_codes
        ku = padded(self.functions_codes, 5)
        neigrq = int(self.eigenvalues)
        return dict(
            filenamep=self.name, titp=self.title, rxp=self.radius(0), ryp=self.radius(1), rxyp=self.radius(2),
            matabdf=matabd, steifxf=self.stringer.values(), steifyf=self.frame.values(),
            framepitch=float(self.frame_pitch), stringerpitch=float(self.stringer_pitch),
            stypep=self.stringer_type if self.stringers else 1,
            chordwdth=float(self.chord_width), sfootwdth=float(self.foot_width if self.stringers else 0.0),
            alpha=float(self.web_angle), height=float(self.hat_height),
            loadvxp=_plain(self.load, "nx"), loadvyp=_plain(self.load, "ny"), loadvxyp=_plain(self.load, "nxy"),
            fnxp=_plain(self.fixed_load, "nx"), fnxyp=_plain(self.fixed_load, "nxy"), fnyp=_plain(self.fixed_load, "ny"),
            alfaxp=float(self.obliqueness[0]), alfayp=float(self.obliqueness[1]),
            elamp=np.zeros(55), membraneforcesp=np.zeros(275), itab=0, neigit=self.neigit, neigrq=neigrq,
            mempri=bool(self.print_forces), indplt=1 if self.write_modes else 0, ku=ku,
            istx=padded(lay.stringer_lines, s), isty=padded(lay.frame_lines, s), elmstf=padded(lay.strips, r1),
            bndy0=np.array(codes["y0"], np.int32), bndyl=np.array(codes["yl"], np.int32),
            bndx0=np.array(codes["x0"], np.int32), bndxl=np.array(codes["xl"], np.int32),
            anzelzwframes=int(self.elements_between_frames), anzelprohalbfoot=int(self.elements_per_foot),
            anzelzwstr=int(self.elements_between_stringers), anzelbelowstr=int(self.elements_below_hat),
            displ=np.zeros(nx * neigrq),
        )


def _unit_data_sets() -> np.ndarray:
    """Two stiffness data sets with unit membrane and bending stiffness, uncoupled."""
    m = np.zeros((18, 2), np.float32, order="F")
    m[[0, 2, 5, 12, 14, 17], :] = 1.0
    return m


#: The arguments of callzeft that do not shape the layout, at values any set-up accepts.
_LAYOUT_ONLY = dict(filenamep="LAYOUT", titp="", rxp=FLAT, ryp=FLAT, rxyp=FLAT, matabdf=_unit_data_sets(),
                    steifxf=np.zeros(4, np.float32), steifyf=np.zeros(4, np.float32), loadvxp=0.0, loadvyp=0.0,
                    loadvxyp=0.0, fnxp=0.0, fnxyp=0.0, fnyp=0.0, alfaxp=0.0, alfayp=0.0, neigit=2, neigrq=1)


def _plain(load, comp: str) -> float:
    """The front end's constant value of a load component; a varying load is laid over the
    grid afterwards (zeft.records), so the front end receives 1 as the unit of its share."""
    return float(getattr(load, comp)) if load.uniform else 1.0


def _sized(value, n: int) -> bool:
    return isinstance(value, (list, tuple, np.ndarray)) and len(value) == n


def _count(name: str, value, least: int, most: Optional[int] = None) -> int:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, np.integer)) and not (
            isinstance(value, float) and value.is_integer()):
        raise ValueError(f"{name}: expected a whole number, got {value!r}")
    n = int(value)
    if n < least:
        raise ValueError(f"{name}: must be at least {least}, got {n}")
    if most is not None and n > most:
        raise ValueError(f"{name}: at most {most}, got {n}")
    return n


#: An oblique grid degenerates when the cosine of the angle between its x- and y-lines drops
#: below this value: the element terms are formed only above it.
MIN_SKEW_COSINE = 0.2
MAX_SKEW = math.degrees(math.acos(MIN_SKEW_COSINE))


def _skew_cosine(ax: float, ay: float) -> float:
    """|cos| of the difference of the angles of obliqueness, in single precision as the element
    terms form it (degrees to radians, then the difference)."""
    f32 = np.float32
    rad = f32(3.1415927) / f32(180.0)
    return abs(float(np.cos(f32(ax) * rad - f32(ay) * rad, dtype=f32)))
