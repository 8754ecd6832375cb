"""The built-in example: a flat aluminium panel with two open stringers and one frame under
axial compression.

Two stringers on a 150 mm pitch and one frame in the middle of a 1000 mm long panel. Across the
panel: four skin elements, two half-foot elements at each stringer, four skin elements between
the stringers and four more to the far edge (16 strips, 17 y-lines); along it six elements per
frame bay (12 subdivisions, 13 x-lines). The edges are simply supported; U is held at x = 0 and
V at y = 0 so that the panel is free to shorten. Units are N and mm.
"""

from __future__ import annotations

from .panel import Load, Panel
from .stiffness import Isotropic, Stiffener

__all__ = ["example_panel"]


def example_panel(**changes) -> Panel:
    """The built-in stiffened panel (fields may be changed by keyword)."""
    panel = Panel(
        name="STIFFPNL",
        title="Stiffened panel: two open stringers, one frame, axial compression",
        stringer_pitch=150.0, frame_pitch=500.0, stringers=2, frames=1,
        stringer_kind="open", foot_width=30.0,
        skin=Isotropic(thickness=1.6, E=70000.0, nu=0.33),
        foot=Isotropic(thickness=3.2, E=70000.0, nu=0.33),         # skin plus stringer foot
        stringer=Stiffener(EA=7.0e6, ES=0.0, EI=1.2e9, GJ=2.0e6),
        frame=Stiffener(EA=1.4e7, ES=0.0, EI=6.0e9, GJ=8.0e6),
        elements_between_frames=6, elements_between_stringers=4, elements_per_foot=1,
        load=Load(nx=100.0),                                       # N/mm, scaled by the load factor
        functions=("w", "u", "v"), eigenvalues=4, iteration_vectors=10,
    )
    return panel.replace(**changes) if changes else panel
