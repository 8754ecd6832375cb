// Buckling eigen analysis: the load factors lambda of
//
//     (A11 - A21^T A22^-1 A21) w = lambda B w,
//
// w the W freedoms, A11 the bending matrix less the geometric stiffness of the fixed membrane
// forces, A22 the matrix of U, V, BETA, GAMMA, A21 their coupling with W, and B the geometric
// stiffness of the variable membrane forces. The membrane state at load factor lambda is
// N = lambda Nvar + Nfix per node and component; a positive force is destabilising (B is
// +integral of N w,s^2), so positive Nx means compression.
#pragma once

namespace zeft {

/// Assembles A22 and A21 (when there are in-plane freedoms), A11 and B (from the variable
/// membrane forces, factor 1) into record `matrix`, after setting the slope scale factors
/// of record f07pd for the grid. ier = 0, or 22, 21, 11, 33 naming the matrix whose assembly
/// failed (A22, A21, A11, B); the first failure ends the assembly.
template <class P>
void incs2(int& ier);

/// Condenses U, V, BETA, GAMMA out of A11, solves for the neigrq load factors of smallest
/// magnitude by simultaneous vector iteration and lists them with the membrane and stiffener
/// forces and the eigenvectors. Results: elam of record valus, the W eigenvectors in columns
/// 1 .. neigit of x of record vectrs (rows 1 .. ix), the forces in membraneforces of record
/// pythres. long_bn: number of in-plane freedoms (iy). bb, dd, bd, rr, dr, br (6, p_elmts)
/// and ss (3, p_elmts): the element stiffness arrays of the run, not needed here.
/// fstbui: Nx at node 1 at the lowest load factor.
/// ier = 0; 1 A22 not positive definite; 2 the iteration failed; 3 inconsistent records
/// (counts, node table or matrix profiles outside the size preset); 4 the work file of the
/// condensed columns could not be read back.
template <class P>
void incs3(int& long_bn, float* bb, float* dd, float* bd, float* rr, float* dr, float* br,
           float* ss, int& ier, float& fstbui);

}  // namespace zeft
