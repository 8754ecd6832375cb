"""Rigid-body motions that the edges of a panel leave free.

A motion of the middle surface that strains nothing makes the stiffness singular: the run then
fails in a factorisation or, on a coarse grid, passes it by round-off and returns load factors
of a singular problem. In the shallow-shell kinematics of the analysis, with curvatures
kx = 1/rx, ky = 1/ry, kxy = 1/rxy,

    eps_x = U,x + kx W,   eps_y = V,y + ky W,   gamma_xy = U,y + V,x + 2 kxy W,
    kappa = (W,xx, W,yy, W,xy),

every such motion is W linear and U, V quadratic in x and y (the six rigid motions of the
body; flat: W = c0 + c1 x + c2 y and the in-plane translations and rotation). The motions left
free are those quadratic fields (U, V, W) whose strains vanish and which satisfy every condition
the edges impose: a polynomial of degree two vanishes along an edge when it vanishes at three of
its points. The sign convention of the curvatures does not matter: reversing every curvature
maps a free motion (U, V, W) to the free motion (-U, -V, W).
"""

from __future__ import annotations

import numpy as np

#: Per edge: the coordinate held fixed ("x" or "y") and where (0 = the start, 1 = the end).
_EDGES = {"x0": ("x", 0), "xl": ("x", 1), "y0": ("y", 0), "yl": ("y", 1)}


def _row(kind: str, x: float, y: float) -> np.ndarray:
    """The value ("", "x", "y", "xx", "yy", "xy": derivatives) at (x, y) of a quadratic with
    coefficients of 1, x, y, x^2, xy, y^2."""
    return np.array({"": [1, x, y, x * x, x * y, y * y], "x": [0, 1, 0, 2 * x, y, 0],
                     "y": [0, 0, 1, 0, x, 2 * y], "xx": [0, 0, 0, 2, 0, 0], "yy": [0, 0, 0, 0, 0, 2],
                     "xy": [0, 0, 0, 0, 1, 0]}[kind], dtype=np.float64)


def _field(name: str, kind: str, x: float, y: float) -> np.ndarray:
    """The row over the 18 coefficients (W, U, V, six each) of one value of one field."""
    out = np.zeros(18)
    k = "wuv".index(name)
    out[6 * k: 6 * k + 6] = _row(kind, x, y)
    return out


def _held(edge: str, codes: tuple) -> list:
    """(field, derivative) pairs that the edge's codes hold along it: a support W (value), a
    clamp the normal slope, U and V their values; on a line of symmetry the slope of W across
    it, the derivative across it of the tangential displacement and the normal displacement;
    on a line of antisymmetry W, the tangential displacement and the derivative of the normal one."""
    across = _EDGES[edge][0]                     # the derivative across the edge
    normal, tangent = ("u", "v") if across == "x" else ("v", "u")
    if codes[0] < 0:
        return [("w", across), (tangent, across), (normal, "")]
    if codes[0] > 0:
        return [("w", ""), (tangent, ""), (normal, across)]
    held = {1: ("w", ""), 2: ("u", ""), 3: ("v", ""), 6: ("w", across)}
    return [held[c] for c in codes[1:] if c in held]


def free_motion(codes: dict, length: float, width: float, curvatures=(0.0, 0.0, 0.0),
                in_plane: bool = True) -> str:
    """What rigid-body motion the edges leave free ("" when none): codes per edge x0, xl, y0,
    yl (seven each), the panel's length and width, its curvatures (kx, ky, kxy), and whether U
    and V take part (without them only W is considered)."""
    scale = max(length, width)
    a, b = length / scale, width / scale
    kx, ky, kxy = (k * scale for k in curvatures)
    rows = []
    points = [(x, y) for x in (0.0, 0.5 * a, a) for y in (0.0, 0.5 * b, b)]
    for x, y in points:                          # no bending, no membrane strain
        rows += [_field("w", d, x, y) for d in ("xx", "yy", "xy")]
        if in_plane:
            w = _field("w", "", x, y)
            rows += [_field("u", "x", x, y) + kx * w, _field("v", "y", x, y) + ky * w,
                     _field("u", "y", x, y) + _field("v", "x", x, y) + 2.0 * kxy * w]
    if not in_plane:
        rows += list(np.eye(18)[6:])             # U = V = 0
    for edge, c in codes.items():
        across, end = _EDGES[edge]
        for t in (0.0, 0.5, 1.0):
            x, y = (end * a, t * b) if across == "x" else (t * a, end * b)
            rows += [_field(f, d, x, y) for f, d in _held(edge, c)]
    m = np.array(rows)
    _, s, vt = np.linalg.svd(m)
    free = vt[np.sum(s > 1e-9 * s[0]):].T        # the free motions, one per column
    if free.shape[1] == 0:
        return ""
    w = free[:3]                                 # their W = c0 + c1 x + c2 y
    if np.abs(w).max() < 1e-6:
        return "in U and V"
    for target, shape in (((1, 0, 0), "W = const, a translation"), ((0, 1, 0), "W proportional to x, a rotation about y"),
                          ((0, 0, 1), "W proportional to y, a rotation about x")):
        c = np.linalg.lstsq(w, np.array(target, dtype=np.float64), rcond=None)[0]
        if np.abs(w @ c - target).max() < 1e-6:
            return f"in W ({shape})"
    return "in W (a rotation about a skew line)"
