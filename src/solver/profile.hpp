// Profile (variable-band) storage of symmetric matrices and its Cholesky factorisation.
//
// A symmetric matrix A of order n with half-bandwidth ibd keeps its lower triangle row by
// row: row i holds columns ja(i) = max(1, i - ibd + 1) .. i, the diagonal last, and entry
// (i, j) lies at a(lv(i) + j) (one-based). For the layout built by mklvbd, lv(i) = i(i-1)/2
// while i <= ibd and grows by ibd - 1 per row after that; ibd = n is the packed full triangle.
// The upper triangle is never stored: (i, k), k > i, is read from a(lv(k) + i).
//
// Sums along a stored row are formed in one fixed order: the term of column index m goes to
// partial sum (m - 1) mod 4, each partial sum adds its terms in increasing m, and the result
// is (s0 + s1) + (s2 + s3). Sums down a column (the part of a symmetric row right of the
// diagonal, the back substitution) are accumulated row by row in a fixed row order. Neither
// depends on the blocking, the number of right-hand sides or the number of threads, so
// results are bit-identical from call to call and column by column.
#pragma once

#include <cstddef>
#include <functional>

namespace zeft {

/// Pointer vector lv(1..nn) of profile storage with order nn and half-bandwidth ibd.
/// ier = 1 (lv untouched) when nn < ibd, nn < 2 or ibd < 1.
void mklvbd(int* lv, int& nn, int& ibd, int& ier);

/// In-place Cholesky factorisation A = L L^T in profile storage: on return a holds L where
/// A was. ier = 0; ier = i when the pivot of row i (the diagonal before its root) is not
/// above 1.0E-20 (or not a number); ier = 1 for order 1 (a(1) then holds its root) and for
/// n < 1 or ibd < 1 (a untouched). On failure a is partly overwritten.
void chodec(double* a, int& n, int& ibd, int* lv, int& ier);

/// In-place factorisation A = L D L^T without pivoting of the symmetric, possibly indefinite
/// A in profile storage (order n, half-bandwidth ibd, lv): L below the diagonal (unit
/// diagonal implied), D on it, formed by the kernels of chodec in the same fixed order of
/// terms (one thread; it does not poll for interrupts and may run on any thread). Returns 0
/// with the number of negative pivots in `negatives` (the negative eigenvalues of A, by
/// Sylvester's law of inertia); the row whose pivot vanished against its diagonal entry (A
/// singular or nearly so for this elimination order: the count would be unreliable), or 1
/// for n < 1 or ibd < 1, with `negatives` = 0 and a partly overwritten.
int ldldec(double* a, int n, int ibd, const int* lv, long long& negatives);

/// Solves L L^T X = R with the factor L from chodec for the m columns of x (n x m, leading
/// dimension n), which hold R on entry and X on return. y (length n) receives the solution
/// of the last column.
void chosol(double* a, int& n, int& ibd, int* lv, double* x, int& m, double* y);

/// C(:, j) = A B(:, j) for j = m1 .. m, A symmetric in profile storage (order n, ibd, lv);
/// b and c are n x (at least m), leading dimension n. Other columns of c are untouched.
void probtm(double* a, int& n, int& ibd, int* lv, double* b, int& m1, int& m, double* c);

namespace linalg {

/// x^T y over len terms in the fixed row order above (term t goes to partial sum t mod 4).
double dot(const double* x, const double* y, std::ptrdiff_t len);

/// Calls part(begin, end) on contiguous parts of [0, count) that together cover it, on up to
/// two threads when `work` (a flop estimate) makes a second thread pay; weight(i) >= 0 is the
/// relative cost of item i and balances the parts. Parts never share an item, so results do
/// not depend on the split.
void split_work(std::ptrdiff_t count, double work, const std::function<double(std::ptrdiff_t)>& weight,
                const std::function<void(std::ptrdiff_t, std::ptrdiff_t)>& part);

}  // namespace linalg

}  // namespace zeft
