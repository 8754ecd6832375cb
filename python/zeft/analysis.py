"""Running a panel analysis: ``analyse(panel)`` sets the shared analysis state, calls
``callzeft`` in a working folder and returns a ``BucklingResult``.

The library keeps one analysis state per process. Before each run ``analyse`` returns it to
its contents at load and sets the panel up (the module's panel set-up, then the records the
set-up does not reach), so a result never depends on what ran before it in the same process.
"""

from __future__ import annotations

import contextlib
import os
import pickle
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional

import numpy as np

from ._state import state_lock
from .certify import ITERATION_TOLERANCE, certify, settle
from .panel import Layout, Panel, analysis_group
from .checks import StrengthChecks, request, strength_checks
from .records import adjust, needs_adjustment

__all__ = ["analyse", "BucklingResult", "AnalysisError"]



class AnalysisError(RuntimeError):
    """A run that the library ended with an error: the message holds the run's error lines;
    ``output`` is the whole standard output of the run and ``listing`` the path of its
    analysis listing."""

    def __init__(self, message: str, output: str = "", listing: Optional[Path] = None):
        super().__init__(message)
        self.output = output
        self.listing = listing

    def __reduce__(self):
        return (type(self), (self.args[0], self.output, self.listing))


@dataclass
class BucklingResult:
    """The outcome of one buckling analysis.

    Forces are per unit width (stiffener forces in force units), positive = compression, at
    the buckling load: the variable load times the load factor plus the fixed load.
    """

    panel: Panel
    preset: int
    folder: Path
    #: Buckling load factors, ordered by magnitude.
    load_factors: np.ndarray
    #: Per mode the membrane forces Nx, Nxy, Ny of the last listed node, shape (modes, 3).
    membrane_forces: np.ndarray
    #: Per mode the axial force of each stringer and of each frame, shapes (modes, stringers)
    #: and (modes, frames), in the order of their lines: the force of largest magnitude along
    #: the stiffener (sign kept), the whole force under a load uniform along it.
    stringer_force: np.ndarray
    frame_force: np.ndarray
    #: W eigenvectors as the run returns them, one column per mode (normalised w^T A w = 1).
    eigenvectors: np.ndarray
    #: The same vectors on the grid: shape (modes, my, mx, 4), per y-line and x-line the
    #: value W and the derivatives W,x, W,y, W,xy in the panel's units; 0 where held.
    w_nodes: np.ndarray
    #: Coordinates of the x-lines and y-lines, and the subdivision lengths.
    x: np.ndarray
    y: np.ndarray
    a: np.ndarray
    b: np.ndarray
    #: Numbers of W and of in-plane freedoms.
    freedoms: tuple
    #: The analysis listing (text and path), the mode-shape file (None when not written) and
    #: every file the run wrote.
    listing: str
    listing_path: Path
    mode_file: Optional[Path]
    files: list
    #: Standard output of the run.
    output: str
    #: Seconds spent per phase: setup, analysis, results, checks, total.
    timings: dict = field(default_factory=dict)
    #: Iteration statistics of the listing: inverse-power steps and subspace solutions.
    statistics: dict = field(default_factory=dict)
    #: Crippling forces ({"web": F} or {"web": F, "chord": F}) when the check was asked for.
    crippling: Optional[dict] = None
    #: Stringer forces, allowables and reserve factors (zeft.checks.StrengthChecks) when the
    #: panel has stringer walls (``crippling``).
    strength: Optional[StrengthChecks] = None
    #: True when every load factor is certified (zeft.certify): its relative residual
    #: |(S - lambda B) w| / |S w| lies below 1e-6, and the Sturm counts of eigenvalues between
    #: 0 and just beyond the reported ones, on either side, equal the reported numbers.
    certified: bool = False
    #: Relative residual of each load factor.
    residuals: Optional[np.ndarray] = None
    #: The Sturm counts: "positive" and "negative" as (found, reported), the "shifts"
    #: (sigma-, sigma+) that bound them, and the interval "missing" that holds an eigenvalue
    #: not reported (None when there is none).
    sturm_counts: Optional[dict] = None
    #: "certified", or what is not, and any rerun with more iteration vectors.
    certification: str = ""
    #: The stiffener forces node by node as the analysis takes them (and the listing gives
    #: them): shapes (modes, stringers, x-lines) and (modes, frames, y-lines).
    stringer_forces_along: Optional[np.ndarray] = None
    frame_forces_along: Optional[np.ndarray] = None
    #: The mode-shape file as read before its temporary folder was removed.
    _modes: Optional[object] = field(default=None, repr=False)

    @property
    def modes(self) -> int:
        return len(self.load_factors)

    @property
    def critical_load_factor(self) -> Optional[float]:
        """The critical load factor of the load as applied: the smallest positive one; None
        when every reported factor is negative (only the reversed load buckles the panel)."""
        positive = self.load_factors[self.load_factors > 0]
        return float(positive.min()) if positive.size else None

    @property
    def reversed_critical_load_factor(self) -> Optional[float]:
        """The critical load factor of the reversed load: the negative factor of smallest
        magnitude (the load times it, a reversal, buckles the panel); None when none is
        reported. Pure shear gives both, equal and opposite."""
        negative = self.load_factors[self.load_factors < 0]
        return float(negative.max()) if negative.size else None

    def mode_shape(self, k: int = 1, points=(51, 51)):
        """W of mode k on a regular grid of ``points`` = (nx, ny) points over the panel,
        scaled so that its largest magnitude is 1 (sign kept). Returns x (nx,), y (ny,) and
        W (ny, nx)."""
        from .modes import evaluate

        self._check_mode(k)
        x = np.linspace(0.0, self.x[-1], int(points[0]))
        y = np.linspace(0.0, self.y[-1], int(points[1]))
        w = evaluate(self.w_nodes[k - 1], self.a, self.b, x, y)
        peak = np.abs(w).max()
        return x, y, (w / peak if peak > 0 else w)

    def read_mode_file(self):
        """The mode-shape file of the run (see zeft.ModeFile)."""
        from .modes import read_mode_file

        if self._modes is not None:
            return self._modes
        if self.mode_file is None:
            raise FileNotFoundError("the run wrote no mode-shape file (write_modes = False)")
        return read_mode_file(self.mode_file)

    def _detach(self) -> None:
        """Keeps what the files hold (the listing is kept already, the mode-shape file is read
        now) before the run's temporary folder goes; the result then names no files."""
        if self.mode_file is not None:
            self._modes = self.read_mode_file()
        self.folder, self.listing_path, self.mode_file, self.files = None, None, None, []

    def _mode_rows(self, mark: str = "") -> list[str]:
        """The header and one row per mode of the table, each row ending in `mark`."""
        rows = [f"{'mode':>4}  {'load factor':>12}  {'Nx':>12}  {'Nxy':>12}  {'Ny':>12}  "
                f"{'stringer':>12}  {'frame':>12}"]
        for i, lam in enumerate(self.load_factors):
            nx, nxy, ny = self.membrane_forces[i]
            rows.append(f"{i + 1:>4}  {lam:>12.6f}  {nx:>12.6g}  {nxy:>12.6g}  {ny:>12.6g}  "
                        f"{_most(self.stringer_force[i]):>12}  {_most(self.frame_force[i]):>12}{mark}")
        return rows

    def table(self) -> str:
        """The load factors and forces as a text table; the stiffener columns show the force of
        the most loaded stringer and frame (largest magnitude)."""
        lines = self._mode_rows("" if self.certified else "  NOT CERTIFIED")
        if not self.certified:
            lines += ["", f"load factors {self.certification}"]
        if self.strength is not None:
            lines += ["", f"strength checks at load factor {self.load_factors[0]:.6g} (knock-down "
                      f"{self.strength.knock_down:g}, safety factor {self.strength.safety_factor:g})",
                      self.strength.table()]
        return "\n".join(lines)

    def to_dict(self, *, modes: bool = False, text: bool = False) -> dict:
        """The numbers of the result as plain values (see zeft.export.result_to_dict)."""
        from .export import result_to_dict

        return result_to_dict(self, modes=modes, text=text)

    def to_json(self, path=None, *, modes: bool = False) -> str:
        """The result as JSON text, written to ``path`` when given; ``modes`` adds the mode
        shapes."""
        from .export import write_json

        return write_json(self, path, modes=modes)

    def to_csv(self, path=None) -> str:
        """The table (one row per mode) as CSV text, written to ``path`` when given."""
        from .export import write_table_csv

        return write_table_csv(self, path)

    def strength_to_csv(self, path=None) -> str:
        """The strength checks (one row per stringer: applied force, allowables, reserve
        factors) as CSV text, written to ``path`` when given."""
        from .export import write_strength_csv

        return write_strength_csv(self, path)

    def modes_to_csv(self, path=None, points=(51, 51)) -> str:
        """W of every mode on a regular grid as CSV (mode, x, y, w), written to ``path`` when
        given."""
        from .export import write_modes_csv

        return write_modes_csv(self, path, points=points)

    def __repr__(self) -> str:
        from .export import result_repr

        return result_repr(self)

    def _repr_html_(self) -> str:
        from .export import result_html

        return result_html(self)

    def _check_mode(self, k):
        if not 1 <= k <= self.modes:
            raise IndexError(f"mode {k}: the run has modes 1 to {self.modes}")


def _most(forces: np.ndarray) -> str:
    """The force of largest magnitude among the stiffeners, as table text ("-" for none)."""
    return f"{forces[np.abs(forces).argmax()]:.6g}" if forces.size else "-"


def analyse(panel: Panel, folder=None, *, quiet: bool = False, progress: bool = False,
            isolate: bool = False, keep_files: bool = False, strict: bool = False) -> BucklingResult:
    """Analyses the panel and returns its BucklingResult.

    The panel is validated first (ValueError naming the field; nothing is written). The run
    works in ``folder`` (default: the panel's ``folder``, else a new temporary folder, which is
    removed once the results are read unless ``keep_files``). Its standard-output lines are
    shown unless ``quiet``; ``progress`` writes progress lines with timings to standard error.
    ``isolate`` runs the analysis in a fresh Python process. A run that the library ends with
    an error raises AnalysisError; Ctrl-C stops a run within about a second
    (KeyboardInterrupt).

    Every load factor is certified (zeft.certify: residual and Sturm counts). Load factors that
    are not certified are computed once more with more iteration vectors: the default when the
    panel's own ``iteration_vectors`` are fewer, else twice as many (as far as the preset and
    the freedoms allow), and the result says so. A result that is still not certified raises a
    CertificationWarning, or with ``strict`` an AnalysisError.
    """
    t0 = time.perf_counter()
    result = _analyse_certified(panel, folder, quiet, progress, isolate, keep_files, t0)
    tried = result.panel.neigit
    if not result.certified:
        more = min(max(result.panel.replace(iteration_vectors=None).neigit, 2 * tried), 55, result.freedoms[0])
        if more > tried:
            again = folder if folder is not None else result.folder  # a kept temporary folder serves again
            result = _analyse_certified(result.panel.replace(iteration_vectors=more), again, quiet, progress, isolate,
                                        keep_files, t0)
            settle(result, strict, retried_from=tried)
            return result
    settle(result, strict)
    return result


def _analyse_certified(panel: Panel, folder, quiet: bool, progress: bool, isolate: bool, keep_files: bool,
                       t0: float) -> BucklingResult:
    """One analysis of the panel (here or in a process of its own), its load factors certified."""
    if not isinstance(panel, Panel):
        raise TypeError(f"analyse: expected a zeft.Panel, got {type(panel).__name__}")
    panel.validate()
    temporary = folder is None and panel.folder is None and not keep_files
    folder = _working_folder(panel, folder)
    try:
        result = _analyse_in(panel, folder, quiet, progress, isolate, t0)
        if temporary:
            result._detach()
    except AnalysisError as e:
        if temporary:
            e.listing = None
        raise
    finally:
        if temporary:
            shutil.rmtree(folder, ignore_errors=True)
    return result


def _analyse_in(panel: Panel, folder: Path, quiet: bool, progress: bool, isolate: bool, t0) -> BucklingResult:
    say = _progress_writer(progress)
    preset = panel.choose_preset()
    lay = panel.layout()
    say(f"{panel.name}: {lay.mx} x {lay.my} grid lines, preset {preset}, functions "
        f"{' '.join(f.upper() for f in panel.functions)}, {panel.eigenvalues} load factors; folder {folder}")
    if isolate:
        say("analysis in a process of its own ...")
        result = run_isolated(panel, folder)
        if not quiet:
            _echo(result.output)
    else:
        with state_lock:
            result = _run_here(panel, folder, preset, quiet, say, t0)
    result.timings["total"] = time.perf_counter() - t0
    say(f"done: {len(result.load_factors)} load factors, lowest {result.load_factors[0]:.6g}; "
        f"total {result.timings['total']:.2f} s")
    return result


# ---------------------------------------------------------------------------- one run

def _run_here(panel, folder, preset, quiet, say, t0) -> BucklingResult:
    import _zeft

    args = panel.callzeft_arguments(preset)
    lay = _set_up(panel, preset, args)
    group, records = analysis_group(preset), getattr(_zeft, f"_internal{preset}")
    name = panel.name.ljust(8)
    listing_path, mode_path = folder / f"{name}.out", folder / f"{name}MODES.txt"
    before = _stamp(listing_path), _stamp(mode_path)
    t1 = time.perf_counter()
    say(f"analysis: assembly, condensation and iteration ... (setup {t1 - t0:.2f} s)")
    with _library_session(folder, echo=not quiet) as out:
        checks = panel.crippling is not None and _input_unit(request(panel, records), folder, name)
        try:
            _zeft._run_panel(preset)
        finally:
            if checks:
                _zeft._close_unit(8)
                (folder / checks).unlink(missing_ok=True)
    t2 = time.perf_counter()
    output = out["text"]
    failed = ("EXECUTION STOPPED" in output or "ERROR WHEN COMPUTING/PRINTING MODE SHAPES" in output
              or "Buckling/Vibration analysis finished" not in output)
    written = [p for p, old in zip((listing_path, mode_path), before) if p.exists() and _stamp(p) != old]
    files = [_unpadded(p) for p in written]
    listing_path, mode_path = _unpadded(listing_path, files), _unpadded(mode_path, files)
    if failed or not np.any(records.valus.elam):
        lines = [l.strip() for l in output.splitlines() if l.strip() and l.strip() != "Analysis started"]
        raise AnalysisError(_explain(panel, output) + "the analysis failed: "
                            + (" / ".join(lines) or "no load factors"), output=output, listing=listing_path)

    neigrq = min(int(_zeft.man.neigrq), int(panel.eigenvalues))
    ix, iy = int(_zeft.man.ix), int(_zeft.man.iy)
    vectors = records.vectrs.x[:ix, :neigrq].copy()
    forces = records.pythres.membraneforces[:neigrq, :]
    along = stiffener_forces(preset, records.valus.elam[:neigrq])
    w_nodes = _nodal_values(group, vectors, lay)
    listing = listing_path.read_text(encoding="latin-1")
    stats = re.search(r"IP=\s*(\d+), JAC =\s*(\d+)", listing)
    result = BucklingResult(
        panel=panel, preset=preset, folder=folder, load_factors=records.valus.elam[:neigrq].copy(),
        membrane_forces=forces[:, :3].copy(), stringer_force=peak(along[0]), frame_force=peak(along[1]),
        stringer_forces_along=along[0], frame_forces_along=along[1],
        eigenvectors=vectors, w_nodes=w_nodes, x=lay.x, y=lay.y, a=lay.a.astype(np.float64),
        b=lay.b.astype(np.float64), freedoms=(ix, iy), listing=listing, listing_path=listing_path,
        mode_file=mode_path if mode_path in files else None, files=files, output=output,
        statistics={"inverse_power_steps": int(stats[1]), "subspace_solutions": int(stats[2])} if stats else {})
    t3 = time.perf_counter()
    certify(result)
    result.timings.update(setup=t1 - t0, analysis=t2 - t1, results=t3 - t2, certification=time.perf_counter() - t3)
    t3 = time.perf_counter()
    say(f"analysis done in {t2 - t1:.2f} s: {ix} W and {iy} in-plane freedoms"
        + (f", {stats[1]} inverse-power steps with {stats[2]} subspace solutions" if stats else "")
        + f"; results read in {t3 - t2:.2f} s")
    if panel.crippling is not None:
        result.strength = strength_checks(panel, records, float(result.load_factors[0]), lay, listing,
                                          result.stringer_forces_along[0])
        result.crippling = result.strength.walls
        say("crippling: " + ", ".join(f"{k} {v:.5g}" for k, v in result.crippling.items()))
    return result


def stiffener_forces(preset: int, load_factors) -> tuple:
    """The axial forces of the stringers and of the frames of the last run, node by node, at
    each load factor: arrays (modes, stringers, x-lines) and (modes, frames, y-lines)."""
    import _zeft

    per_mode = [_zeft._stiffener_forces(preset, float(lam)) for lam in load_factors]
    return tuple(np.stack([f[kind] for f in per_mode]) if per_mode else np.zeros((0, 0, 0))
                 for kind in ("stringers", "frames"))


def peak(along: np.ndarray) -> np.ndarray:
    """Per mode and stiffener the force of largest magnitude along it, sign kept:
    (modes, stiffeners, nodes) -> (modes, stiffeners)."""
    if along.size == 0:
        return np.zeros(along.shape[:-1])
    at = np.abs(along).argmax(axis=-1)
    return np.take_along_axis(along, at[..., None], axis=-1)[..., 0]


def _input_unit(lines: list, folder: Path, name: str) -> str:
    """Connects the run's input unit (8) to a file of the given records in the run's folder;
    returns the file's name."""
    import _zeft

    file = f"{name.strip()}.nml"
    if not _zeft._open_unit(8, file, True):
        raise AnalysisError(f"the input file {folder / file} for the strength checks cannot be written")
    for line in lines:
        _zeft._write_unit(8, "(A)", [line])
    _zeft._flush_units()
    return file


def _explain(panel: Panel, output: str) -> str:
    """What to do about a failed run, as far as its messages tell (empty when they do not):
    a stiffness that is not positive definite means a rigid-body motion, or a fixed load that
    alone buckles the panel."""
    if "CHOLESKY DECOMPOSITION OF MATRIX A22 FAILED" in output:
        return ("the panel can move as a rigid body in U or V (the in-plane stiffness is singular): hold U on "
                "one edge and V on another, e.g. x0 = 'simply supported + u', y0 = 'simply supported + v'; ")
    if "ERROR IN CHOLESKY DECOMPOSITION" not in output:
        return ""
    fixed = panel.fixed_load
    if any((fixed.nx, fixed.ny, fixed.nxy)):
        return ("the fixed load exceeds the panel's buckling load; reduce it or move it to the variable load "
                "(with the fixed load alone the stiffness is not positive definite); ")
    return ("the panel can move as a rigid body in W (its bending stiffness is singular): hold W on the edges, "
            "e.g. x0 = xl = 'simply supported', or clamp one; ")


def _set_up(panel: Panel, preset: int, args: dict) -> Layout:
    """Returns the analysis state to its contents at load and sets the panel up for a run of
    preset: the module's panel set-up with the arguments of ``callzeft``, the plot grid, and the
    records that the set-up does not reach (``zeft.records.adjust``, and the iteration's tolerance).
    Returns the layout."""
    import _zeft

    _zeft._reset_state()
    _zeft.plotin.npx, _zeft.plotin.npy = (int(n) for n in panel.plot_grid)
    lay = Layout.of(_zeft._set_up_panel(preset, **args))
    records = getattr(_zeft, f"_internal{preset}")
    records.itertol.epsiln = ITERATION_TOLERANCE
    if needs_adjustment(panel):
        adjust(panel, records, lay)
    return lay


def _nodal_values(group, vectors: np.ndarray, lay) -> np.ndarray:
    """The eigenvectors on the grid (modes, my, mx, 4) with physical derivatives.

    ``iuoriv`` gives, per subdivision, the W equation numbers of its 16 corner freedoms;
    iu(r, c) belongs to y-line i + [r >= 3], x-line j + [c >= 3] and derivative kind
    1 + [c even] + 2 [r even]. The slopes of the freedoms are taken with respect to x and y
    scaled so that each edge has length pi: W,x = sa w_x with sa = pi/Lx, likewise sb in y.
    """
    modes = vectors.shape[1]
    mx, my = lay.mx, lay.my
    kind_of = np.zeros((my, mx, 4), dtype=np.int64)       # equation number, 0 = held
    iu = np.zeros((4, 4), np.int32, order="F")
    ier = np.zeros(1, np.int32)
    for i in range(1, my):
        for j in range(1, mx):
            group.iuoriv(i, j, 1, iu, ier)
            if ier[0]:
                raise AnalysisError(f"iuoriv refused subdivision ({i}, {j}) with code {ier[0]}")
            for r in range(4):
                for c in range(4):
                    kind_of[i - 1 + (r >= 2), j - 1 + (c >= 2), (c % 2) + 2 * (r % 2)] = max(iu[r, c], 0)
    pi = float(np.float32(3.1415927))
    sa, sb = pi / float(np.sum(lay.a, dtype=np.float32)), pi / float(np.sum(lay.b, dtype=np.float32))
    scale = np.array([1.0, sa, sb, sa * sb])
    padded = np.vstack([np.zeros((1, modes)), vectors])   # row 0 stands for a held freedom
    nodes = padded[kind_of]                                # (my, mx, 4, modes)
    return np.moveaxis(nodes, -1, 0) * scale


# ---------------------------------------------------------------------------- isolation

def run_isolated(panel: Panel, folder, cancel: Optional[threading.Event] = None) -> BucklingResult:
    """Analyses the panel in a fresh Python process (quietly; the run's standard output is in
    the result). Errors of the analysis come back as the same exceptions. The process starts
    in a folder of its own, so that nothing in the caller's folder is imported; it is stopped
    when ``cancel`` is set (AnalysisError) or the caller is interrupted."""
    folder = Path(folder).resolve()
    with tempfile.TemporaryDirectory(prefix="zeft-task-") as tmp:
        task, answer = Path(tmp) / "task.pickle", Path(tmp) / "answer.pickle"
        task.write_bytes(pickle.dumps((panel, str(folder))))
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(_module_paths() + [p for p in [env.get("PYTHONPATH")] if p])
        flags = ["-P"] if sys.version_info >= (3, 11) else []
        proc = subprocess.Popen([sys.executable, *flags, "-m", "zeft._worker", str(task), str(answer)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env, cwd=tmp)
        stdout, stderr = _wait(proc, cancel)
        if answer.exists():
            status, value = pickle.loads(answer.read_bytes())
            if status == "ok":
                return value
            raise value
    tail = (stderr or stdout).strip().splitlines()[-5:]
    raise AnalysisError(f"the analysis process ended with exit code {proc.returncode}"
                        + (": " + " / ".join(tail) if tail else ""), output=stdout)


def _wait(proc: subprocess.Popen, cancel: Optional[threading.Event]):
    """The output of the process once it ends; the process is killed when ``cancel`` is set
    or the waiting is interrupted."""
    try:
        while True:
            try:
                return proc.communicate(timeout=0.2)
            except subprocess.TimeoutExpired:
                if cancel is not None and cancel.is_set():
                    raise AnalysisError("the analysis was cancelled") from None
    except BaseException:
        proc.kill()
        proc.communicate()
        raise


def _module_paths() -> list:
    import _zeft

    here = Path(__file__).resolve().parent.parent
    return list(dict.fromkeys([str(here), str(Path(_zeft.__file__).resolve().parent)]))


# ---------------------------------------------------------------------------- helpers

def _working_folder(panel: Panel, folder) -> Path:
    folder = folder if folder is not None else panel.folder
    if folder is None:
        return Path(tempfile.mkdtemp(prefix=f"zeft-{panel.name}-"))
    folder = Path(folder).resolve()
    folder.mkdir(parents=True, exist_ok=True)
    return folder


def _unpadded(path: Path, renamed=None) -> Path:
    """The core names its files by the project name padded with blanks to eight characters
    ("AB      .out"); the package moves a file it wrote to the name without the blanks
    ("AB.out"). With ``renamed``, only looks the new name up among the files already moved."""
    plain = path.with_name(path.name.replace(" ", ""))
    if plain == path:
        return path
    if renamed is not None:
        return plain if plain in renamed else path
    os.replace(path, plain)
    return plain


def _stamp(path: Path):
    try:
        st = path.stat()
        return st.st_mtime_ns, st.st_size, st.st_ino
    except FileNotFoundError:
        return None


def _progress_writer(enabled: bool):
    start = time.perf_counter()

    def say(text: str) -> None:
        if enabled:
            print(f"zeft [{time.perf_counter() - start:6.2f} s] {text}", file=sys.stderr, flush=True)
    return say


def _echo(text: str) -> None:
    """Shows run output on sys.stdout, when there is one (None with descriptor 1 closed)."""
    if text and sys.stdout is not None:
        try:
            sys.stdout.write(text)
            sys.stdout.flush()
        except (OSError, ValueError):
            pass


@contextlib.contextmanager
def _library_session(folder: Optional[Path], echo: bool):
    """For the duration of the block the library opens its files in ``folder`` (None: it
    opens none by relative name) and hands its standard-output text to this process, which
    collects it in ``box["text"]`` and shows it when ``echo``. The process's working folder
    and descriptors stay as they are. Units left open by an earlier run (a failed run keeps
    its listing open) are closed before and after."""
    import _zeft

    chunks: list = []
    box = {"text": ""}

    def receive(text: str) -> None:
        chunks.append(text)
        if echo:
            _echo(text)

    _zeft._close_all_units()
    if folder is not None:
        _zeft._set_folder(str(folder))
    _zeft._set_output(receive)
    try:
        yield box
    finally:
        _zeft._set_output(None)
        _zeft._set_folder(None)
        _zeft._close_all_units()
        box["text"] = "".join(chunks)
