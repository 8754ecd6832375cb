// Certificate of the load factors of a buckling run: every reported pair (lambda, w) is
// checked against the eigenproblem
//
//     S w = lambda B w,   S = A11 - A21^T A22^-1 A21,
//
// by its relative residual, and the set of reported values is checked for completeness by
// Sturm-sequence counts. S - sigma B and the coupled matrix
//
//     K(sigma) = [A11 - sigma B   A21^T]
//                [A21             A22  ]
//
// have S - sigma B as Schur complement of the positive definite A22, so their inertias
// differ by that of A22 alone (Haynsworth): the negative pivots of an L D L^T factorisation of
// K(sigma) count the negative eigenvalues of S - sigma B. With S positive definite these are
// the eigenvalues lambda in (0, sigma) for sigma > 0 and in (sigma, 0) for sigma < 0.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "solver/coupled.hpp"

namespace zeft {

/// Outcome of certify(). Index 0 is the side of negative load factors, 1 the positive side.
struct Certificate {
    std::vector<double> residual;  ///< |(S - lambda B) w| / |S w| per reported pair
    double shift[2] = {0.0, 0.0};  ///< sigma-, sigma+: just beyond the reported values
    int found[2] = {0, 0};         ///< eigenvalues in (sigma-, 0) and in (0, sigma+)
    int reported[2] = {0, 0};      ///< reported values on each side
    /// An interval holding an eigenvalue that was not reported (lo < hi), or lo = hi = 0.
    double missing[2] = {0.0, 0.0};
    /// Empty when the checks could be made; otherwise why not (nothing else is then set).
    std::string fault;
};

/// Relative position of the shifts beyond the reported values (and of the retry when a
/// shift meets an eigenvalue): wide enough for load factors converged to a residual of
/// 1e-6, narrow enough to tell apart the members of a pair split by round-off.
constexpr double certify_margin = 1.0E-5;

/// Keeps for certify() the matrices of the buckling run of preset P that has just ended: record
/// `matrix` holds its A11 and B as assembled and A22 as factorised, and coupled (null when
/// nothing is condensed) its coupled matrix K with K restored in place of its factor.
template <class P>
void keep_run(std::unique_ptr<CoupledMatrix> coupled);

/// Forgets the kept run of preset P: record `matrix` is about to change.
template <class P>
void forget_run();

/// Certifies n load factors lambda(n) with their W eigenvectors w(ix, n) (leading dimension
/// ldw) against the matrices of the last run of preset P: those kept by keep_run, or else
/// assembled afresh from the run's records (the matrices of record `matrix` are overwritten;
/// A22 is left holding its factor, as after the run). The counts use shifts sigma+ = max(lambda+(1 + margin),
/// R(1 - margin)), sigma- = -max(|lambda-|(1 + margin), R(1 - margin)), lambda+- the
/// reported extremes on each side and R the largest reported |lambda|, so that no eigenvalue
/// of smaller magnitude than a reported one can hide on either side; a side whose count
/// A side without reported values is not factorised when B is definite of the other sign
/// (then it holds no eigenvalue at all); a side whose count
/// exceeds its reported values is searched (one count per reported value, by bisection) for
/// the interval between two reported values that holds the one that was missed.
template <class P>
Certificate certify(const double* lambda, const double* w, int n, long long ldw);

}  // namespace zeft
