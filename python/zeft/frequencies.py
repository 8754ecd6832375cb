"""Natural frequencies of a panel: ``frequencies(panel)`` returns a ``FrequencyResult``.

The run lays the panel out and prepares it as for buckling, without the buckling eigen
analysis (the listing's input echo is then rewritten by the vibration echo), sets the masses
(skin per unit area, stringers and frames per unit length) and calls the vibration analysis
of the core: the assembly of the stiffness and the mass matrix (``vibs2``), the condensation
of the in-plane freedoms and the eigen solution (``vibs3``), which lists the eigenvalues
omega^2 and the frequencies in Hz.

Under load. The stiffness of the vibration analysis contains minus the geometric stiffness of
the fixed membrane forces. ``load_factor`` = f adds f times the panel's load to its fixed load,
so the frequencies of the panel at the state N = f N_variable + N_fixed follow; they fall
towards zero as f approaches the buckling load factor.
"""

from __future__ import annotations

import dataclasses
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional

import numpy as np

from . import analysis as _analysis
from ._state import state_lock
from .analysis import AnalysisError, BucklingResult, _echo, _library_session, _nodal_values, _set_up
from .panel import PRESETS, Load, LoadField, Panel

__all__ = ["frequencies", "FrequencyResult"]


@dataclass
class FrequencyResult:
    """The natural frequencies of a panel, lowest first."""

    panel: Panel
    preset: int
    folder: Path
    #: Eigenvalues omega^2 (rad^2/s^2 in consistent units) and the frequencies in Hz.
    eigenvalues: np.ndarray
    frequencies: np.ndarray
    #: W eigenvectors (one column per mode, normalised w^T A w = 1) and the same on the grid,
    #: shape (modes, my, mx, 4): W, W,x, W,y, W,xy per y-line and x-line.
    eigenvectors: np.ndarray
    w_nodes: np.ndarray
    x: np.ndarray
    y: np.ndarray
    a: np.ndarray
    b: np.ndarray
    #: Masses used: skin per unit area, stringer and frame per unit length.
    masses: dict
    #: The vibration listing (text and path) and the run's standard output.
    listing: str
    listing_path: Path
    output: str
    timings: dict = field(default_factory=dict)

    @property
    def modes(self) -> int:
        return len(self.frequencies)

    #: W of mode k on a regular grid, largest magnitude 1 (as for buckling).
    mode_shape = BucklingResult.mode_shape
    _check_mode = BucklingResult._check_mode

    def table(self) -> str:
        lines = [f"{'mode':>4}  {'omega^2':>14}  {'frequency Hz':>14}"]
        for i, (lam, hz) in enumerate(zip(self.eigenvalues, self.frequencies)):
            lines.append(f"{i + 1:>4}  {lam:>14.6e}  {hz:>14.6f}")
        return "\n".join(lines)


def frequencies(panel: Panel, folder=None, *, load_factor: Optional[float] = None,
                quiet: bool = False) -> FrequencyResult:
    """The lowest ``panel.eigenvalues`` natural frequencies of the panel (Hz).

    Masses: ``panel.skin_mass`` per unit area, else the skin's ``density`` times its thickness;
    ``panel.stringer_mass`` and ``panel.frame_mass`` per unit length of each stiffener. With
    ``load_factor`` the panel vibrates under its fixed load plus ``load_factor`` times its load.
    Raises ValueError for a panel or mass that is not valid, AnalysisError when the run fails.
    """
    t0 = time.perf_counter()
    if not isinstance(panel, Panel):
        raise TypeError(f"frequencies: expected a zeft.Panel, got {type(panel).__name__}")
    panel.validate()
    if panel.choose_preset() not in PRESETS:
        lay = panel.layout()
        raise ValueError(f"frequencies: the grid has {lay.mx} x {lay.my} lines; natural frequencies are analysed "
                         f"on grids of at most {PRESETS[-1]} lines (buckling on larger ones)")
    dom = _skin_mass(panel)
    state = panel
    if load_factor is not None:
        state = _loaded(panel, float(load_factor))
    folder = _analysis._working_folder(panel, folder)
    preset = panel.choose_preset()
    with state_lock:
        result = _run(state, panel, folder, preset, dom, quiet)
    result.timings["total"] = time.perf_counter() - t0
    return result


def _skin_mass(panel: Panel) -> float:
    if panel.skin_mass is not None:
        return float(panel.skin_mass)
    m = panel.skin.mass_per_area()
    if m is None:
        raise ValueError("skin_mass: give the skin's mass per unit area (skin_mass=...) or its density "
                         "(zeft.Isotropic(..., density=...), zeft.PlyStack(..., density=...), ABD(..., mass=...))")
    return m


def _loaded(panel: Panel, f: float) -> Panel:
    """The panel whose fixed load is its fixed load plus f times its load."""
    import math

    if not math.isfinite(f):
        raise ValueError(f"load_factor: must be finite, got {f}")
    lay = panel.layout()
    if isinstance(panel.load, LoadField) or isinstance(panel.fixed_load, LoadField) or not (
            panel.load.uniform and panel.fixed_load.uniform):
        total = f * panel.load.on_grid(lay.x, lay.y) + panel.fixed_load.on_grid(lay.x, lay.y)
        fixed = LoadField(nx=total[0], nxy=total[1], ny=total[2])
    else:
        fixed = Load(nx=panel.fixed_load.nx + f * panel.load.nx, ny=panel.fixed_load.ny + f * panel.load.ny,
                     nxy=panel.fixed_load.nxy + f * panel.load.nxy)
    return dataclasses.replace(panel, fixed_load=fixed)


def _run(state: Panel, panel: Panel, folder: Path, preset: int, dom: float, quiet: bool) -> FrequencyResult:
    import _zeft

    group, records = getattr(_zeft, f"prtnds{preset}"), getattr(_zeft, f"_internal{preset}")
    name = panel.name.ljust(8)
    listing_path = folder / f"{name}.out"
    args = state.callzeft_arguments(preset)
    args["indplt"] = 0
    lay = _set_up(state, preset, args)
    records.panrun.buck = 0
    t1 = time.perf_counter()
    with _library_session(folder, echo=False) as out:
        # Input check, numbering and element terms, without the buckling eigen analysis.
        _zeft._run_panel(preset)
        ier = _vibration(group, records, panel, lay, dom, name)
    t2 = time.perf_counter()
    output = out["text"]
    output = "\n".join(l for l in output.splitlines() if "ANALYSIS TYPE MUST BE BUCK OR VIBR" not in l) + "\n"
    if not quiet:
        _echo(output)
    if listing_path.exists():
        listing_path = _analysis._unpadded(listing_path)
    if ier or "EXECUTION STOPPED" in output:
        lines = [l.strip() for l in output.splitlines() if l.strip() and l.strip() != "Analysis started"]
        raise AnalysisError("the vibration analysis failed: " + " / ".join(lines), output=output,
                            listing=listing_path)
    neigrq = min(int(_zeft.man.neigrq), int(panel.eigenvalues))
    ix = int(_zeft.man.ix)
    lam = np.array(records.valus.elam[:neigrq], dtype=np.float64)
    if not np.all(np.isfinite(lam)) or np.any(lam <= 0.0):
        raise AnalysisError("the vibration analysis found an eigenvalue omega^2 <= 0: the panel is at or "
                            f"beyond buckling under its fixed load (omega^2 = {lam})", output=output,
                            listing=listing_path)
    vectors = np.array(records.vectrs.x[:ix, :neigrq], dtype=np.float64)
    return FrequencyResult(
        panel=panel, preset=preset, folder=folder, eigenvalues=lam, frequencies=np.sqrt(lam) / (2.0 * np.pi),
        eigenvectors=vectors, w_nodes=_nodal_values(group, vectors, lay), x=lay.x, y=lay.y,
        a=lay.a.astype(np.float64), b=lay.b.astype(np.float64),
        masses={"skin": dom, "stringer": float(panel.stringer_mass), "frame": float(panel.frame_mass)},
        listing=listing_path.read_text(encoding="latin-1"), listing_path=listing_path, output=output,
        timings={"analysis": t2 - t1})


def _vibration(group, records, panel: Panel, lay, dom: float, name: str) -> int:
    """The vibration echo and analysis on the prepared state, listed into the run's listing."""
    import _zeft

    d = records.f07dis
    nox, noy = int(d.nox), int(d.noy)
    d.domx[:] = 0.0
    d.domy[:] = 0.0
    d.domx[:nox] = panel.stringer_mass
    d.domy[:noy] = panel.frame_mass
    records.densit.dom = dom
    # The echo converts the angles of obliqueness to radians again: give it degrees.
    records.f07ang.alfax, records.f07ang.alfay = (float(v) for v in panel.obliqueness)
    if not _zeft._open_unit(9, f"{name}.out", True):
        return -1
    try:
        abd = records.skstf.matabd[:, 0]
        sw = records.skstf.matsw[:, 0]
        f32 = lambda v: np.array(v, dtype=np.float32)
        group.prtvib(f32(abd[0:6]), f32(abd[12:18]), f32(abd[6:12]), f32(sw[12:18]), f32(sw[6:12]),
                     f32(sw[0:6]), f32(sw[18:21]))
        # The echo counts at most ten stiffeners per direction; the mass matrix needs them all.
        d.nox, d.noy = nox, noy
        ier = np.zeros(1, np.int32)
        group.vibs2(ier)
        if ier[0] == 0:
            e = np.zeros((6, 1), np.float32, order="F")
            group.vibs3(int(_zeft.man.iy), e, e, e, 0.0, 0.0, 0.0, 0.0, ier)
    finally:
        _zeft._close_unit(9)
        _zeft._close_unit(25)
    return int(ier[0])
