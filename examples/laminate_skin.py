"""A curved panel with a carbon ply-stack skin: the laminate stiffness from abdetc and the
effect of the radius on the buckling load. Run: python examples/laminate_skin.py"""

import numpy as np

import zeft

skin = zeft.PlyStack(
    thicknesses=[0.125] * 8,
    angles=[45, -45, 0, 90, 90, 0, -45, 45],         # bottom ply first, degrees
    E1=135000.0, E2=9000.0, nu12=0.3, G12=5000.0,
)

if __name__ == "__main__":
    m = skin.matrices()
    np.set_printoptions(precision=1, suppress=True)
    print(f"laminate thickness {m['thickness']:g} mm\nA =\n{m['A']}\nD =\n{m['D']}")
    print(f"coupling (symmetric stack, zero within rounding):\n{m['coupling']}")
    for radius in (None, 2000.0, 1000.0, 500.0):
        panel = zeft.Panel(
            name="CFRP", stringer_pitch=150.0, frame_pitch=300.0, skin=skin,
            load=zeft.Load(nx=10.0), radii=(None, radius, None),       # curved across y
            elements_between_frames=10, elements_between_stringers=8, eigenvalues=1,
        )
        r = zeft.analyse(panel, quiet=True)
        label = "flat" if radius is None else f"R = {radius:g} mm"
        print(f"{label:>12}: Nx at buckling {r.membrane_forces[0, 0]:8.2f} N/mm")
