"""zeft: buckling analysis of stiffened panels, described by name.

    import zeft
    panel = zeft.example_panel()                 # or zeft.Panel(...), zeft.load_panel("panel.toml")
    result = zeft.analyse(panel)                 # BucklingResult
    print(result.table())
    zeft.plot_mode(result, 1)                    # PNG of the first mode (needs Matplotlib)

The package drives the extension module ``_zeft`` (its ``callzeft``): it validates the panel,
lays out the grid, chooses the size preset, sets the shared analysis state before every run,
and reads the results back as arrays. ``zeft.sweep`` analyses many panels in parallel.
"""

from .analysis import AnalysisError, BucklingResult, analyse
from .config import load_panel, panel_from_dict
from .frequencies import FrequencyResult, frequencies
from .example import example_panel
from .modes import ModeFile, read_mode_file
from .panel import BOUNDARY_NAMES, PRESETS, Layout, Load, LoadField, Panel, StringerWalls
from .plotting import plot_contour, plot_mode
from .stiffness import ABD, Isotropic, PlyStack, Stiffener, laminate_abd
from .sweep import sweep

__all__ = [
    "Panel", "Load", "LoadField", "StringerWalls", "frequencies", "FrequencyResult", "Layout", "Isotropic", "PlyStack", "ABD", "Stiffener",
    "analyse", "BucklingResult", "AnalysisError", "sweep", "plot_mode", "plot_contour",
    "read_mode_file", "ModeFile", "load_panel", "panel_from_dict", "example_panel", "laminate_abd",
    "BOUNDARY_NAMES", "PRESETS",
]
