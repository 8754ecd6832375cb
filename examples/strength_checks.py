"""Strength checks of the built-in stiffened panel at its buckling load: per stringer the
applied force, the crippling and global buckling allowables and the reserve factors, with a
knock-down of 0.9 on the allowables and a safety factor of 1.5 on the applied forces.

Run:  python examples/strength_checks.py [folder]
"""

import sys

import zeft


def main(folder=None):
    walls = zeft.StringerWalls(foot_thickness=1.6, web_thickness=1.6, foot_width=30.0, web_height=30.0,
                               walls=zeft.Isotropic(1.6, 70000.0, 0.33))
    panel = zeft.example_panel(name="CHECKS", crippling=walls, knock_down=0.9, safety_factor=1.5,
                               eigenvalues=1, iteration_vectors=4)
    result = zeft.analyse(panel, folder, quiet=True)
    print(result.table())
    return result.strength


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
