// Simultaneous inverse iteration for the lowest eigenpairs of A x = lambda B x, with the
// Jacobi solver of its projected problems.
#pragma once

namespace zeft {

/// Lowest |lambda| eigenpairs of A x = lambda B x, A symmetric positive definite and B
/// symmetric, both in profile storage (order n; half-bandwidths ibda, ibdb; pointers lvbnda,
/// lvbndb). A block of neigit vectors is iterated with A^-1 B, A-orthonormalised and
/// projected; the projected problem S q = (1/lambda) q is solved by jacob2 in the packed
/// triangle addressed by lvtri (full-triangle pointers, at least neigit of them).
///   elam(1..neigit): eigenvalues, elam(1..neigrq) converged, by increasing |lambda|;
///   x (n x neigit, leading dimension n): eigenvectors, column k for elam(k), x^T A x = 1;
///   eps: tolerance on the eigenvector components of the projected problem, multiplied by
///        1.03 after each inverse step (returned relaxed); jac: subspace cycles; ip: steps.
/// ier = 0; 1 Cholesky factorisation of A failed; 3 neigit outside 2 .. n or neigrq >= neigit
/// (no iteration); 4 iteration stopped (non-finite projected matrix or cycle limit); -1, -2
/// the last cycle's jacob2 code. Messages go to standard output and the listing.
void simvit(int& neigrq, int& neigit, double* a, double* b, int& n, int& ibda, int& ibdb, int* lvbnda,
            int* lvbndb, double& eps, double* elam, double* x, int& jac, int& ip, int* lvtri, int& ier);

/// Eigenvalues and eigenvectors of a symmetric matrix of order n in the packed triangle a
/// (entry (i, j), j <= i, at a(lvtri(i) + j)) by the largest-element Jacobi method. On return
/// the diagonal holds the eigenvalues (unsorted) and column i of ys (n x n) the eigenvector of
/// the i-th diagonal value. Off-diagonal entries end below eps * (largest absolute row sum) / n.
/// ier = 0; -1 rotation limit 2 n^2 + 1 reached; -2 matrix numerically zero (ys = identity).
void jacob2(double* a, int& n, int* lvtri, double& eps, double* ys, int& ier);

}  // namespace zeft
