"""Natural frequencies of the built-in stiffened panel, free and under 60 % of its buckling load.

The skin's mass comes from its density (aluminium, 2.7e-9 t/mm^3, units N, mm, s), the
stringers and frames weigh 0.27e-6 and 0.54e-6 t/mm. Under load the lowest frequency falls:
the stiffness of the vibration analysis loses the geometric stiffness of the load.

Run:  python examples/panel_frequencies.py [folder]
"""

import sys

import zeft


def main(folder=None):
    base = zeft.example_panel()
    panel = base.replace(name="VIBPNL", skin=zeft.Isotropic(1.6, 70000.0, 0.33, density=2.7e-9),
                         stringer_mass=0.27e-6, frame_mass=0.54e-6, eigenvalues=3, iteration_vectors=8)
    free = zeft.frequencies(panel, folder, quiet=True)
    lam = zeft.analyse(panel, folder, quiet=True).load_factors[0]
    loaded = zeft.frequencies(panel, folder, quiet=True, load_factor=0.6 * lam)
    print(free.table())
    print(f"lowest frequency at 60 % of the buckling load ({0.6 * lam:.4f} x the load): "
          f"{loaded.frequencies[0]:.2f} Hz (free {free.frequencies[0]:.2f} Hz)")
    return {"free": free.frequencies, "loaded": loaded.frequencies, "load_factor": lam}


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
