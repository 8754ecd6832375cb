// Triangular solves and products with a symmetric matrix or Cholesky factor held row by row
// with a variable start per row (skyline storage), for blocks of right-hand sides.
//
// Row i (0-based) of the lower triangle holds columns first[i] .. i at val[off[i] + m]; the
// profile storage of chodec is such a layout with off[i] = lv(i + 1), and first[i] may be set
// behind the band's start where a row begins with zeros (the factor keeps the leading zeros
// of every row, so they are skipped in the solves at no change of a single bit).
//
// The kernels work on right-hand sides stored row-major, w values per row (w = 4, 8, 12 or
// 16, the columns of a block side by side, two to sixteen lanes at a time as the instruction
// set allows), so that one row of the factor is read once for all columns and each column is
// a vector lane. Every lane is computed on its own, with the
// terms of each sum added one by one in a fixed row order: a column's result does not depend
// on the block it was solved in, on w, or on the number of threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace zeft::banded {

using idx = std::ptrdiff_t;

/// Lower triangle of order n: entry (i, m), first[i] <= m <= i, at val[off[i] + m]. Every
/// row is stored from column max(0, i - ibd + 1) on (zeros before first[i]).
struct Rows {
    const double* val;
    const idx* off;
    const idx* first;
    idx n, ibd;

    double at(idx i, idx m) const { return val[off[i] + m]; }
};

/// Skyline description of profile storage: off from the pointer vector lv (order n,
/// half-bandwidth ibd, one-based as chodec reads it), first[i] the first column of row i
/// whose value is nonzero (i when the row holds only its diagonal).
struct Skyline {
    std::vector<idx> off, first;
    idx ibd = 1;  ///< half-bandwidth of the storage

    Skyline() = default;
    Skyline(const double* a, const int* lv, idx n, idx ibd);
    Rows rows(const double* a) const { return {a, off.data(), first.data(), static_cast<idx>(off.size()), ibd}; }
    /// Largest row length i - first[i] + 1.
    idx width() const;
};

/// The columns of a lower triangle L stored contiguously (the rows of L^T): column c holds
/// rows c .. last[c] at val[off[c] + k]; last[c] is the last row whose stored part reaches c.
struct Columns {
    std::vector<double> val;
    std::vector<idx> off, last;
    idx n = 0;

    Columns() = default;
    /// The columns of L, from the diagonal to the last row that reaches each column.
    explicit Columns(const Rows& L);
    double at(idx c, idx k) const { return val[off[c] + k]; }
};

/// Forward substitution L Y = Y for the row-major block y (n x w): rows from .. n-1 are
/// solved; rows of y before `from` are taken as zero and neither read nor written.
void forward(const Rows& L, idx from, double* y, int w);

/// Back substitution L^T Y = Y for the row-major block y (n x w), L given by its columns.
void backward(const Columns& L, double* y, int w);

/// X <- (L L^T)^-1 X for the columns c0 .. c1-1 of x (n rows, leading dimension ldx, column
/// major), L given by its rows and by its columns, in blocks of up to 16 columns spread over
/// up to two threads.
void solve(const Rows& L, const Columns& Lc, double* x, idx ldx, idx c0, idx c1);

/// Y = A X for the symmetric A whose lower triangle is A and the row-major blocks x, y (n x w).
/// y(q) is the stored part of row q times x, then the terms A(k, q) x(k) of the rows k > q in
/// increasing k.
void multiply(const Rows& A, const double* x, double* y, int w);

/// Y(:, c) = A X(:, c) for the columns c = c0 .. c1-1 (0-based) of x and y (leading dimensions
/// ldx, ldy), as the row-major product above, in blocks of up to 16 columns spread over up to
/// two threads.
void multiply(const Rows& A, const double* x, idx ldx, double* y, idx ldy, idx c0, idx c1);

/// y = A x for the symmetric A whose lower triangle is A, with Ac = Columns(A) (one column;
/// x, y of length n). Row i adds its stored part to y(i) in increasing column order, then the
/// rows below add their entries of column i in increasing row order; the rows split over two
/// threads when there are enough entries.
void multiply(const Rows& A, const Columns& Ac, const double* x, double* y);

/// Row-major block of w columns: t(i, c) = x(i, c0 + c), zero-padded to w lanes.
void gather(const double* x, idx ldx, idx n, idx c0, int cols, int w, double* t);
/// Columns c0 .. c0+cols-1 of x from the first cols lanes of the block t.
void scatter(const double* t, idx n, int cols, int w, double* x, idx ldx, idx c0);

/// Lanes per block for cols columns: 4, 8, 12 or 16, the fewest whose kernel of this
/// process's build runs the block fastest (twelve lanes only on AVX2: elsewhere sixteen run
/// faster).
int lanes(idx cols);

/// Calls block(c, cols) for the blocks of columns [c0, c1): with `split` (and a second thread
/// allowed), the columns are cut after a multiple of four near the middle and the two parts
/// run on two threads; each part in blocks of up to 16 columns. One thread takes the columns
/// in whole blocks, since a narrow block runs at a fraction of a wide one's rate per column.
template <class Block>
void column_blocks(idx c0, idx c1, bool split, Block&& block);

/// Runs part(0) and part(1) on two threads when `parallel` (and the process may use a second
/// thread), else part(0) then part(1). The parts must not share writes.
template <class F>
void two_ways(bool parallel, F&& part);

/// False when the environment variable ZEFT_THREADS, read once, is 1: every parallel section
/// then runs on its caller's thread alone (the worker processes of a sweep, one per core).
/// The results are the same bits either way.
bool second_thread_allowed();

/// Starts call(arg) on the process's helper thread (kept between calls, so that the many
/// short parallel sections of an analysis do not each start a thread) and returns true; false
/// when the helper is busy (a nested or concurrent section), the caller then runs it itself.
bool run_on_helper(void (*call)(void*), void* arg);
/// Waits until the job started by run_on_helper() has finished.
void wait_for_helper();

}  // namespace zeft::banded

#include <system_error>
#include <thread>

namespace zeft::banded {

template <class F>
void two_ways(bool parallel, F&& part) {
    if (!parallel || !second_thread_allowed()) {
        part(0);
        part(1);
        return;
    }
    auto second = [&] { part(1); };
    using Second = decltype(second);
    if (run_on_helper([](void* p) { (*static_cast<Second*>(p))(); }, &second)) {
        struct Join {
            ~Join() { wait_for_helper(); }
        } join;  // waits also when part(0) throws
        part(0);
        return;
    }
    std::thread other;
    try {
        other = std::thread(second);
    } catch (const std::system_error&) {  // no thread available: both parts here
        part(0);
        part(1);
        return;
    }
    try {
        part(0);
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
}

template <class Block>
void column_blocks(idx c0, idx c1, bool split, Block&& block) {
    constexpr idx wide = 16;
    const idx cols = c1 - c0;
    auto part = [&](idx b0, idx b1) {
        for (idx c = b0; c < b1; c += wide) block(c, std::min<idx>(wide, b1 - c));
    };
    if (cols <= 0) return;
    if (!split || cols < 2 || !second_thread_allowed()) {
        part(c0, c1);
        return;
    }
    const idx cut = c0 + std::max<idx>(1, std::min<idx>(((cols + 7) / 8) * 4, cols - 1));
    two_ways(true, [&](int p) { p == 0 ? part(c0, cut) : part(cut, c1); });
}

}  // namespace zeft::banded
