"""The records a run reads that the panel front end does not reach: the transverse shear terms
of the skin data sets and membrane loads that vary over the panel.

After the panel is laid out (the front end's set-up, with a varying load entered as the unit
1 in every component) and before the analysis runs, ``adjust`` writes

- ``skstf.matsw``: the further stiffness terms of both data sets (skin, skin with foot) when the
  rotations BETA and GAMMA take part;
- ``stftor.ipax`` / ``stftor.ipay``: Ip / A of the stringers and frames whose ``EIp`` is given,
  for their loss of torsional stiffness under their axial force;
- ``cpvar.pvar`` / ``cpfest.pfest``: per node the load of the strip above the node's y-line.
  The set-up has left there each node's share of a unit load (1 on a skin strip, the foot's
  stiffness ratio on a foot strip), which is multiplied by the field.

The geometric stiffness takes, in every subdivision, the forces of the nodes on its lower y-line,
linear in x between them and constant across the strip; the strip therefore receives the mean of
the field on its two y-lines, which is exact for a field linear across the strip.
"""

from __future__ import annotations

import numpy as np

from .stiffness import shear_data

__all__ = ["adjust", "needs_adjustment", "strip_means"]


def needs_adjustment(panel) -> bool:
    """True when the run needs records that the front end does not set."""
    return (panel.transverse_shear or not panel.load.uniform or not panel.fixed_load.uniform
            or panel.stringer.EIp > 0.0 or panel.frame.EIp > 0.0)


def strip_means(field: np.ndarray) -> np.ndarray:
    """Per node the mean of the field on its y-line and the next (the last y-line keeps its
    own value, which no strip uses). field: (..., my, mx)."""
    out = np.array(field, dtype=np.float64)
    out[..., :-1, :] = 0.5 * (field[..., :-1, :] + field[..., 1:, :])
    return out


def adjust(panel, records, lay) -> None:
    """Writes the transverse shear terms and the load fields of the panel into the records of
    the laid-out run (``records`` = the private record views of the run's size preset)."""
    if panel.transverse_shear:
        foot = panel.foot if panel.foot is not None else panel.skin
        records.skstf.matsw[:, 0] = shear_data(panel.skin)
        records.skstf.matsw[:, 1] = shear_data(foot)
    records.stftor.ipax[:] = panel.stringer.polar_ratio()      # entries past the last one are not read
    records.stftor.ipay[:] = panel.frame.polar_ratio()
    for load, rec in ((panel.load, records.cpvar.pvar), (panel.fixed_load, records.cpfest.pfest)):
        if load.uniform:
            continue
        n = lay.mx * lay.my
        field = strip_means(load.on_grid(lay.x, lay.y))          # (3, my, mx): Nx, Nxy, Ny
        # Node (y-line j, x-line i) is number (i - 1) my + j: y runs fastest.
        per_node = field.transpose(0, 2, 1).reshape(3, n).T     # (nodes, 3)
        share = np.array(rec[:n], dtype=np.float64)             # unit load's share per node
        rec[:n] = (share * per_node).astype(np.float32)
