"""Strength checks of the stringers in a buckling run: crippling of the stringer walls and
global buckling of the stiffened panel, with reserve factors.

Both allowables come from the core's closed-form checks, which the run performs itself: the
package sets the stringer type and the skin data of the global check, asks for both checks and
hands the run the stringer walls as the namelist group it reads from its input unit; the
results are read from the run's listing.

- crippling: ``cripplingt`` (open stringer: the web as a long strip supported on the foot and
  free along its top, k = 12 D66/(pi^2 sqrt(D11 D22)), 0.425 for an isotropic web at nu = 0.3)
  or ``cripplingo`` (hat: webs and chord as strips supported on both long edges,
  k = 2 (D12 + 2 D66)/sqrt(D11 D22) + 2, 4 when isotropic). The stringer's allowable force is
  the force at which its weakest wall reaches its crippling force, the walls straining alike:
  F = F_wall A_stringer / A_wall.
- global buckling: ``glbuck``, a column of a stringer (open, or a hat with its two feet, webs
  and chord) with its effective skin width on the Johnson-Euler curve of its crippling stress
  (for a hat the lower of its web and chord stresses), the panel's load at global buckling
  F_g. A stringer's global allowable is its share of F_g in proportion to the applied forces.

Applied force of a stringer at the first load factor: the largest compression along it of the
forces the analysis takes, EA times the strain of each of its nodes (zeft.BucklingResult
``stringer_forces_along``).
Reserve factor RF = knock_down x allowable / (safety_factor x applied).
"""

from __future__ import annotations

import math
import re
from dataclasses import dataclass

import numpy as np

__all__ = ["StrengthChecks", "request", "strength_checks"]


@dataclass
class StrengthChecks:
    """Per stringer (in the order of their lines across the panel): the applied force at the
    first load factor, the crippling and global buckling allowables and their reserve factors
    (infinite for a stringer in tension). ``walls`` holds the crippling forces of the walls
    ({"web": F} or {"web": F, "chord": F}), ``global_load`` the panel load at global buckling
    and ``applied_total`` the panel's load at the first load factor."""

    applied: np.ndarray
    crippling: np.ndarray
    global_buckling: np.ndarray
    rf_crippling: np.ndarray
    rf_global: np.ndarray
    walls: dict
    global_load: float
    applied_total: float
    knock_down: float
    safety_factor: float

    def table(self) -> str:
        lines = [f"{'stringer':>8}  {'applied':>12}  {'crippling':>12}  {'RF crip.':>9}  "
                 f"{'global':>12}  {'RF global':>9}"]
        for k in range(len(self.applied)):
            lines.append(f"{k + 1:>8}  {self.applied[k]:>12.6g}  {self.crippling[k]:>12.6g}  "
                         f"{self.rf_crippling[k]:>9.4g}  {self.global_buckling[k]:>12.6g}  {self.rf_global[k]:>9.4g}")
        return "\n".join(lines)


def request(panel, records) -> list:
    """Asks the run for the checks of the panel's stringers: the crippling and global checks,
    the stringer type and the skin data of the global check.
    Returns the records of the namelist group with the stringer walls, which the run reads
    from its input unit."""
    import _zeft

    walls = panel.crippling
    open_stringer = panel.stringer_type == 1
    _zeft.antype.cripan = _zeft.antype.glban = 1
    records.f07dis.stype = panel.stringer_type
    records.glbuckcom.skinth = panel.skin.matrices()["thickness"]
    records.glbuckcom.stpitch = panel.stringer_pitch
    items = {"footth": walls.foot_thickness, "webth": walls.web_thickness, "footwidth": walls.foot_width,
             "webheight": walls.web_height, "ddst": walls.bending()}
    if not open_stringer:
        items.update(chordwidth=walls.chord_width, chordth=walls.chord_thickness, alpha=panel.web_angle)
    text = lambda v: ", ".join(repr(float(x)) for x in np.atleast_1d(v))
    group = "tstringer" if open_stringer else "ostringer"
    return [f" &{group}"] + [f"  {k} = {text(v)}," for k, v in items.items()] + [" /"]


#: A check's result in the listing: its label record, then the value record (E20.5).
_LISTED = re.compile(r"(CRIPPLING FORCE(?: OF (WEB|CHORD))?|GLOBAL BUCKLING LOAD):[ \t]*\n\s*(\S+)")


def strength_checks(panel, records, load_factor: float, lay, listing: str, along: np.ndarray) -> StrengthChecks:
    """The reserve factors of the stringers from the checks that the run listed; ``along``
    holds the stringer forces node by node at the load factor (stringers, x-lines)."""
    from .analysis import AnalysisError

    walls = panel.crippling
    wall_forces, global_load = {}, math.nan
    for label, part, value in _LISTED.findall(listing):
        if label.startswith("GLOBAL"):
            global_load = float(value)
        else:
            wall_forces[part.lower() or "web"] = float(value)
    if math.isnan(global_load) or not wall_forces:
        raise AnalysisError("the run listed no " + ("global buckling load" if wall_forces else "crippling force")
                            + "; its listing shows why")
    applied = along.max(axis=1)
    total = _panel_load(records, load_factor, lay, along[:, 0])
    if panel.stringer_type == 1:
        # The strain at which the web cripples, on the whole stringer.
        allow = float(records.test.epsweb) * float(panel.stringer.EA)
    else:
        web_length = walls.web_height / math.cos(math.radians(0.5 * panel.web_angle))
        a_web, a_chord = web_length * walls.web_thickness, walls.chord_width * walls.chord_thickness
        area = 2.0 * walls.foot_width * walls.foot_thickness + 2.0 * a_web + a_chord
        allow = min(wall_forces["web"] * area / a_web, wall_forces["chord"] * area / a_chord)
    crippling = np.full(len(applied), allow)
    share = along[:, 0] / total if total else np.full(len(applied), math.nan)
    global_allow = global_load * share
    kd, sf = float(panel.knock_down), float(panel.safety_factor)
    with np.errstate(divide="ignore", invalid="ignore"):
        rf_c = kd * crippling / (sf * applied)
        rf_g = kd * global_allow / (sf * applied)
    rf_c[applied <= 0.0] = math.inf      # a stringer in tension does not cripple
    rf_g[applied <= 0.0] = math.inf
    return StrengthChecks(applied=applied, crippling=crippling, global_buckling=global_allow, rf_crippling=rf_c,
                          rf_global=rf_g, walls=wall_forces, global_load=global_load, applied_total=total,
                          knock_down=kd, safety_factor=sf)


def _panel_load(records, lam: float, lay, stringers: np.ndarray) -> float:
    """The panel's load across its width at x = 0 at the load factor: the skin and foot strips
    (strip j carries the force Nx of its lower y-line over its width) and the stringers'
    forces there, compression positive."""
    nx = lam * np.asarray(records.cpvar.pvar[: lay.my, 0], dtype=np.float64) + records.cpfest.pfest[: lay.my, 0]
    return float(np.sum(nx[:-1] * lay.b)) + float(stringers.sum())
