"""Mode shapes on a regular grid: the bicubic Hermite interpolation of the nodal W values of a
buckling mode, and the reader of the mode-shape file a run writes.

Arrays of a shape are indexed [iy, ix]: one row per y-coordinate, as Matplotlib's contour
plots take them.
"""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path

import numpy as np

__all__ = ["hermite", "evaluate", "ModeFile", "read_mode_file"]


def hermite(z) -> np.ndarray:
    """The four cubic Hermite functions on [0, 1] at the points z, shape (4, len(z)): value at
    0, slope at 0, value at 1, slope at 1."""
    z = np.asarray(z, dtype=np.float64)
    return np.array([(2 * z - 3) * z * z + 1, ((z - 2) * z + 1) * z, (3 - 2 * z) * z * z, (z - 1) * z * z])


def _locate(lengths: np.ndarray, points: np.ndarray):
    """Subdivision index (0-based) and local coordinate of each point: the first subdivision
    whose far end reaches the point; points beyond the end fall into the last subdivision."""
    ends = np.cumsum(np.asarray(lengths, dtype=np.float64))
    k = np.minimum(np.searchsorted(ends, points, side="left"), len(ends) - 1)
    start = ends[k] - lengths[k]
    return k, np.clip((points - start) / lengths[k], 0.0, 1.0)


def evaluate(nodes: np.ndarray, a, b, x, y) -> np.ndarray:
    """W at the points (x[i], y[j]) from the nodal values of one mode.

    ``nodes`` has shape (my, mx, 4): per y-line and x-line the value W and the physical
    derivatives W,x, W,y, W,xy. ``a`` and ``b`` are the subdivision lengths in x and y. On the
    subdivision between x-lines j, j+1 and y-lines i, i+1,
    W = sum over r, c of Hy_r(eta) C[r, c] Hx_c(xi), where Hx = (phi1, hx phi2, phi3, hx phi4)
    and C holds the nodal values of the four corners. Returns shape (len(y), len(x)).
    """
    a = np.asarray(a, dtype=np.float64)
    b = np.asarray(b, dtype=np.float64)
    x, y = np.asarray(x, dtype=np.float64), np.asarray(y, dtype=np.float64)
    jx, xi = _locate(a, x)
    iy, eta = _locate(b, y)
    hx = hermite(xi)
    hx[1::2] *= a[jx]
    hy = hermite(eta)
    hy[1::2] *= b[iy]
    # Corner coefficients C[r, c] of every point: r over y (value/slope at lower/upper line),
    # c over x likewise; the derivative kind is 1 + [c slope] + 2 [r slope].
    w = np.zeros((y.size, x.size))
    for r in range(4):
        line_y = iy + (r >= 2)
        for c in range(4):
            line_x = jx + (c >= 2)
            kind = (c % 2) + 2 * (r % 2)
            coeff = nodes[line_y[:, None], line_x[None, :], kind]
            w += hy[r][:, None] * coeff * hx[c][None, :]
    return w


@dataclass
class ModeFile:
    """Contents of a mode-shape file: the plot grid coordinates ``x`` and ``y``, the curvature
    ``contour`` (the shell surface over the plane through its corners) and the scaled W of each
    listed mode in ``modes`` (mode number -> array), all indexed [iy, ix]."""

    x: np.ndarray
    y: np.ndarray
    contour: np.ndarray
    modes: dict


def _table(rows, letter):
    """A block's table as (first coordinates, second coordinates, values[iy, ix])."""
    head = rows[0][1:]
    lead = np.array([r[0] for r in rows[1:]])
    values = np.array([r[1:] for r in rows[1:]])
    if letter == "X":            # a row per x-point: head is y, lead is x
        return lead, head, values.T
    return head, lead, values    # a row per y-point: head is x, lead is y


def read_mode_file(path) -> ModeFile:
    """Reads a mode-shape file written by a run (layout "X" or "Y")."""
    lines = Path(path).read_text(encoding="ascii", errors="replace").splitlines()
    blocks, current = [], None
    for line in lines[2:]:
        text = line.strip()
        if text.startswith("#CONTOUR") or text.startswith("MODE"):
            letter = "Y" if "Y increases" in text else "X"
            number = int(text.split()[1].rstrip(".")) if text.startswith("MODE") else 0
            current = (number, letter, [])
            blocks.append(current)
        elif text and current is not None:
            current[2].append([float(v) for v in text.split()])
    if not blocks or blocks[0][0] != 0:
        raise ValueError(f"{path}: no contour block; not a mode-shape file")
    x, y, contour = _table(blocks[0][2], blocks[0][1])
    modes = {number: _table(rows, letter)[2] for number, letter, rows in blocks[1:]}
    return ModeFile(x=np.asarray(x), y=np.asarray(y), contour=contour, modes=modes)
