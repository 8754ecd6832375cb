// The key matrix and its index maps.
//
// Every node of the grid carries, for each active function f (1 W, 2 U, 3 V, 4 BETA,
// 5 GAMMA), four nodal values of kind kd: 1 F, 2 F,x, 3 F,y, 4 F,xy. The key matrix
// lm(5, 4, p_nodes) of record f07mat gives each nodal value its equation number — W values
// number the rows of A11 and B (1 .. nW), the in-plane functions U, V, BETA, GAMMA share the
// rows of A22 (1 .. nUV) — or 0 for a suppressed freedom, or `lm_inactive` for a function
// that takes no part. The assembly reads the key matrix only through the two index maps:
//
//   iuoriv: the 16 equation numbers of one function on one subdivision (tensor-product
//           Hermite interpolation, iu(r, c): r the Hermite function in y, c the one in x);
//   kuorkv: the 8 equation numbers of one function on one segment of a stiffener line.
//
// Entries of both maps are key-matrix values unchanged: a caller skips entries <= 0.
#pragma once

namespace zeft {

/// Key-matrix entry of a function that is not active in the analysis.
constexpr int lm_inactive = -909;

/// Builds the key matrix lm from the grid (mx, my, leit), the active functions (ku, knfun),
/// the edge-wise boundary codes and the individually suppressed freedoms; sets the
/// half-bandwidths ibdx, ibdy of record f07ina, writes the KEY MATRIX block to the analysis
/// listing and returns ix = nW, iy = nUV. Invalid record entries are skipped with a message;
/// a grid outside the size preset numbers nothing and returns ix = iy = 0.
template <class P>
void setkey(int& ix, int& iy);

/// Element index map of function ifun on the subdivision between y-lines i, i+1 and x-lines
/// j, j+1: iu(4, 4), column-major, iu(r, c) = lm(ifun, 1 + [c even] + 2 [r even],
/// leit(i + [r >= 3], j + [c >= 3])). ier = 1 subdivision out of range (message), 2 function
/// not admissible for the active set (iu zeroed), 3 grid record outside the size preset.
template <class P>
void iuoriv(int& i, int& j, int& ifun, int* iu, int& ier);

/// Stiffener-line index map of function ifun: kv(2, 4), column-major. xory "X": the stringer
/// on y-line ii, segment between x-lines jj and jj+1; row 1 holds F, F,x and row 2 F,y, F,xy
/// at both ends. xory "Y": the frame on x-line ii, segment between y-lines jj and jj+1; row 1
/// F, F,y and row 2 F,x, F,xy. ier = 1 direction neither "X" nor "Y", 2 line or segment out
/// of range, 3 ifun outside 1 .. 5, 4 grid record outside the size preset (all with message).
template <class P>
void kuorkv(const char* xory, int& ii, int& jj, int& ifun, int* kv, int& ier);

}  // namespace zeft
