"""A carbon skin with three hat stringers built from their dimensions, loaded by the total
axial force the panel carries; the load factor, the force in each stringer at buckling and the
exported results. Run: python examples/hat_panel_from_sections.py"""

import zeft
from zeft import sections

UD = dict(E1=135000.0, E2=9000.0, nu12=0.3, G12=5000.0)
skin = zeft.PlyStack([0.125] * 8, [45, -45, 0, 90, 90, 0, -45, 45], **UD)
wall = zeft.PlyStack([0.125] * 8, [45, -45, 0, 0, 0, 0, -45, 45], **UD)     # webs, chord, feet

if __name__ == "__main__":
    # The hat stands inside (on the side of positive W): 30 mm high, chord 25 mm, webs 30 degrees
    # apart, two feet of 20 mm. Its feet go into the foot strips, the rest into the stringer.
    hat = sections.hat(height=30.0, chord_width=25.0, web_angle=30.0, web=wall, chord=wall,
                       foot=wall, foot_width=20.0, skin=skin)
    s = hat.stiffener
    print(f"hat: EA {s.EA:.4g} N, ES {s.ES:.4g} N mm, EI {s.EI:.4g} N mm2, GJ {s.GJ:.4g} N mm2 "
          f"(centroid {hat.centroid:.2f} mm above the skin's middle surface)")
    panel = zeft.Panel(name="HATPNL", title="CFRP skin, three hat stringers", stringer_pitch=200.0,
                       frame_pitch=500.0, stringers=3, skin=skin, load=zeft.Load(nx=1.0),
                       elements_between_frames=10, elements_between_stringers=4, eigenvalues=2,
                       crippling=hat.crippling_walls(), **hat.panel_fields())
    share = zeft.share_load(panel, Fx=100e3)             # 100 kN on the whole panel
    print(f"100 kN: skin nx {share.load.nx:.2f} N/mm, each stringer {share.stringer_force:.0f} N "
          f"({share.stringer_share:.0%} of the load)")
    result = zeft.analyse(panel.replace(load=share.load), quiet=True, keep_files=True)
    print(result.table())
    print(f"buckles at {100 * result.load_factors[0]:.1f} kN")
    result.to_csv(result.folder / "table.csv")
    result.strength_to_csv(result.folder / "strength.csv")
    result.to_json(result.folder / "result.json")
    panel.to_toml(result.folder / "panel.toml")
    print("written:", ", ".join(p.name for p in sorted(result.folder.iterdir())))
