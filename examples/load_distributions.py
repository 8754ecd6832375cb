"""A plate under in-plane bending: Nx varies linearly across the width, from compression at
y = 0 to the same tension at y = b. The classical buckling coefficient of the simply supported
plate, k = N b^2 / (pi^2 D) with N the largest compression, is 23.9 at a/b = 2/3.

Run:  python examples/load_distributions.py [folder]
"""

import math
import sys

import zeft


def main(folder=None):
    skin = zeft.Isotropic(thickness=1.0, E=70000.0, nu=0.3)
    plate = zeft.Panel(name="BENDING", stringer_pitch=100.0, frame_pitch=100.0 * 2 / 3, skin=skin,
                       load=zeft.Load(nx=1.0, nx_at_yl=-1.0), functions=("w",),
                       elements_between_frames=12, elements_between_stringers=16, eigenvalues=2)
    lam = abs(zeft.analyse(plate, folder, quiet=True).load_factors[0])
    k = lam * 100.0 ** 2 / (math.pi ** 2 * 70000.0 / (12 * (1 - 0.3 ** 2)))
    print(f"buckling coefficient under in-plane bending: k = {k:.3f} (classical 23.9)")
    return k


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
