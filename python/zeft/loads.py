"""Loads as engineers give them: the total forces on a panel shared between the skin, the
stringers and the frames, as the analysis itself shares them.

The run applies the running loads nx, ny, nxy to the skin strips, nx and nxy times the
stiffness ratios factx = A11' (foot) / A11' (skin) (A11' = A11 - A12^2 / A22) and
factxy = A66 (foot) / A66 (skin) to the foot strips, and loads every stiffener with EA times the
strain of the strip its line starts: a stringer on a foot strip (an open stringer between its
two half feet) takes the foot's strain A_foot^-1 (factx nx, ny, factxy nxy), one on a skin strip
(a hat's line under its chord) and the frames (over the skin) the skin's strain
(ex, ey, gxy) = A^-1 (nx, ny, nxy). The totals are then

    Fx  = nx (W_skin + factx W_foot) + n_stringers EA_s ex_stringer   (on a cut across the panel)
    Fy  = ny L + n_frames EA_f ey                                      (on a cut along the panel)
    Fxy = nxy (W_skin + factxy W_foot)                                 (shear on a cut across)

with W_skin and W_foot the widths of the skin and foot strips and L the panel length;
``share_load`` solves these three equations for nx, ny, nxy.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

from .panel import Load, Panel

__all__ = ["LoadShare", "share_load"]


@dataclass(frozen=True)
class LoadShare:
    """The skin's running loads (``load``, per unit width) that carry the total forces, the
    axial force of each stringer and of each frame, and the share of Fx the stringers carry
    and of Fy the frames carry. Positive = compression, as everywhere."""

    load: Load
    stringer_force: float
    frame_force: float
    stringer_share: float
    frame_share: float


def share_load(panel: Panel, Fx: float = 0.0, Fy: float = 0.0, Fxy: float = 0.0) -> LoadShare:
    """The running loads of the skin that make the total forces Fx (along the stringers, over
    the whole width), Fy (across, over the whole length) and the shear force Fxy (over the
    whole width), with the stringers' and frames' part of them.

        panel = panel.replace(load=zeft.share_load(panel, Fx=250e3).load)
    """
    panel.validate()
    lay = panel.layout()
    widths = np.asarray(lay.b, dtype=np.float64)
    kinds = np.asarray(lay.strips)
    w_skin, w_foot = widths[kinds == 1].sum(), widths[kinds == 2].sum()
    skin = panel.skin.matrices()["A"]
    foot = (panel.foot or panel.skin).matrices()["A"]
    factx = _axial(foot) / _axial(skin)
    factxy = foot[2, 2] / skin[2, 2]
    aij = np.linalg.inv(skin)                     # (ex, ey, gxy) from (nx, ny, nxy)
    along = aij[0]                                # ex of the stringers from (nx, ny, nxy)
    line = lay.stringer_lines[0] if lay.stringer_lines else 0
    if 1 <= line <= len(kinds) and kinds[line - 1] == 2:
        along = np.linalg.inv(foot)[0] * [factx, 1.0, factxy]
    ns, nf = int(panel.stringers), int(panel.frames)
    ea_s, ea_f = float(panel.stringer.EA) * (ns > 0), float(panel.frame.EA) * (nf > 0)
    length = float(np.sum(lay.a, dtype=np.float64))
    m = np.zeros((3, 3))
    m[0] = ns * ea_s * along
    m[0, 0] += w_skin + factx * w_foot
    m[1] = nf * ea_f * aij[1]
    m[1, 1] += length
    m[2, 2] = w_skin + factxy * w_foot
    n = np.linalg.solve(m, [float(Fx), float(Fy), float(Fxy)])
    fs, ff = ea_s * (along @ n), ea_f * (aij[1] @ n)
    return LoadShare(load=Load(nx=float(n[0]), ny=float(n[1]), nxy=float(n[2])),
                     stringer_force=float(fs), frame_force=float(ff),
                     stringer_share=float(ns * fs / Fx) if Fx else 0.0,
                     frame_share=float(nf * ff / Fy) if Fy else 0.0)


def _axial(a: np.ndarray) -> float:
    """Axial membrane stiffness with the lateral strain free: A11 - A12^2 / A22."""
    return float(a[0, 0] - a[0, 1] ** 2 / a[1, 1])
