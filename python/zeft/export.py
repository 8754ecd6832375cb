"""Results and panels that leave Python: plain dictionaries, JSON, CSV and TOML.

``panel_to_dict`` gives the mapping that ``panel_from_dict`` reads back (the TOML layout of
``zeft run``), ``panel_to_toml`` writes it as TOML text. ``result_to_dict`` gives the numbers of
a BucklingResult as lists and plain values; the table goes to CSV (one row per mode), the mode
shapes to CSV (one row per point) or, with ``modes=True``, into the JSON.
"""

from __future__ import annotations

import csv
import dataclasses
import io
import json
import math
from pathlib import Path

import numpy as np

from .stiffness import ABD, Isotropic, PlyStack

__all__ = ["panel_to_dict", "panel_to_toml", "result_to_dict", "write_json", "write_table_csv",
           "write_strength_csv", "write_modes_csv"]

#: Result fields that are text, raw vectors or the grid: left out of to_dict unless asked.
_TEXT = ("listing", "output")
_MODES = ("eigenvectors", "w_nodes", "x", "y", "a", "b")


# ---------------------------------------------------------------------------- panels

def panel_to_dict(panel) -> dict:
    """The panel's fields as plain values, as ``panel_from_dict`` (and a TOML file) takes them;
    fields that are None are left out."""
    out = {}
    for f in dataclasses.fields(panel):
        value = getattr(panel, f.name)
        if value is None:
            continue
        if f.name == "radii":
            value = {k: float(r) for k, r in zip(("rx", "ry", "rxy"), value) if r is not None}
            if not value:
                continue
        out[f.name] = _plain(value)
    return out


def _stiffness(value) -> dict:
    if isinstance(value, Isotropic):
        out = {"thickness": float(value.thickness), "E": float(value.E), "nu": float(value.nu)}
        extra = ("G", "density")
    elif isinstance(value, PlyStack):
        out = {"thicknesses": [float(t) for t in np.atleast_1d(value.thicknesses)],
               "angles": [float(a) for a in np.atleast_1d(value.angles)],
               "E1": float(value.E1), "E2": float(value.E2), "nu12": float(value.nu12), "G12": float(value.G12)}
        extra = ("G13", "G23", "density")
    else:
        m = value.matrices()
        out = {"A": m["A"].tolist(), "D": m["D"].tolist(), "coupling": m["coupling"].tolist()}
        extra = ("shear", "mass")
    out.update({k: _plain(getattr(value, k)) for k in extra if getattr(value, k) is not None})
    return out


def _plain(value):
    """Plain Python values (dicts, lists, numbers, strings) of a field."""
    if isinstance(value, (Isotropic, PlyStack, ABD)):
        return _stiffness(value)
    if dataclasses.is_dataclass(value) and not isinstance(value, type):
        return {f.name: _plain(getattr(value, f.name)) for f in dataclasses.fields(value)
                if getattr(value, f.name) is not None}
    if isinstance(value, dict):
        return {str(k): _plain(v) for k, v in value.items() if v is not None}
    if isinstance(value, (list, tuple)):
        return [_plain(v) for v in value]
    if isinstance(value, np.ndarray):
        return value.tolist()
    if isinstance(value, np.generic):
        return value.item()
    if isinstance(value, Path):
        return str(value)
    return value


def panel_to_toml(panel) -> str:
    """The panel as the text of a TOML file that ``zeft.load_panel`` reads back."""
    data = panel_to_dict(panel)
    if "folder" in data:
        data["folder"] = str(Path(data["folder"]).resolve())
    return _toml(data)


def _toml(data: dict, prefix: str = "") -> str:
    plain = {k: v for k, v in data.items() if not isinstance(v, dict)}
    tables = {k: v for k, v in data.items() if isinstance(v, dict)}
    lines = [f"{_key(k)} = {_value(v)}" for k, v in plain.items()]
    for k, v in tables.items():
        name = f"{prefix}{_key(k)}"
        lines += ["", f"[{name}]", _toml(v, name + ".")]
    return "\n".join(line for line in lines if line is not None).strip("\n") + ("\n" if not prefix else "")


def _key(k: str) -> str:
    return k if k.replace("_", "").isalnum() and k.isascii() else json.dumps(k)


def _value(v) -> str:
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, int):
        return str(v)
    if isinstance(v, float):
        if math.isnan(v):
            return "nan"
        if math.isinf(v):
            return "inf" if v > 0 else "-inf"
        return repr(v)
    if isinstance(v, str):
        return json.dumps(v)
    if isinstance(v, list):
        return "[" + ", ".join(_value(x) for x in v) + "]"
    raise TypeError(f"cannot write {type(v).__name__} to TOML")


# ---------------------------------------------------------------------------- results

def result_to_dict(result, *, modes: bool = False, text: bool = False) -> dict:
    """The result's numbers as plain values: the panel, load factors, forces, stiffener
    forces, checks and run data. ``modes`` adds the raw vectors, the nodal values and the grid
    and each mode's W on a regular 51 x 51 grid; ``text`` the listing and standard output."""
    out = {}
    for f in dataclasses.fields(result):
        if (f.name in _TEXT and not text) or (f.name in _MODES and not modes):
            continue
        value = getattr(result, f.name)
        if f.name == "panel":
            out["panel"] = panel_to_dict(value)
        else:
            out[f.name] = _plain(value)
    if modes:
        shapes = [result.mode_shape(k) for k in range(1, result.modes + 1)]
        out["mode_shapes"] = {"x": shapes[0][0].tolist(), "y": shapes[0][1].tolist(),
                              "w": [s[2].tolist() for s in shapes]} if shapes else {}
    return out


def write_json(result, path=None, *, modes: bool = False) -> str:
    """The result as JSON text (``result_to_dict``), also written to ``path`` when given."""
    text = json.dumps(result_to_dict(result, modes=modes), indent=1, allow_nan=True)
    if path is not None:
        Path(path).write_text(text + "\n", encoding="utf-8")
    return text


def table_columns(result) -> dict:
    """The per-mode columns: load factor, membrane forces, the force of each stringer and frame
    (stringer_force_1, ...), and every other per-mode array of the result (one column per entry
    of a second axis)."""
    n = result.modes
    cols = {"mode": np.arange(1, n + 1), "load_factor": result.load_factors}
    for j, name in enumerate(("Nx", "Nxy", "Ny")):
        cols[name] = result.membrane_forces[:, j]
    skip = {"load_factors", "membrane_forces", "eigenvectors", "w_nodes", "x", "y", "a", "b"}
    for f in dataclasses.fields(result):
        value = getattr(result, f.name)
        if f.name in skip or not isinstance(value, np.ndarray) or value.ndim not in (1, 2) or value.shape[0] != n:
            continue
        if value.ndim == 1:
            cols[f.name] = value
        else:
            for j in range(value.shape[1]):
                cols[f"{f.name}_{j + 1}"] = value[:, j]
    return cols


def write_table_csv(result, path=None) -> str:
    """The table, one row per mode, as CSV text; also written to ``path`` when given."""
    cols = table_columns(result)
    buf = io.StringIO()
    w = csv.writer(buf, lineterminator="\n")
    w.writerow(list(cols))
    for i in range(result.modes):
        w.writerow([_cell(cols[k][i]) for k in cols])
    if path is not None:
        Path(path).write_text(buf.getvalue(), encoding="utf-8")
    return buf.getvalue()


def write_strength_csv(result, path=None) -> str:
    """The strength checks, one row per stringer (applied force, allowables, reserve factors),
    as CSV text; also written to ``path`` when given."""
    checks = getattr(result, "strength", None)
    if checks is None:
        raise ValueError("the result holds no strength checks (the panel has no crippling walls)")
    cols = {f.name: getattr(checks, f.name) for f in dataclasses.fields(checks)
            if isinstance(getattr(checks, f.name), np.ndarray) and getattr(checks, f.name).ndim == 1}
    n = len(next(iter(cols.values())))
    buf = io.StringIO()
    w = csv.writer(buf, lineterminator="\n")
    w.writerow(["stringer"] + list(cols))
    for i in range(n):
        w.writerow([i + 1] + [_cell(cols[k][i]) for k in cols])
    if path is not None:
        Path(path).write_text(buf.getvalue(), encoding="utf-8")
    return buf.getvalue()


def write_modes_csv(result, path=None, *, points=(51, 51)) -> str:
    """W of every mode on a regular grid of ``points`` = (nx, ny) points as CSV text (columns
    mode, x, y, w; largest |W| of each mode 1); also written to ``path`` when given."""
    buf = io.StringIO()
    w = csv.writer(buf, lineterminator="\n")
    w.writerow(["mode", "x", "y", "w"])
    for k in range(1, result.modes + 1):
        x, y, shape = result.mode_shape(k, points)
        for iy, yv in enumerate(y):
            for ix, xv in enumerate(x):
                w.writerow([k, repr(float(xv)), repr(float(yv)), repr(float(shape[iy, ix]))])
    if path is not None:
        Path(path).write_text(buf.getvalue(), encoding="utf-8")
    return buf.getvalue()


def _cell(v):
    v = v.item() if isinstance(v, np.generic) else v
    return repr(v) if isinstance(v, float) else v


def result_repr(result) -> str:
    lams = ", ".join(f"{v:.6g}" for v in result.load_factors[:4]) + (", ..." if result.modes > 4 else "")
    return (f"<BucklingResult {result.panel.name}: {result.modes} load factor{'s' * (result.modes != 1)} "
            f"[{lams}], preset {result.preset}, folder {str(result.folder)!r}>")


def result_html(result) -> str:
    """A small HTML table of the load factors and forces for notebooks."""
    import html

    cols = table_columns(result)
    head = "".join(f"<th>{html.escape(k)}</th>" for k in cols)
    rows = "".join("<tr>" + "".join(f"<td>{_fmt(cols[k][i])}</td>" for k in cols) + "</tr>"
                   for i in range(result.modes))
    title = html.escape(f"{result.panel.name}: {result.panel.title}" if result.panel.title else result.panel.name)
    return (f"<div><b>{title}</b> (preset {result.preset})<table><thead><tr>{head}</tr></thead>"
            f"<tbody>{rows}</tbody></table></div>")


def _fmt(v) -> str:
    v = v.item() if isinstance(v, np.generic) else v
    return f"{v:.6g}" if isinstance(v, float) else str(v)
