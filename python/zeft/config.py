"""Panel descriptions as TOML files (see examples/panel.toml): top-level keys are the fields
of zeft.Panel; tables describe the skin and foot stiffness, the stiffeners, the loads, the
radii, the edges and the stringer walls of the crippling check."""

from __future__ import annotations

import sys
from dataclasses import MISSING, fields, replace
from pathlib import Path

from .panel import Load, Panel, StringerWalls
from .stiffness import ABD, Isotropic, PlyStack, Stiffener

if sys.version_info >= (3, 11):
    import tomllib
else:  # pragma: no cover - older interpreters take the backport
    import tomli as tomllib

__all__ = ["load_panel", "panel_from_dict"]

_STIFFNESS_KEYS = {
    Isotropic: {"thickness", "E", "nu"},
    PlyStack: {"thicknesses", "angles", "E1", "E2", "nu12", "G12"},
}

#: Keys a stiffness table may add: transverse shear moduli or stiffness, density or mass.
_OPTIONAL_KEYS = {Isotropic: {"G", "density"}, PlyStack: {"G13", "G23", "density"}}


def stiffness_from_dict(name: str, table: dict):
    """A skin description from its table: isotropic (thickness, E, nu), a ply stack
    (thicknesses, angles, E1, E2, nu12, G12) or explicit matrices (A, D and either the
    skin-data ``coupling`` or the classical ``B``)."""
    if not isinstance(table, dict):
        raise ValueError(f"{name}: expected a table of stiffness data")
    keys = set(table)
    for kind, needed in _STIFFNESS_KEYS.items():
        if keys & needed and not keys & {"A", "D"}:
            _exact(name, keys, needed, optional=_OPTIONAL_KEYS[kind])
            return kind(**table)
    if {"A", "D"} <= keys:
        if {"B", "coupling"} <= keys:
            raise ValueError(f"{name}: give either the classical B or the skin-data coupling, not both")
        _exact(name, keys, {"A", "D"}, optional={"B", "coupling", "shear", "mass"})
        if "B" in table:
            extra = {k: table[k] for k in ("shear", "mass") if k in table}
            return replace(ABD.from_classical(table["A"], table["B"], table["D"]), **extra)
        return ABD(**table)
    raise ValueError(f"{name}: give thickness, E, nu (isotropic), thicknesses, angles, E1, E2, nu12, G12 "
                     f"(ply stack) or A, D and coupling (matrices); got {sorted(keys)}")


def _exact(name, keys, needed, optional=frozenset()):
    missing, extra = needed - keys, keys - needed - set(optional)
    if missing:
        raise ValueError(f"{name}: missing {', '.join(sorted(missing))}")
    if extra:
        raise ValueError(f"{name}: unknown key(s) {', '.join(sorted(extra))}")


def panel_from_dict(data: dict) -> Panel:
    """A Panel from a mapping of its fields (as read from TOML)."""
    data = dict(data)
    known = {f.name for f in fields(Panel)}
    unknown = set(data) - known
    if unknown:
        raise ValueError(f"unknown panel field(s): {', '.join(sorted(unknown))}")
    for key in ("skin", "foot"):
        if key in data and data[key] is not None:
            data[key] = stiffness_from_dict(key, data[key])
    for key in ("stringer", "frame"):
        if key in data:
            table = data[key]
            if not isinstance(table, dict):
                raise ValueError(f"{key}: expected a table of EA, ES, EI, GJ (and EIp), got {table!r}")
            extra = set(table) - {"EA", "ES", "EI", "GJ", "EIp"}
            if extra:
                raise ValueError(f"{key}: unknown key(s) {', '.join(sorted(extra))}; use EA, ES, EI, GJ, EIp")
            data[key] = Stiffener(**table)
    for key in ("load", "fixed_load"):
        if key in data:
            try:
                data[key] = Load.of(data[key])
            except (TypeError, ValueError) as e:
                raise ValueError(f"{key}: {e}") from None
    if isinstance(data.get("radii"), dict):
        radii = data["radii"]
        extra = set(radii) - {"rx", "ry", "rxy"}
        if extra:
            raise ValueError(f"radii: unknown key(s) {', '.join(sorted(extra))}; use rx, ry, rxy")
        data["radii"] = tuple(radii.get(k) for k in ("rx", "ry", "rxy"))
    if isinstance(data.get("crippling"), dict):
        table = dict(data["crippling"])
        walls = table.get("walls")
        if isinstance(walls, dict):
            table["walls"] = stiffness_from_dict("crippling.walls", walls)
        allowed = {f.name for f in fields(StringerWalls)}
        needed = {f.name for f in fields(StringerWalls) if f.default is MISSING}
        _exact("crippling", set(table), needed, optional=allowed - needed)
        data["crippling"] = StringerWalls(**table)
    for key in ("functions", "obliqueness", "plot_grid"):
        if key in data and isinstance(data[key], list):
            data[key] = tuple(data[key])
    missing = [k for k in ("stringer_pitch", "frame_pitch", "skin", "load") if k not in data]
    if missing:
        raise ValueError(f"missing panel field(s): {', '.join(missing)}")
    return Panel(**data)


#: Largest panel description read; anything longer is not one (a device, a wrong file).
MAX_FILE_BYTES = 1 << 20


def load_panel(path) -> Panel:
    """Reads a panel description from a TOML file. A relative ``folder`` in the file is taken
    relative to the file's own folder. Every refusal is a ValueError (an unreadable file an
    OSError) whose message begins with the file's name."""
    path = Path(path)
    with open(path, "rb") as f:
        raw = f.read(MAX_FILE_BYTES + 1)
    if len(raw) > MAX_FILE_BYTES:
        raise ValueError(f"{path}: longer than {MAX_FILE_BYTES} bytes; not a panel description")
    try:
        data = tomllib.loads(raw.decode("utf-8"))
    except UnicodeDecodeError as e:
        raise ValueError(f"{path}: not UTF-8 text (byte {e.start})") from None
    except tomllib.TOMLDecodeError as e:
        raise ValueError(f"{path}: {e}") from None
    try:
        panel = panel_from_dict(data)
    except (TypeError, ValueError) as e:
        raise ValueError(f"{path}: {e}") from None
    if isinstance(panel.folder, str) and not Path(panel.folder).is_absolute():
        panel.folder = path.resolve().parent / panel.folder
    return panel
