"""A simply supported square plate under uniaxial compression against the classical result
Ncr = k pi^2 D / b^2 with k = 4. Run: python examples/plate.py"""

import math

import zeft

E, NU, T, SIDE = 70000.0, 0.3, 1.0, 100.0          # N, mm

plate = zeft.Panel(
    name="PLATE",
    title="Simply supported square plate, uniaxial compression",
    stringer_pitch=SIDE,                            # no stringers: the panel width
    frame_pitch=SIDE,                               # no frames: the panel length
    skin=zeft.Isotropic(thickness=T, E=E, nu=NU),
    load=zeft.Load(nx=10.0),                        # 10 N/mm compression, scaled by the load factor
    functions=("w",),                               # a flat plate: the in-plane problem decouples
    elements_between_frames=8,
    elements_between_stringers=8,
)

if __name__ == "__main__":
    result = zeft.analyse(plate, folder="plate-run")
    print(result.table())
    d = E * T ** 3 / (12 * (1 - NU ** 2))
    n_cr = 4 * math.pi ** 2 * d / SIDE ** 2
    print(f"\nclassical Ncr = {n_cr:.4f} N/mm; zeft: {result.membrane_forces[0, 0]:.4f} N/mm "
          f"(load factor {result.load_factors[0]:.5f} x 10 N/mm)")
