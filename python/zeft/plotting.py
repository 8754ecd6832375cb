"""Pictures of mode shapes (Matplotlib, the optional extra ``zeft[plot]``): each function
returns its ``matplotlib.figure.Figure`` and writes it as a PNG file when given a path.

The figures are drawn on Matplotlib's Agg canvas directly, without pyplot, so plotting works
without a display and leaves no global figure state behind; a notebook shows the returned
figure as it is.
"""

from __future__ import annotations

from pathlib import Path
from typing import Optional, Sequence

import numpy as np

__all__ = ["plot_mode", "plot_contour", "mode_png_path"]


def mode_png_path(result, k: int = 1) -> Path:
    """The customary file of a mode's picture: ``<folder>/<name>_mode<k>.png``."""
    return Path(result.folder) / f"{result.panel.name}_mode{k}.png"


def _figure(aspect: float = 0.6):
    try:
        from matplotlib.backends.backend_agg import FigureCanvasAgg
        from matplotlib.figure import Figure
    except ImportError:
        raise ImportError("plotting needs Matplotlib: pip install 'zeft[plot]' (or pip install matplotlib)") from None
    height = min(max(7.0 * aspect + 1.6, 3.5), 9.0)
    fig = Figure(figsize=(9.0, height), dpi=100, layout="constrained")
    FigureCanvasAgg(fig)
    return fig


def plot_contour(x, y, values, path=None, title: str = "", label: str = "",
                 stringers: Sequence[float] = (), frames: Sequence[float] = (),
                 symmetric: bool = True):
    """A filled contour plot of ``values`` (indexed [iy, ix]) over the points x, y; dashed
    lines mark the stringers (at y) and frames (at x). With ``symmetric`` the colour scale is
    centred on zero. Returns the Figure, written as PNG to ``path`` when given."""
    x, y, values = np.asarray(x), np.asarray(y), np.asarray(values, dtype=np.float64)
    if values.shape != (y.size, x.size):
        raise ValueError(f"plot_contour: values of shape {values.shape} for {y.size} y- and {x.size} x-points")
    span = (float(np.ptp(y)) / float(np.ptp(x))) if np.ptp(x) > 0 else 1.0
    fig = _figure(span)
    ax = fig.add_subplot()
    top = float(np.abs(values).max()) or 1.0
    if symmetric:
        levels, cmap = np.linspace(-top, top, 25), "RdBu_r"
    else:
        lo, hi = float(values.min()), float(values.max())
        levels, cmap = (np.linspace(lo, hi, 25) if hi > lo else 25), "viridis"
    filled = ax.contourf(x, y, values, levels=levels, cmap=cmap)
    lines = [v for v in filled.levels[::4] if abs(v) > 1e-9 * top]   # no zero line through flat parts
    if lines:
        ax.contour(x, y, values, levels=lines, colors="k", linewidths=0.4)
    for ys in stringers:
        ax.axhline(ys, color="0.2", linestyle="--", linewidth=1.0)
    for xs in frames:
        ax.axvline(xs, color="0.2", linestyle=":", linewidth=1.2)
    ax.set_aspect("equal")
    ax.set_xlabel("x (along the stringers)")
    ax.set_ylabel("y")
    if title:
        ax.set_title(title)
    fig.colorbar(filled, ax=ax, label=label, shrink=0.8)
    if path is not None:
        fig.savefig(Path(path), format="png")
    return fig


def plot_mode(result, k: int = 1, path: Optional[Path] = None, points=(121, 121)):
    """Mode k of a BucklingResult: W on a regular grid (the Hermite interpolation of the nodal
    values, largest magnitude scaled to 1), with the stringers dashed and the frames dotted.
    Returns the Figure, written as PNG to ``path`` when given (``mode_png_path(result, k)`` is
    the customary ``<folder>/<name>_mode<k>.png``)."""
    x, y, w = result.mode_shape(k, points)
    panel = result.panel
    title = f"{panel.title or panel.name}\nmode {k}: load factor {result.load_factors[k - 1]:.5g}"
    return plot_contour(x, y, w, path, title=title, label="W (scaled: largest |W| = 1)",
                        stringers=[result.y[j - 1] for j in panel.layout().stringer_lines],
                        frames=[result.x[i - 1] for i in panel.layout().frame_lines])
