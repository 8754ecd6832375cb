// Element stiffness terms.
//
// The stiffness data of every element (membrane bb, bending dd, membrane-bending coupling bd,
// the rotation-gradient group rr with its couplings br, dr, and the transverse shear ss) are
// gathered into one symmetric 9x9 coefficient matrix C over the generalized strains
//
//     eps = (U,x  V,y  U,y+V,x | W,xx  W,yy  2W,xy | BETA,x  GAMMA,y  BETA,y+GAMMA,x)
//
// and a 2x2 matrix CH over the transverse shear strains (BETA, GAMMA). For an oblique panel
// they are first referred to the skew axes. The strain energy density eps^T C eps + ... is
// then multiplied out, with every strain expanded by the strain-term table (record f01eps),
// into quadratic-form terms coefficient * D1[.] * D2[.] per element (record f01qua), from
// which the matrices A11, A21 and A22 are integrated.
//
// Storage (all single precision, one column per element, elements 1 .. (mx-1)(my-1)):
//   bb, dd, bd, rr, dr, br (6, p_elmts): symmetric 3x3 packed 11, 12, 22, 13, 23, 33;
//   ss (3, p_elmts), ch (3, p_elmts): symmetric 2x2 packed 11, 12, 22;
//   c (45, p_elmts): upper triangle of the 9x9 matrix row by row, entry (m, n), m <= n, at
//     position (18 - m)(m - 1)/2 + n; block structure [bb bd br; bd dd dr; br dr rr];
//   trm (6, 6): the skew transformation of a packed 3x3 block, taking the packed order
//     (11, 12, 22, 13, 23, 33) to the row order (11, 12, 13, 22, 23, 33).
#pragma once

namespace zeft {

/// Builds the coefficient matrices c and ch of every element, transformed to the skew axes
/// for an oblique panel, and enters the shell curvatures into the strain-term table.
/// ier = 0; 1 degenerate skew shape; 2 radius of curvature zero; 3 grid outside the preset.
template <class P>
void tfmstf(float* c, float* ch, float* bb, float* dd, float* bd, float* rr, float* dr,
            float* br, float* ss, int& ier);

/// Rectangular panel: copies the stiffness blocks into c (block matrix) and ss into ch.
template <class P>
void f01ktf(float* c, float* ch, float* bb, float* dd, float* bd, float* rr, float* dr,
            float* br, float* ss);

/// Skew transformation for the angles of record f07ang: fills trm, the transformed shear
/// stiffness ch of every element from ss, and rotates the inverse radii rx, ry, rxy in place.
/// cp enters as alfax - alfay and leaves as cos^4(alfax - alfay).
template <class P>
void tminc(float& cp, float* trm, float* ch, float& rx, float& ry, float& rxy, float* ss);

/// Transforms block column ielm of bb by trm and places it into column ielm of c: as the
/// upper triangle of a diagonal block (d true) or as three full rows of an off-diagonal
/// block, starting after position k with row skip ks; k and ks are advanced.
template <class P>
void tczinc(float* trm, float* c, float* bb, int& d, int& k, int& ks, int& ielm);

/// Multiplies out the strain energy density of every element into quadratic-form terms
/// (record f01qua): coefficient fquad, derivative codes kquad(., 1..2), function pair kquad(., 3).
template <class P>
void f01kbf(float* c, float* ch);

/// Merges the terms of every element whose derivative codes agree in either order.
template <class P>
void redfkq();

}  // namespace zeft
