// Natural-frequency analysis: the squared circular frequencies lambda = omega^2 of
//
//     (A11 - A21^T A22^-1 A21) w = lambda M w,
//
// w the W freedoms, A11 the bending matrix, A22 the matrix of U, V, BETA, GAMMA, A21 their
// coupling with W, and M the mass matrix of the W freedoms (skin mass per unit area dom of
// record densit, stiffener masses per unit length domx, domy of record f07dis). The frequency
// in hertz is sqrt(lambda) / (2 pi). The stiffness side is assembled and condensed exactly as
// for buckling; M takes the place of the geometric stiffness B in the storage b11.
//
// The analysis run does not perform a vibration analysis; these routines are called one by
// one by the host: vibs2, then vibs3 (and prtvib for the input echo).
#pragma once

namespace zeft {

/// Assembles A22 and A21 (when there are in-plane freedoms), A11 and the mass matrix M into
/// record `matrix` (M in b11, profile storage through lvb), after setting the slope scale
/// factors of record f07pd for the grid. ier = 0, or 22, 21, 11, 33 naming the matrix whose
/// assembly failed (A22, A21, A11, M as "B11"); the first failure ends the assembly.
template <class P>
void vibs2(int& ier);

/// Condenses U, V, BETA, GAMMA out of A11, scales M to the size of the condensed A11
/// (pdom of record densit; dom is divided by it too), finds the neigrq eigenvalues of
/// smallest magnitude by simultaneous vector iteration and lists them with the frequencies
/// in hertz and the eigenvectors. Results: elam of record valus (omega^2, scaling undone),
/// the W eigenvectors in columns 1 .. neigit of x of record vectrs (rows 1 .. ix), x^T A x = 1.
/// long_bn: number of in-plane freedoms (the work vectors are sized from iy of record man).
/// bb, dd, bd (6, *), rr, dr, br, ss: stiffness data of the run, not needed here.
/// ier = 0; 1 A22 not positive definite; 2 the iteration failed; 3 M or the condensed A11
/// holds only zeros (no scale); 4 inconsistent records; 5 the work file of the condensed
/// columns could not be read back.
template <class P>
void vibs3(int& long_bn, float* bb, float* dd, float* bd, float& rr, float& dr, float& br, float& ss,
           int& ier);

/// Writes the input echo of a panel analysed for natural frequencies to the analysis listing:
/// the blocks of the buckling echo with one set of skin stiffnesses for the whole panel,
/// the skin's mass per unit area and only the prescribed membrane forces. Converts alfax,
/// alfay of record f07ang from degrees to radians in place, and recounts nox and noy of
/// record f07dis as the leading nonzero entries of istx(1 .. 10) and isty(1 .. 10).
/// bb, dd, bd, rr, dr, br: packed symmetric 3x3 matrices (6 values, 11, 12, 22, 13, 23, 33):
/// membrane, bending, membrane-bending coupling and the three adjustment couplings; ss: the
/// packed 2x2 transverse shear stiffness (11, 12, 22).
template <class P>
void prtvib(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss);

}  // namespace zeft
