// Assembly of the panel matrices over the numbered freedoms (key matrix, index maps):
//
//   A11  bending stiffness of the W freedoms, minus the geometric stiffness of the prescribed
//        (fixed) membrane forces; full lower triangle through lvtri of record comlv;
//   A21  coupling of the W freedoms (columns) with U, V, BETA, GAMMA (rows); dense, leading
//        dimension p_ny;
//   A22  stiffness of U, V, BETA, GAMMA; profile storage through lva22 of record comlv;
//   B    geometric stiffness of a membrane-force field, fakt * B added to a profile matrix;
//   M    mass matrix of the W freedoms (vibration), profile storage like B.
//
// All of them follow one pattern (assembly/pattern.hpp): loop over the subdivisions, integrate
// each term over the subdivision with the Hermite integral tables, scatter through the index
// maps, then add the stiffeners line segment by line segment. The scale factors of record
// f07pd (sa, sb, fa, b1) must be set by set_scale_factors before any of these routines runs.
//
// Sign convention: a positive membrane force is a compression. B = +integral of N w,s^2 and
// A11 loses the geometric stiffness of the fixed forces, so positive forces destabilise: the
// load factors of A11' w = lambda B w are those of the compressive load pattern.
#pragma once

namespace zeft {

/// Sets the scale factors of record f07pd for the current grid: sa = pi / Lx, sb = pi / Ly
/// (Lx, Ly the panel lengths, pi in single precision), fa = cos(alfax - alfay) (radians), and
/// b1(r, c) = (sb if r even, else 1) (sa if c even, else 1). A zero panel length gives a zero
/// slope scale.
template <class P>
void set_scale_factors();

/// Bending matrix A11 (order ix of record man) into a11 at lvtri(i) + j: the W-W terms of
/// every element, the stringers (a11xst) and frames (a11yst), minus the geometric stiffness
/// of the prescribed membrane forces (cmpbmt with fakt = -1). ier = 0; 2 index map failed;
/// 3 a11xst or cmpbmt failed; 4 a11yst failed; 5 inconsistent records (message).
template <class P>
void cmpa11(double* a11, int& ier);

/// Adds the stringers' stiffness to A11: kappa^2 EA w w + 2 kappa ES w w,xx + GJ/fa^2 w,xy^2
/// + EI w,xx^2 along each stringer (kappa = feps(1, 2)). ier = 0; 1 U, V not active as the
/// second and third functions; 2 stiffener-line map failed; 4 inconsistent records.
template <class P>
void a11xst(double* a11, int& ier);

/// Frames' counterpart of a11xst (along y, kappa = feps(2, 2)); same codes.
template <class P>
void a11yst(double* a11, int& ier);

/// Coupling matrix A21(p_ny, *): rows 1 .. iy (in-plane and rotation freedoms), columns 1 ..
/// ix (W freedoms); long_bn must equal iy. ier = 0; 1 wrong row count (a21 untouched);
/// 2 index map failed; 3, 4 a21ast("X"), a21ast("Y") failed; 5 inconsistent records.
template <class P>
void cmpa21(double* a21, int& long_bn, int& ier);

/// Adds the stiffeners' coupling EA kappa u,s w + ES u,s w,ss to A21, u the displacement
/// along the stiffener. xory "X" stringers, "Y" frames. ier = 0; 1 U, V not active; 2 map
/// of W failed; 3 map of U or V failed, or xory neither "X" nor "Y"; 4 inconsistent records.
template <class P>
void a21ast(const char* xory, double* a21, int& ier);

/// In-plane matrix A22 (order iy) into a22 at lva22(i) + j: the terms of the element tables
/// between U, V, BETA, GAMMA and the stiffeners' axial stiffness. ier = 0; 1, 2 index map of
/// the first / second factor failed; 3, 4 a22ast("X"), a22ast("Y") failed; 5 inconsistent
/// records.
template <class P>
void cmpa22(double* a22, int& ier);

/// Adds the stiffeners' axial stiffness EA u,s^2 to A22. ier = 0; 1 U, V not active;
/// 2 stiffener-line map failed; 3 xory neither "X" nor "Y"; 4 inconsistent records.
template <class P>
void a22ast(const char* xory, double* a22, int& ier);

/// Adds fakt times the geometric stiffness of the membrane forces pmem(p_nodes, 3) (columns
/// Nx, Nxy, Ny per node) to bmt, a profile matrix of order ix with pointers lv: the panel
/// part integral of (Nx w,x^2 + 2 Nxy w,x w,y + Ny w,y^2) and the stiffeners (bmatst).
/// ier = 0; 1 index map failed; 2, 3 bmatst("X"), bmatst("Y") failed; 4 inconsistent records.
template <class P>
void cmpbmt(double* bmt, int* lv, float* pmem, float& fakt, int& ier);

/// Adds fakt times the stiffeners' geometric stiffness, integral of P w,s^2 with the axial
/// force P = EA * (strain along the stiffener from the nodal membrane forces), and for a
/// stiffener with Ip/A in record stftor the loss of torsional stiffness under that force,
/// integral of P (Ip/A) / fa^2 w,sn^2. ier = 0;
/// 1 xory neither "X" nor "Y"; 2 stiffener-line map failed; 3 inconsistent records.
template <class P>
void bmatst(const char* xory, double* bmt, int* lv, float* pmem, float& fakt, int& ier);

/// Axial force EA * eps of a stiffener (a stringer along x, else a frame along y) at a node of
/// y-line `yline` carrying the membrane forces nx, nxy, ny: eps = eps_x or eps_y from the
/// membrane compliance of the stiffness data set whose loads that node carries (the foot's
/// for a node on a stringer-foot strip, the skin's elsewhere and on the last y-line). The
/// force that the geometric stiffness of bmatst and the force tables of the listing share.
template <class P>
float stiffener_force(bool stringer, int yline, float ea, float nx, float nxy, float ny);

/// Mass matrix of the W freedoms into mmt (profile, pointers lv, order ix): the skin's mass
/// per unit area dom (record densit) times fa, integral of w w, and the stiffeners (mmtst).
/// ier = 0; 2 index map failed; 3, 4 mmtst("X"), mmtst("Y") failed; 5 M holds no mass at
/// all; 6 inconsistent records.
template <class P>
void cmpmmt(double* mmt, int* lv, int& ier);

/// Adds the stiffeners' mass per unit length (domx, domy), integral of w w along each line,
/// to mmt addressed through lvb of record comlv. ier = 0; 1 xory neither "X" nor "Y";
/// 2 stiffener-line map failed; 3 inconsistent records.
template <class P>
void mmtst(const char* xory, double* mmt, int& ier);

}  // namespace zeft
