"""Convergence with the grid: ``converge(panel)`` analyses the panel on a sequence of grids
refined alike in both directions and extrapolates the lowest load factor.

The bicubic Hermite elements converge with the fourth power of the element length h, so two
grids with h1 = q h2 give the Richardson estimate

    lambda_inf = lambda_2 + (lambda_2 - lambda_1) / (q^4 - 1),

and |lambda_2 - lambda_inf| estimates the error of the finer grid. Three grids also give the
observed order p from the ratio of the successive differences.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field

import numpy as np

from .analysis import analyse
from .panel import PRESETS, Panel

__all__ = ["Convergence", "converge"]


@dataclass
class Convergence:
    """Lowest load factor per grid, coarse to fine, and its extrapolation.

    ``grids`` holds (elements_between_frames, elements_between_stringers) per grid, ``lines``
    the subdivision lines (x, y), ``load_factors`` the lowest load factor of each;
    ``estimate`` is the Richardson value from the two finest grids, ``error`` and
    ``relative_error`` the estimated error of the finest grid, ``order`` the observed order of
    convergence (None with fewer than three grids or differences that do not shrink).
    """

    grids: list
    lines: list
    load_factors: np.ndarray
    estimate: float
    error: float
    relative_error: float
    order: float = None
    results: list = field(default_factory=list, repr=False)

    def table(self) -> str:
        rows = [f"{'frame bay':>9}  {'skin bay':>8}  {'lines':>7}  {'load factor':>14}  {'vs estimate':>11}"]
        for (nf, ns), (mx, my), lam in zip(self.grids, self.lines, self.load_factors):
            rows.append(f"{nf:>9}  {ns:>8}  {mx:>3}x{my:<3}  {lam:>14.8g}  "
                        f"{(lam - self.estimate) / abs(self.estimate):>+10.3%}")
        rows.append(f"Richardson (h^4) estimate {self.estimate:.8g}, error of the finest grid "
                    f"{self.error:.3g} ({self.relative_error:.3%})"
                    + (f", observed order {self.order:.2f}" if self.order is not None else ""))
        return "\n".join(rows)


def converge(panel: Panel, steps: int = 4, *, grids=None, quiet: bool = True) -> Convergence:
    """Analyses ``panel`` on the grids k (cf, cs), k = 1 ... ``steps``, where cf : cs is the
    panel's ratio of elements per frame bay to elements per skin bay in lowest terms (at least
    two of each), as far as they fit the largest size preset. ``grids`` gives the
    (elements_between_frames, elements_between_stringers) pairs instead; they must be
    multiples k (cf, cs) of one pair for the extrapolation to hold. Every grid reports its
    lowest positive load factor (the lowest in magnitude if none is positive)."""
    panel.validate()
    chosen = list(grids) if grids is not None else _grids(panel, steps)
    if len(chosen) < 2:
        raise ValueError("converge: the grid cannot be refined within the largest size preset; "
                         "give fewer elements per bay")
    base = _ratio(*chosen[0])
    levels = []
    for nf, ns in chosen:
        k = nf / base[0]
        if k != ns / base[1] or k != int(k):
            raise ValueError(f"grids: ({nf}, {ns}) is no multiple of {base}; the grids must be refined alike")
        levels.append(int(k))
    results, lams, lines = [], [], []
    for nf, ns in chosen:
        trial = panel.replace(elements_between_frames=int(nf), elements_between_stringers=int(ns),
                              eigenvalues=2, iteration_vectors=None, write_modes=False, print_forces=False,
                              preset=None, folder=None)
        result = analyse(trial, quiet=quiet)
        results.append(result)
        lams.append(_lowest(result.load_factors))
        lines.append((len(result.x), len(result.y)))
    lams = np.array(lams)
    q = levels[-1] / levels[-2]
    estimate = lams[-1] + (lams[-1] - lams[-2]) / (q ** 4 - 1.0)
    error = abs(lams[-1] - estimate)
    order = None
    if len(lams) >= 3 and levels[-1] - levels[-2] == levels[-2] - levels[-3] == 1:
        d1, d2 = lams[-2] - lams[-3], lams[-1] - lams[-2]
        if d1 * d2 > 0 and abs(d2) < abs(d1):
            # differences of a k^-p series on consecutive k: solve (k2^-p - k3^-p)/(k1^-p - k2^-p) = d2/d1
            order = _order(levels[-3:], d2 / d1)
    return Convergence(grids=[tuple(map(int, g)) for g in chosen], lines=lines, load_factors=lams,
                       estimate=float(estimate), error=float(error),
                       relative_error=float(error / abs(estimate)) if estimate else math.inf,
                       order=order, results=results)


def _lowest(load_factors) -> float:
    """The lowest positive load factor (shear gives pairs +-lambda whose order is arbitrary),
    or the lowest in magnitude when the load must be reversed to buckle the panel."""
    positive = [float(v) for v in load_factors if v > 0]
    return min(positive) if positive else float(load_factors[0])


def _ratio(nf: int, ns: int) -> tuple:
    g = math.gcd(int(nf), int(ns))
    return int(nf) // g, int(ns) // g


def _grids(panel: Panel, steps: int) -> list:
    """k (cf, cs) for k = 1 ... steps that fit the largest preset, (cf, cs) the panel's ratio in
    lowest terms taken up to at least two elements per bay."""
    cf, cs = _ratio(panel.elements_between_frames, panel.elements_between_stringers)
    m = -(-2 // min(cf, cs))
    fit = []
    for k in range(1, int(steps) + 1):
        trial = panel.replace(elements_between_frames=k * m * cf, elements_between_stringers=k * m * cs, preset=None)
        lay = trial.layout()
        if max(lay.mx, lay.my) > PRESETS[-1]:
            break
        fit.append((k * m * cf, k * m * cs))
    return fit


def _order(levels, ratio) -> float:
    """The order p with (k2^-p - k3^-p) / (k1^-p - k2^-p) = ratio, by bisection."""
    k1, k2, k3 = levels

    def f(p):
        return (k2 ** -p - k3 ** -p) / (k1 ** -p - k2 ** -p) - ratio

    lo, hi = 0.1, 12.0
    if f(lo) * f(hi) > 0:
        return None
    for _ in range(80):
        mid = 0.5 * (lo + hi)
        if f(lo) * f(mid) <= 0:
            hi = mid
        else:
            lo = mid
    return 0.5 * (lo + hi)
