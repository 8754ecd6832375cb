"""zeft: buckling analysis of stiffened panels, described by name.

    import zeft
    panel = zeft.example_panel()                 # or zeft.Panel(...), zeft.load_panel("panel.toml")
    result = zeft.analyse(panel)                 # BucklingResult
    print(result.table())
    zeft.plot_mode(result, 1, "mode1.png")       # Figure of the first mode, saved (needs Matplotlib)

The package drives the extension module ``_zeft`` (its ``callzeft``): it validates the panel,
lays out the grid, chooses the size preset, sets the shared analysis state before every run,
and reads the results back as arrays. ``zeft.sweep`` analyses many panels in parallel.
"""

from .analysis import AnalysisError, BucklingResult, analyse
from .config import load_panel, panel_from_dict
from .converge import Convergence, converge
from .frequencies import FrequencyResult, frequencies
from .example import example_panel
from .loads import LoadShare, share_load
from .modes import ModeFile, read_mode_file
from .panel import BOUNDARY_NAMES, PRESETS, Layout, Load, LoadField, Panel, StringerWalls
from .plotting import plot_contour, plot_mode
from . import sections
from .sections import Section
from .stiffness import ABD, Isotropic, PlyStack, Stiffener, laminate_abd
from .sweep import sweep

__all__ = [
    "Panel", "Load", "LoadField", "StringerWalls", "Layout", "Isotropic", "PlyStack", "ABD", "Stiffener",
    "frequencies", "FrequencyResult",
    "analyse", "BucklingResult", "AnalysisError", "sweep", "plot_mode", "plot_contour",
    "read_mode_file", "ModeFile", "load_panel", "panel_from_dict", "example_panel", "laminate_abd",
    "BOUNDARY_NAMES", "PRESETS", "converge", "Convergence", "share_load", "LoadShare", "sections", "Section",
]
