"""Laminate stiffness of a ply stack through the module's `abdetc`."""

from __future__ import annotations

import numpy as np

import _zeft


def laminate_abd(thicknesses, angles, e1, e2, nu12, g12):
    """Membrane (A), bending (D) and coupling stiffness of a ply stack.

    Plies are listed from the bottom face upward; angles in degrees. Returns a dict with
    the laminate thickness and the 3x3 matrices ``A``, ``D`` and ``coupling``; the coupling
    block carries the sign the skin data of a panel expect (minus the classical B matrix),
    so it goes into the coupling entries of the panel's stiffness data unchanged.
    """
    t = np.asarray(thicknesses, dtype=np.float32).ravel()
    a = np.asarray(angles, dtype=np.float32).ravel()
    if t.size == 0 or t.size != a.size:
        raise ValueError("thicknesses and angles must be non-empty and of equal length")
    if not np.all(np.isfinite(t)) or np.any(t <= 0):
        raise ValueError("ply thicknesses must be positive and finite")
    q = np.array([e1, e2, nu12, g12], dtype=np.float32)
    aal = np.zeros((3, 3), np.float32, order="F")
    ddl = np.zeros((3, 3), np.float32, order="F")
    adl = np.zeros((3, 3), np.float32, order="F")
    _zeft.zeftutils.abdetc(t.size, t, a, q, 0.0, aal, ddl, adl, 0)
    return {"thickness": float(t.sum(dtype=np.float32)), "A": aal, "D": ddl, "coupling": adl}
