"""The built-in example: a flat aluminium panel with two open stringers and one frame under
axial compression, analysed through ``callzeft``.

The panel description is plain data (``EXAMPLE_PANEL``); :func:`run_example` turns it into the
43 arguments of ``callzeft``, runs the analysis in a working folder and returns the load
factors, the forces at buckling and the paths of the listing and the mode-shape file.

Units are N and mm. Membrane forces are positive in compression.
"""

from __future__ import annotations

import os
from pathlib import Path

import numpy as np

import _zeft


def isotropic_stiffness(thickness, e_modulus, poisson):
    """Stiffness data set of a homogeneous skin: membrane (entries 1-6), coupling (7-12) and
    bending (13-18) stiffness, each packed 11, 12, 22, 13, 23, 33."""
    a = e_modulus * thickness / (1.0 - poisson ** 2)
    d = a * thickness ** 2 / 12.0
    g = 0.5 * (1.0 - poisson)
    return [a, poisson * a, a, 0.0, 0.0, g * a] + [0.0] * 6 + [d, poisson * d, d, 0.0, 0.0, g * d]


#: Two open stringers on a 150 mm pitch and one frame in the middle of a 1000 mm long panel.
#: Across the panel: four skin elements, two half-foot elements at each stringer, four skin
#: elements between the stringers and four more to the far edge (16 strips, 17 y-lines);
#: along it six elements per frame bay (12 subdivisions, 13 x-lines). The edges are simply
#: supported; U is held at x = 0 and V at y = 0 so that the panel is free to shorten.
EXAMPLE_PANEL = {
    "project": "STIFFPNL",
    "title": "Stiffened panel: two open stringers, one frame, axial compression",
    "radii": (1.0e29, 1.0e29, 1.0e29),                  # flat
    "skin": isotropic_stiffness(1.6, 70000.0, 0.33),     # skin strips
    "skin_with_foot": isotropic_stiffness(3.2, 70000.0, 0.33),  # skin with the stringer foot
    "stringer_stiffness": (7.0e6, 0.0, 1.2e9, 2.0e6),   # EA, ES, EI, GJ
    "frame_stiffness": (1.4e7, 0.0, 6.0e9, 8.0e6),
    "frame_pitch": 500.0,
    "stringer_pitch": 150.0,
    "stringer_type": 1,
    "foot_width": 30.0,
    "stringer_lines": (6, 12),                          # y-lines under the webs
    "frame_lines": (7,),                                # x-line of the frame
    "strips": (1, 1, 1, 1, 2, 2, 1, 1, 1, 1, 2, 2, 1, 1, 1, 1),
    "elements_between_frames": 6,
    "elements_per_half_foot": 1,
    "elements_between_stringers": 4,
    "elements_below_hat": 1,
    "axial_load": 100.0,                                # N/mm, scaled by the load factor
    "functions": (1, 2, 3, 0, 0),                       # W, U, V
    "edges": {"y0": (0, 1, 3, 0, 0, 0, 0), "yl": (0, 1, 0, 0, 0, 0, 0),
              "x0": (0, 1, 2, 0, 0, 0, 0), "xl": (0, 1, 0, 0, 0, 0, 0)},
    "iteration_vectors": 10,
    "eigenvalues": 4,
}


def callzeft_arguments(panel, preset=31, plot=True):
    """The positional arguments of ``callzeft`` for a panel description, with fresh result
    arrays (elamp, membraneforcesp, displ) in positions 24, 25 and 43."""
    module = getattr(_zeft, f"prtnds{preset}")
    r1, s, nx = int(module.p_rtnds) - 1, int(module.p_stf), int(module.p_nx)
    neigrq = panel["eigenvalues"]

    def padded(values, n):
        out = np.zeros(n, np.int32)
        out[: len(values)] = values
        return out

    matabd = np.zeros((18, 2), np.float32, order="F")
    matabd[:, 0], matabd[:, 1] = panel["skin"], panel["skin_with_foot"]
    rx, ry, rxy = panel["radii"]
    e = panel["edges"]
    return [
        panel["project"], panel["title"], rx, ry, rxy, matabd,
        np.asarray(panel["stringer_stiffness"], np.float32), np.asarray(panel["frame_stiffness"], np.float32),
        panel["frame_pitch"], panel["stringer_pitch"], panel["stringer_type"],
        panel.get("chord_width", 0.0), panel["foot_width"], panel.get("hat_angle", 0.0),
        panel.get("hat_height", 0.0),
        panel["axial_load"], panel.get("transverse_load", 0.0), panel.get("shear_load", 0.0),
        panel.get("fixed_axial_load", 0.0), panel.get("fixed_shear_load", 0.0),
        panel.get("fixed_transverse_load", 0.0), 0.0, 0.0,
        np.zeros(55), np.zeros(275), 0, panel["iteration_vectors"], neigrq, 1, 1 if plot else 0,
        np.asarray(panel["functions"], np.int32), padded(panel["stringer_lines"], s),
        padded(panel["frame_lines"], s), padded(panel["strips"], r1),
        np.asarray(e["y0"], np.int32), np.asarray(e["yl"], np.int32),
        np.asarray(e["x0"], np.int32), np.asarray(e["xl"], np.int32),
        panel["elements_between_frames"], panel["elements_per_half_foot"],
        panel["elements_between_stringers"], panel["elements_below_hat"],
        np.zeros(nx * neigrq),
    ]


def run_example(folder=".", panel=None, preset=31, plot=True):
    """Analyses the panel (the built-in one by default) in ``folder``.

    Returns a dict: ``load_factors`` (the requested eigenvalues), ``forces`` (per eigenvalue
    the five force values of the run: Nx, Nxy, Ny on the last y-line, stringer and frame
    force), ``modes`` (W eigenvectors, one column per eigenvalue), ``listing`` and
    ``mode_file`` (paths; the mode file only when ``plot`` is true and it was written).
    """
    panel = EXAMPLE_PANEL if panel is None else panel
    args = callzeft_arguments(panel, preset, plot)
    elamp, forces, displ = args[23], args[24], args[42]
    neigrq = panel["eigenvalues"]
    folder = Path(folder).resolve()
    here = Path.cwd()
    os.chdir(folder)
    try:
        getattr(_zeft, f"prtnds{preset}").callzeft(*args)
    finally:
        os.chdir(here)
    name = panel["project"][:8].ljust(8)
    mode_file = folder / (name + "MODES.txt")
    return {
        "load_factors": elamp[:neigrq].copy(),
        "forces": forces[: 5 * neigrq].reshape(neigrq, 5),
        "modes": displ.reshape(neigrq, -1).T,
        "listing": folder / (name + ".out"),
        "mode_file": mode_file if plot and mode_file.exists() else None,
    }
