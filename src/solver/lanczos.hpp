// Block shift-invert Lanczos for the load factors of the larger grid.
//
// For A x = lambda B x with A positive definite (given by its operations, see subspace.hpp)
// and B symmetric indefinite, the operator T = A^-1 B is self-adjoint in the A-inner product
// and its eigenvalues mu = 1/lambda of largest magnitude are the load factors of smallest
// magnitude, of both signs. The Krylov basis Q (x^T A y = delta) is built block by block from
// solves with the factor of A; every basis vector keeps its products B q and A q, where A q
// comes without a product with A: a new vector w = A^-1 B v has A w = B v, and orthogonalising
// w combines the A-products along. The Ritz pairs come from the projected matrix Q^T B Q.
#pragma once

#include "solver/subspace.hpp"

namespace zeft {

/// Lowest |lambda| eigenpairs of A x = lambda B x by block Lanczos with full
/// reorthogonalisation; arguments and results as subspace_iteration (simvit), with
///   elam(1..neigit), x (n x neigit, x^T A x = 1): the Ritz pairs of the neigit largest |mu|,
///        by increasing |lambda|; the first neigrq have relative residuals
///        |A x - lambda B x| / |A x| within lanczos_residual;
///   ip: block solves with the factor of A; jac: Rayleigh-Ritz projections; eps: the largest
///        relative residual of the first neigrq pairs (in the listing's statistics line).
/// ier = 0; 1 factorisation of A failed; 3 bad counts; 4 no convergence within the basis
/// the memory allows (or a non-finite projected matrix).
void lanczos(int& neigrq, int& neigit, IterationMatrix& a, double* b, int& ibdb, int* lvbndb, double& eps,
             double* elam, double* x, int& jac, int& ip, int& ier);

/// Relative residual the Lanczos pairs reach: a hundredth of the bound that certifies a load
/// factor.
inline constexpr double lanczos_residual = 1.0e-8;

}  // namespace zeft
