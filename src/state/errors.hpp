// Error codes of the analysis routines, by routine. A routine returns 0 for success; its
// caller writes a message block naming it and passes its own code upward.
#pragma once

namespace zeft::err {

constexpr int ok = 0;

namespace rdtype { constexpr int no_title = 1, no_antype = 2, syntax = 3; }
namespace cktype { constexpr int buck_and_vibr = 2; }
namespace rddata { constexpr int group_missing = 8, syntax = 9, bad_input = 12; }
namespace buvi {
constexpr int grid_too_large = 1, incs2 = 2, incs3 = 3, glbuck = 4, crippling = 5, membrane_stiffness = 10;
}
namespace mklvbd { constexpr int bad_order = 1; }
namespace iuoriv { constexpr int out_of_range = 1, inadmissible_function = 2, bad_grid = 3; }
namespace kuorkv { constexpr int bad_direction = 1, bad_node = 2, bad_function = 3, bad_grid = 4; }
namespace cmpa11 { constexpr int iuoriv = 2, a11xst = 3, cmpbmt = 3, a11yst = 4, bad_data = 5; }
namespace stiffener { constexpr int no_uv = 1, kuorkv = 2, kuorkv_along = 3, bad_direction = 3, bad_data = 4; }
namespace cmpa21 { constexpr int rows = 1, iuoriv = 2, a21ast_x = 3, a21ast_y = 4, bad_data = 5; }
namespace cmpa22 { constexpr int iuoriv_first = 1, iuoriv_second = 2, a22ast_x = 3, a22ast_y = 4, bad_data = 5; }
namespace cmpbmt { constexpr int iuoriv = 1, bmatst_x = 2, bmatst_y = 3, bad_data = 4; }
namespace bmatst { constexpr int bad_direction = 1, kuorkv = 2, bad_data = 3; }
namespace incs2 { constexpr int a22 = 22, a21 = 21, a11 = 11, b11 = 33; }
namespace incs3 { constexpr int chodec_a22 = 1, simvit = 2, bad_data = 3, work_file = 4; }
namespace simvit {
constexpr int cholesky = 1, bad_counts = 3, no_convergence = 4;
constexpr int jacob2_rotations = -1, jacob2_zero = -2;
}
namespace cmpmmt { constexpr int iuoriv = 2, mmtst_x = 3, mmtst_y = 4, zero_mass = 5, bad_data = 6; }
namespace mmtst { constexpr int bad_direction = 1, kuorkv = 2, bad_data = 3; }
namespace vibs2 { constexpr int a22 = 22, a21 = 21, a11 = 11, b11 = 33; }
namespace vibs3 { constexpr int chodec_a22 = 1, simvit = 2, zero_mass = 3, bad_data = 4, work_file = 5; }
namespace tfmstf { constexpr int degenerate = 1, zero_radius = 2, bad_grid = 3; }
namespace glbuck { constexpr int no_convergence = 11, bad_input = 12; }
namespace crippling { constexpr int bad_input = 12; }
namespace abdetc { constexpr int trnpsi_base = 20, bad_material = 10; }
namespace trnpsi { constexpr int bad_order = 1; }
namespace phi { constexpr int outside = 1, bad_index = 2; }
namespace modes { constexpr int bad_input = 12; }

}  // namespace zeft::err
