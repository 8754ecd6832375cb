"""A thick plate: buckling with transverse shear deformation against the classical plate.

A simply supported square aluminium plate, 100 mm wide and 10 mm thick (b/t = 10), under axial
compression. With the rotations BETA and GAMMA the skin's transverse shear stiffness
(5/6 G t) enters, and the buckling load falls below the classical (thin plate) value by the
factor 1 / (1 + D k^2 / (5/6 G t)), k^2 = (pi/a)^2 + (pi/b)^2 for the square plate's mode.

Run:  python examples/shear_deformation.py [folder]
"""

import math
import sys

import zeft


def main(folder=None):
    skin = zeft.Isotropic(thickness=10.0, E=70000.0, nu=0.3)
    plate = zeft.Panel(name="THICK", stringer_pitch=100.0, frame_pitch=100.0, skin=skin,
                       load=zeft.Load(nx=1000.0), functions=("w", "beta", "gamma"),
                       elements_between_frames=8, elements_between_stringers=8, eigenvalues=2)
    thick = zeft.analyse(plate, folder, quiet=True).load_factors[0]
    thin = zeft.analyse(plate.replace(functions=("w",)), folder, quiet=True).load_factors[0]
    d = 70000.0 * 10.0 ** 3 / (12 * (1 - 0.3 ** 2))
    shear = 5 / 6 * 70000.0 / (2 * 1.3) * 10.0
    closed = 4 * math.pi ** 2 * d / 100.0 ** 2 / (1 + d * 2 * (math.pi / 100.0) ** 2 / shear) / 1000.0
    print(f"load factor, thin plate          {thin:10.5f}")
    print(f"load factor, with shear          {thick:10.5f}  (closed form {closed:.5f})")
    return {"thin": thin, "thick": thick, "closed_form": closed}


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
