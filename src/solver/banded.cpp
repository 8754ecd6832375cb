// Block triangular solves and products in skyline storage.
//
// Forward substitution works a group of rows at a time: the columns left of the rows are
// taken column by column for all of them (each factor value is broadcast against the lanes
// of one solved row, a sum per row and vector in flight), then the small triangle of the rows
// is finished row by row. Back substitution is its mirror image over the columns of L, eight
// columns at a time from the last one upwards. In both, every lane receives its terms one by
// one in an order fixed by the matrix alone, whatever the number of lanes, the blocking of
// the rows and lanes, the instruction set or the threads. Each instruction-set build has its
// own blocking, sized to its vector registers; the build is chosen once per process (isa.hpp).
#include "solver/banded.hpp"
#include "solver/isa.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <mutex>

#include <unistd.h>

namespace zeft::banded {

namespace {

#if defined(__GNUC__) && defined(__x86_64__)
#define ZEFT_AVX2 __attribute__((target("avx2")))
#define ZEFT_AVX512 __attribute__((target("avx512f")))
#define ZEFT_WIDE_PATHS 1
#else
#define ZEFT_WIDE_PATHS 0
#endif
#define ZEFT_INLINE inline __attribute__((always_inline))
// Lambdas inside the kernels must be inlined too, so that they run with the caller's vectors.
#define ZEFT_INLINE_LAMBDA __attribute__((always_inline))

/// Two, four and eight lanes (one SSE2, AVX or AVX-512 register, or several narrower ones);
/// the unaligned forms serve loads and stores.
typedef double v2d __attribute__((vector_size(2 * sizeof(double))));
typedef double v4d __attribute__((vector_size(4 * sizeof(double))));
typedef double v8d __attribute__((vector_size(8 * sizeof(double))));
typedef double v2u __attribute__((vector_size(2 * sizeof(double)), aligned(sizeof(double)), may_alias));
typedef double v4u __attribute__((vector_size(4 * sizeof(double)), aligned(sizeof(double)), may_alias));
typedef double v8u __attribute__((vector_size(8 * sizeof(double)), aligned(sizeof(double)), may_alias));

/// The unaligned type of a lane vector.
template <class Vd> struct Unaligned;
template <> struct Unaligned<v2d> { using type = v2u; };
template <> struct Unaligned<v4d> { using type = v4u; };
template <> struct Unaligned<v8d> { using type = v8u; };

#define LOAD(p) (*reinterpret_cast<const typename Unaligned<Vd>::type*>(p))
#define STORE(p, v) (*reinterpret_cast<typename Unaligned<Vd>::type*>(p) = (v))
// x - 0 is x for every x (a signed zero included), so this is a plain broadcast that the
// compiler folds into the multiplication; Vd{} + x would be a scalar addition first.
#define SPLAT(x) ((x) - Vd{})

/// Work below which handing half of it to the helper thread does not pay (row length times
/// lanes).
constexpr double thread_work = 2.0e5;

// Register blocking. A block of W lanes per row is taken in chunks of V vectors Vd; a kernel
// keeps R (or G) rows' sums of one chunk in registers, R * V vectors, and passes the rows'
// factor values once per chunk (from the first-level cache after the first chunk). SSE2 and
// AVX2 have sixteen vector registers, AVX-512 thirty-two; since a loaded operand may stay in
// memory, the best R and V are not simply the largest that fit and are chosen by measurement.
// Chunks and R change which sums are in flight together, never the order of a lane's terms.

/// Forward substitution for rows from .. n-1 of the row-major block y (n x W): R rows at a
/// time, chunks of V vectors Vd.
template <class Vd, int V, int R, int W>
ZEFT_INLINE void forward_rows(const Rows& L, idx from, double* y) {
    constexpr int N = sizeof(Vd) / sizeof(double), C = N * V;
    static_assert(W % C == 0, "a block is a whole number of chunks");
    const idx n = L.n;
    auto row_sum = [&](idx i, idx m0, idx m1, Vd* acc, const double* yc) ZEFT_INLINE_LAMBDA {
        const double* Li = L.val + L.off[i];
        for (idx m = m0; m < m1; ++m) {
            const Vd l = SPLAT(Li[m]);
            for (int v = 0; v < V; ++v) acc[v] += l * LOAD(yc + m * W + N * v);
        }
    };
    auto finish = [&](idx i, const Vd* acc, double* yc) ZEFT_INLINE_LAMBDA {
        const Vd d = SPLAT(L.at(i, i));
        for (int v = 0; v < V; ++v) STORE(yc + i * W + N * v, (LOAD(yc + i * W + N * v) - acc[v]) / d);
    };
    idx i = from;
    for (; i + R <= n; i += R) {
        idx s[R], common = from;
        for (int r = 0; r < R; ++r) {
            s[r] = std::max(L.first[i + r], from);
            common = std::max(common, s[r]);
        }
        common = std::min(common, i);
        idx lead = common;
        for (int r = 0; r < R; ++r) lead = std::min(lead, s[r]);
        const double* Lr[R];
        for (int r = 0; r < R; ++r) Lr[r] = L.val + L.off[i + r];
        for (int c0 = 0; c0 < W; c0 += C) {
            double* yc = y + c0;
            Vd acc[R][V];
            for (int r = 0; r < R; ++r)
                for (int v = 0; v < V; ++v) acc[r][v] = Vd{};
            // Leading columns of rows that start before the others, column by column (each
            // row still takes its columns in increasing order).
            for (idx m = lead; m < common; ++m) {
                Vd ym[V];
                for (int v = 0; v < V; ++v) ym[v] = LOAD(yc + m * W + N * v);
                for (int r = 0; r < R; ++r)
                    if (m >= s[r]) {
                        const Vd l = SPLAT(Lr[r][m]);
                        for (int v = 0; v < V; ++v) acc[r][v] += l * ym[v];
                    }
            }
            for (idx m = common; m < i; ++m) {
                Vd ym[V];
                for (int v = 0; v < V; ++v) ym[v] = LOAD(yc + m * W + N * v);
                for (int r = 0; r < R; ++r) {
                    const Vd l = SPLAT(Lr[r][m]);
                    for (int v = 0; v < V; ++v) acc[r][v] += l * ym[v];
                }
            }
            // The triangle of the R rows.
            for (int r = 0; r < R; ++r) {
                row_sum(i + r, std::max(i, s[r]), i + r, acc[r], yc);
                finish(i + r, acc[r], yc);
            }
        }
    }
    for (; i < n; ++i)
        for (int c0 = 0; c0 < W; c0 += C) {
            Vd acc[V];
            for (int v = 0; v < V; ++v) acc[v] = Vd{};
            row_sum(i, std::max(L.first[i], from), i, acc, y + c0);
            finish(i, acc, y + c0);
        }
}

/// Y = A X for the row-major blocks x, y (n x W): four rows at a time, chunks of V vectors Vd.
template <class Vd, int V, int W>
ZEFT_INLINE void multiply_rows(const Rows& A, const double* x, double* y) {
    constexpr int N = sizeof(Vd) / sizeof(double), C = N * V;
    static_assert(W % C == 0, "a block is a whole number of chunks");
    // Row q: y(q) = its stored part times x, then y(m) += A(q, m) x(q) for its columns m < q.
    auto single = [&](idx q, idx m0, const double* xc, double* yc) ZEFT_INLINE_LAMBDA {
        const double* Aq = A.val + A.off[q];
        Vd xq[V], acc[V];
        for (int v = 0; v < V; ++v) {
            xq[v] = LOAD(xc + q * W + N * v);
            acc[v] = Vd{};
        }
        for (idx m = m0; m <= q; ++m) {
            const Vd l = SPLAT(Aq[m]);
            for (int v = 0; v < V; ++v) acc[v] += l * LOAD(xc + m * W + N * v);
        }
        for (int v = 0; v < V; ++v) STORE(yc + q * W + N * v, LOAD(yc + q * W + N * v) + acc[v]);
        for (idx m = m0; m < q; ++m) {
            const Vd l = SPLAT(Aq[m]);
            for (int v = 0; v < V; ++v) STORE(yc + m * W + N * v, LOAD(yc + m * W + N * v) + l * xq[v]);
        }
    };
    const idx n = A.n;
    for (idx i = 0; i < n * W; ++i) y[i] = 0.0;
    idx i = 0;
    for (; i + 4 <= n; i += 4) {
        idx s[4], common = 0;
        for (int r = 0; r < 4; ++r) {
            s[r] = A.first[i + r];
            common = std::max(common, s[r]);
        }
        common = std::min(common, i);
        const idx lead = std::min(std::min(s[0], s[1]), std::min(s[2], s[3]));
        const double* Ar[4];
        for (int r = 0; r < 4; ++r) Ar[r] = A.val + A.off[i + r];
        for (int c0 = 0; c0 < W; c0 += C) {
            const double* xc = x + c0;
            double* yc = y + c0;
            Vd acc[4][V], xr[4][V];
            for (int r = 0; r < 4; ++r)
                for (int v = 0; v < V; ++v) {
                    acc[r][v] = Vd{};
                    xr[r][v] = LOAD(xc + (i + r) * W + N * v);
                }
            // Columns before `common` that only some rows reach, each row in turn.
            for (idx m = lead; m < common; ++m)
                for (int r = 0; r < 4; ++r)
                    if (m >= s[r]) {
                        const Vd l = SPLAT(Ar[r][m]);
                        for (int v = 0; v < V; ++v) {
                            acc[r][v] += l * LOAD(xc + m * W + N * v);
                            STORE(yc + m * W + N * v, LOAD(yc + m * W + N * v) + l * xr[r][v]);
                        }
                    }
            for (idx m = common; m < i; ++m) {
                const Vd l0 = SPLAT(Ar[0][m]), l1 = SPLAT(Ar[1][m]), l2 = SPLAT(Ar[2][m]), l3 = SPLAT(Ar[3][m]);
                for (int v = 0; v < V; ++v) {
                    const Vd xm = LOAD(xc + m * W + N * v);
                    acc[0][v] += l0 * xm;
                    acc[1][v] += l1 * xm;
                    acc[2][v] += l2 * xm;
                    acc[3][v] += l3 * xm;
                    Vd t = LOAD(yc + m * W + N * v);
                    t += l0 * xr[0][v];
                    t += l1 * xr[1][v];
                    t += l2 * xr[2][v];
                    t += l3 * xr[3][v];
                    STORE(yc + m * W + N * v, t);
                }
            }
            // The triangle of the four rows, row by row.
            for (int r = 0; r < 4; ++r) {
                const idx q = i + r;
                for (idx m = std::max(i, s[r]); m <= q; ++m) {
                    const Vd l = SPLAT(Ar[r][m]);
                    for (int v = 0; v < V; ++v) acc[r][v] += l * LOAD(xc + m * W + N * v);
                }
                for (int v = 0; v < V; ++v) STORE(yc + q * W + N * v, LOAD(yc + q * W + N * v) + acc[r][v]);
                for (idx m = std::max(i, s[r]); m < q; ++m) {
                    const Vd l = SPLAT(Ar[r][m]);
                    for (int v = 0; v < V; ++v) STORE(yc + m * W + N * v, LOAD(yc + m * W + N * v) + l * xr[r][v]);
                }
            }
        }
    }
    for (; i < n; ++i)
        for (int c0 = 0; c0 < W; c0 += C) single(i, A.first[i], x + c0, y + c0);
}

/// Back substitution by the rows of L^T: z(c) = (y(c) - sum over k > c of L(k, c) z(k)) /
/// L(c, c), eight columns at a time from the last one upwards, chunks of V vectors Vd. The
/// rows k below all eight columns are shared (taken in passes of H columns' sums), then each
/// column's further rows, then the triangle of the eight.
template <class Vd, int V, int W, int H = 8>
ZEFT_INLINE void backward_columns(const Columns& U, double* y) {
    constexpr int N = sizeof(Vd) / sizeof(double), C = N * V;
    static_assert(8 % H == 0, "passes of whole parts of the group");
    static_assert(W % C == 0, "a block is a whole number of chunks");
    const idx n = U.n;
    auto column_sum = [&](idx c, idx k0, idx k1, Vd* acc, const double* yc) ZEFT_INLINE_LAMBDA {
        const double* Uc = U.val.data() + U.off[c];
        for (idx k = k0; k <= k1; ++k) {
            const Vd l = SPLAT(Uc[k]);
            for (int v = 0; v < V; ++v) acc[v] += l * LOAD(yc + k * W + N * v);
        }
    };
    // Eight columns at a time, for every path and number of lanes: the grouping decides the
    // order of each column's terms, so it must not depend on the block or the build.
    constexpr int G = 8;
    for (idx top = n - 1; top >= 0; top -= G) {
        const int R = static_cast<int>(std::min<idx>(G, top + 1));
        idx shared = n - 1, deepest = top;
        const double* Ur[G];
        for (int r = 0; r < R; ++r) {
            shared = std::min(shared, U.last[top - r]);
            deepest = std::max(deepest, U.last[top - r]);
            Ur[r] = U.val.data() + U.off[top - r];
        }
        for (int c0 = 0; c0 < W; c0 += C) {
            double* yc = y + c0;
            Vd acc[G][V];
            for (int r = 0; r < G; ++r)
                for (int v = 0; v < V; ++v) acc[r][v] = Vd{};
            if (R == G) {
                // H columns' sums in registers per pass over the shared rows.
                for (int h = 0; h < G; h += H)
                    for (idx k = top + 1; k <= shared; ++k) {
                        Vd z[V];
                        for (int v = 0; v < V; ++v) z[v] = LOAD(yc + k * W + N * v);
                        for (int r = h; r < h + H; ++r) {
                            const Vd l = SPLAT(Ur[r][k]);
                            for (int v = 0; v < V; ++v) acc[r][v] += l * z[v];
                        }
                    }
            } else {
                for (int r = 0; r < R; ++r) column_sum(top - r, top + 1, shared, acc[r], yc);
            }
            // The further rows of the columns that reach below the others, row by row (each
            // column still takes its rows in increasing order).
            for (idx k = std::max(shared, top) + 1; k <= deepest; ++k) {
                Vd z[V];
                for (int v = 0; v < V; ++v) z[v] = LOAD(yc + k * W + N * v);
                for (int r = 0; r < R; ++r)
                    if (k <= U.last[top - r]) {
                        const Vd l = SPLAT(Ur[r][k]);
                        for (int v = 0; v < V; ++v) acc[r][v] += l * z[v];
                    }
            }
            for (int r = 0; r < R; ++r) {
                const idx c = top - r;
                column_sum(c, c + 1, std::min(top, U.last[c]), acc[r], yc);
                const Vd d = SPLAT(U.at(c, c));
                for (int v = 0; v < V; ++v) STORE(yc + c * W + N * v, (LOAD(yc + c * W + N * v) - acc[r][v]) / d);
            }
        }
    }
}

// The kernels of each build by the number of lanes w (4, 8, 12 or 16), blocked as measured
// fastest on a band of 11164 rows and half-bandwidth 390 (the coupled system of a 31 x 31 grid)
// and on the coupled band of an everyday panel (2476 rows, half-bandwidth 170). Where the
// sums of a group's columns outgrow the registers, the back substitution passes over the
// shared rows once per part of the group (H columns).

void forward_baseline(const Rows& L, idx from, double* y, int w) {
    switch (w) {
        case 4: return forward_rows<v2d, 2, 6, 4>(L, from, y);
        case 8: return forward_rows<v2d, 4, 2, 8>(L, from, y);
        case 12: return forward_rows<v2d, 2, 6, 12>(L, from, y);
        default: return forward_rows<v2d, 4, 2, 16>(L, from, y);
    }
}

void backward_baseline(const Columns& U, double* y, int w) {
    switch (w) {
        case 4: return backward_columns<v2d, 2, 4>(U, y);
        case 8: return backward_columns<v2d, 2, 8>(U, y);
        case 12: return backward_columns<v2d, 2, 12>(U, y);
        default: return backward_columns<v2d, 4, 16, 2>(U, y);
    }
}

void multiply_baseline(const Rows& A, const double* x, double* y, int w) {
    switch (w) {
        case 4: return multiply_rows<v2d, 2, 4>(A, x, y);
        case 8: return multiply_rows<v2d, 2, 8>(A, x, y);
        case 12: return multiply_rows<v2d, 2, 12>(A, x, y);
        default: return multiply_rows<v2d, 2, 16>(A, x, y);
    }
}

#if ZEFT_WIDE_PATHS
ZEFT_AVX2 void forward_avx2(const Rows& L, idx from, double* y, int w) {
    switch (w) {
        case 4: return forward_rows<v4d, 1, 12, 4>(L, from, y);
        case 8: return forward_rows<v4d, 2, 6, 8>(L, from, y);
        case 12: return forward_rows<v4d, 3, 4, 12>(L, from, y);
        default: return forward_rows<v4d, 2, 6, 16>(L, from, y);
    }
}

ZEFT_AVX2 void backward_avx2(const Columns& U, double* y, int w) {
    switch (w) {
        case 4: return backward_columns<v4d, 1, 4>(U, y);
        case 8: return backward_columns<v4d, 2, 8>(U, y);
        case 12: return backward_columns<v4d, 3, 12, 4>(U, y);
        default: return backward_columns<v4d, 2, 16>(U, y);
    }
}

ZEFT_AVX2 void multiply_avx2(const Rows& A, const double* x, double* y, int w) {
    switch (w) {
        case 4: return multiply_rows<v4d, 1, 4>(A, x, y);
        case 8: return multiply_rows<v4d, 2, 8>(A, x, y);
        case 12: return multiply_rows<v4d, 1, 12>(A, x, y);
        default: return multiply_rows<v4d, 2, 16>(A, x, y);
    }
}

ZEFT_AVX512 void forward_avx512(const Rows& L, idx from, double* y, int w) {
    switch (w) {
        case 4: return forward_rows<v4d, 1, 12, 4>(L, from, y);
        case 8: return forward_rows<v8d, 1, 8, 8>(L, from, y);
        case 12: return forward_rows<v4d, 3, 4, 12>(L, from, y);
        default: return forward_rows<v8d, 2, 4, 16>(L, from, y);
    }
}

ZEFT_AVX512 void backward_avx512(const Columns& U, double* y, int w) {
    switch (w) {
        case 4: return backward_columns<v4d, 1, 4>(U, y);
        case 8: return backward_columns<v8d, 1, 8>(U, y);
        case 12: return backward_columns<v4d, 3, 12>(U, y);
        default: return backward_columns<v8d, 2, 16>(U, y);
    }
}

ZEFT_AVX512 void multiply_avx512(const Rows& A, const double* x, double* y, int w) {
    switch (w) {
        case 4: return multiply_rows<v4d, 1, 4>(A, x, y);
        case 8: return multiply_rows<v8d, 1, 8>(A, x, y);
        case 12: return multiply_rows<v4d, 3, 12>(A, x, y);
        default: return multiply_rows<v8d, 2, 16>(A, x, y);
    }
}
#endif

/// Whether splitting columns [c0, c1) of products or solves with L over two threads pays.
bool worth_two_threads(const Rows& L, idx cols) {
    double work = 0.0;
    for (idx i = 0; i < L.n; ++i) work += static_cast<double>(i - L.first[i] + 1);
    return work * static_cast<double>(cols) >= thread_work;
}

}  // namespace

Skyline::Skyline(const double* a, const int* lv, idx n, idx ibd_) : off(n), first(n), ibd(ibd_) {
    for (idx i = 0; i < n; ++i) {
        off[i] = lv[i];
        idx m = std::max<idx>(0, i - ibd + 1);
        while (m < i && a[off[i] + m] == 0.0) ++m;
        first[i] = m;
    }
}

idx Skyline::width() const {
    idx w = 1;
    for (idx i = 0; i < static_cast<idx>(first.size()); ++i) w = std::max(w, i - first[i] + 1);
    return w;
}

int lanes(idx cols) {
    if (cols <= 8) return cols <= 4 ? 4 : 8;
    return cols <= 12 && isa::current() == isa::Path::avx2 ? 12 : 16;
}

bool second_thread_allowed() {
    static const bool allowed = [] {
        const char* v = std::getenv("ZEFT_THREADS");
        return v == nullptr || std::strcmp(v, "1") != 0;
    }();
    return allowed;
}

namespace {

/// How long a thread waiting for the other spins before it sleeps. The parallel sections of an
/// iteration follow each other within a fraction of this; waking a sleeping thread costs tens
/// of microseconds, on a virtual machine often more, which on a small panel took a fifth of
/// its run. Measured by time, not by rounds, since a pause instruction takes from a few to
/// over a hundred cycles, depending on the processor.
constexpr std::chrono::microseconds spin_time{500};

/// The helper thread: waits for a job (spinning for spin_time, then asleep), runs it and
/// reports it done.
struct Helper {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<int> state{0};  ///< 0 idle, 1 job posted, 2 job done
    std::atomic<bool> taken{false};
    void (*call)(void*) = nullptr;
    void* arg = nullptr;
    pid_t pid = getpid();

    Helper() { std::thread([this] { loop(); }).detach(); }

    void loop() {
        for (;;) {
            await(1);
            call(arg);
            {
                std::lock_guard lock(m);
                state.store(2, std::memory_order_release);
            }
            cv.notify_all();
        }
    }

    /// Waits until state == s.
    void await(int s) {
        const auto until = std::chrono::steady_clock::now() + spin_time;
        for (int spin = 1;; ++spin) {
            if (state.load(std::memory_order_acquire) == s) return;
            __builtin_ia32_pause();
            if (spin % 64 == 0 && std::chrono::steady_clock::now() > until) break;
        }
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return state.load(std::memory_order_acquire) == s; });
    }
};

/// The helper of this process (a child process after fork gets its own: the thread does not
/// survive the fork). Never destroyed: the thread sleeps on it until the process ends.
Helper& helper() {
    static std::mutex creation;
    static Helper* current = nullptr;
    std::lock_guard lock(creation);
    if (current == nullptr || current->pid != getpid()) current = new Helper;
    return *current;
}

}  // namespace

bool run_on_helper(void (*call)(void*), void* arg) {
    Helper* hp;
    try {
        hp = &helper();
    } catch (const std::system_error&) {  // no thread available
        return false;
    }
    Helper& h = *hp;
    bool idle = false;
    if (!h.taken.compare_exchange_strong(idle, true)) return false;
    h.call = call;
    h.arg = arg;
    {
        std::lock_guard lock(h.m);
        h.state.store(1, std::memory_order_release);
    }
    h.cv.notify_all();
    return true;
}

void wait_for_helper() {
    Helper& h = helper();
    h.await(2);
    h.state.store(0, std::memory_order_relaxed);
    h.taken.store(false, std::memory_order_release);
}

void forward(const Rows& L, idx from, double* y, int w) {
#if ZEFT_WIDE_PATHS
    switch (isa::current()) {
        case isa::Path::avx512: return forward_avx512(L, from, y, w);
        case isa::Path::avx2: return forward_avx2(L, from, y, w);
        case isa::Path::baseline: break;
    }
#endif
    forward_baseline(L, from, y, w);
}

void backward(const Columns& L, double* y, int w) {
#if ZEFT_WIDE_PATHS
    switch (isa::current()) {
        case isa::Path::avx512: return backward_avx512(L, y, w);
        case isa::Path::avx2: return backward_avx2(L, y, w);
        case isa::Path::baseline: break;
    }
#endif
    backward_baseline(L, y, w);
}

Columns::Columns(const Rows& L) : off(L.n), last(L.n), n(L.n) {
    for (idx c = 0; c < n; ++c) last[c] = c;
    for (idx k = 0; k < n; ++k)
        for (idx m = L.first[k]; m < k; ++m) last[m] = k;
    idx size = 0;
    for (idx c = 0; c < n; ++c) {
        off[c] = size - c;
        size += last[c] - c + 1;
    }
    val.assign(static_cast<std::size_t>(size), 0.0);
    for (idx k = 0; k < n; ++k) {
        const double* Lk = L.val + L.off[k];
        for (idx m = L.first[k]; m <= k; ++m) val[off[m] + k] = Lk[m];
    }
}

void gather(const double* x, idx ldx, idx n, idx c0, int cols, int w, double* t) {
    for (idx i = 0; i < n; ++i) {
        double* ti = t + i * w;
        for (int c = 0; c < cols; ++c) ti[c] = x[(c0 + c) * ldx + i];
        for (int c = cols; c < w; ++c) ti[c] = 0.0;
    }
}

void scatter(const double* t, idx n, int cols, int w, double* x, idx ldx, idx c0) {
    for (int c = 0; c < cols; ++c) {
        double* xc = x + (c0 + c) * ldx;
        for (idx i = 0; i < n; ++i) xc[i] = t[i * w + c];
    }
}

void solve(const Rows& L, const Columns& Lc, double* x, idx ldx, idx c0, idx c1) {
    column_blocks(c0, c1, worth_two_threads(L, c1 - c0), [&](idx c, idx cols) {
        const int w = lanes(cols);
        std::vector<double> t(static_cast<std::size_t>(L.n * w));
        gather(x, ldx, L.n, c, static_cast<int>(cols), w, t.data());
        forward(L, 0, t.data(), w);
        backward(Lc, t.data(), w);
        scatter(t.data(), L.n, static_cast<int>(cols), w, x, ldx, c);
    });
}

void multiply(const Rows& A, const double* x, double* y, int w) {
#if ZEFT_WIDE_PATHS
    switch (isa::current()) {
        case isa::Path::avx512: return multiply_avx512(A, x, y, w);
        case isa::Path::avx2: return multiply_avx2(A, x, y, w);
        case isa::Path::baseline: break;
    }
#endif
    multiply_baseline(A, x, y, w);
}

void multiply(const Rows& A, const double* x, idx ldx, double* y, idx ldy, idx c0, idx c1) {
    column_blocks(c0, c1, worth_two_threads(A, c1 - c0), [&](idx c, idx cols) {
        const int w = lanes(cols);
        std::vector<double> t(static_cast<std::size_t>(A.n * w)), u(t.size());
        gather(x, ldx, A.n, c, static_cast<int>(cols), w, t.data());
        multiply(A, t.data(), u.data(), w);
        scatter(u.data(), A.n, static_cast<int>(cols), w, y, ldy, c);
    });
}

namespace {

/// Rows i0 .. i1-1 of y = A x: y(q) = the stored part of row q times x (its terms in
/// increasing column order), eight rows side by side (eight independent sums, the columns
/// that all eight reach as vectors of Vd read down the columns Ac of A); after each group its
/// entries left of the diagonal times x(q) are added to y(m) for the columns m >= mlo, row by
/// row. Every y(m) thus receives its own row first and then the rows below in increasing
/// order, whichever rows a call covers and whatever the build.
template <class Vd>
ZEFT_INLINE void multiply_single_rows(const Rows& A, const Columns& Ac, const double* x, double* y, idx i0, idx i1,
                                      idx mlo) {
    constexpr int R = 8, N = sizeof(Vd) / sizeof(double), V = R / N;
    auto transposed = [&](idx q, idx m0) ZEFT_INLINE_LAMBDA {
        const double* Aq = A.val + A.off[q];
        const double xq = x[q];
        for (idx m = std::max(m0, mlo); m < q; ++m) y[m] += Aq[m] * xq;
    };
    idx i = i0;
    for (; i + R <= i1; i += R) {
        const double* Ar[R];
        double s[R];
        idx f[R], lead = i, common = 0;
        for (int r = 0; r < R; ++r) {
            Ar[r] = A.val + A.off[i + r];
            s[r] = 0.0;
            f[r] = A.first[i + r];
            lead = std::min(lead, f[r]);
            common = std::max(common, f[r]);
        }
        common = std::min(common, i + 1);
        // Columns that only some of the rows reach, then the columns all of them reach up
        // to the first row's diagonal (column m holds rows m .. i + 7 side by side), then the
        // triangle of the eight rows.
        for (idx m = lead; m < common; ++m) {
            const double xm = x[m];
            for (int r = 0; r < R; ++r)
                if (m >= f[r]) s[r] += Ar[r][m] * xm;
        }
        Vd acc[V];
        for (int v = 0; v < V; ++v) acc[v] = LOAD(s + N * v);
        for (idx m = common; m <= i; ++m) {
            const Vd xm = SPLAT(x[m]);
            const double* col = Ac.val.data() + Ac.off[m] + i;
            for (int v = 0; v < V; ++v) acc[v] += LOAD(col + N * v) * xm;
        }
        for (int v = 0; v < V; ++v) STORE(s + N * v, acc[v]);
        for (int r = 1; r < R; ++r)
            for (idx m = std::max(i + 1, f[r]); m <= i + r; ++m) s[r] += Ar[r][m] * x[m];
        for (int r = 0; r < R; ++r) y[i + r] = s[r];
        for (int r = 0; r < R; ++r) transposed(i + r, f[r]);
    }
    for (; i < i1; ++i) {
        const double* Ai = A.val + A.off[i];
        double s = 0.0;
        for (idx m = A.first[i]; m <= i; ++m) s += Ai[m] * x[m];
        y[i] = s;
        transposed(i, A.first[i]);
    }
}

void single_rows_baseline(const Rows& A, const Columns& Ac, const double* x, double* y, idx i0, idx i1, idx mlo) {
    multiply_single_rows<v2d>(A, Ac, x, y, i0, i1, mlo);
}

#if ZEFT_WIDE_PATHS
ZEFT_AVX2 void single_rows_avx2(const Rows& A, const Columns& Ac, const double* x, double* y, idx i0, idx i1,
                                idx mlo) {
    multiply_single_rows<v4d>(A, Ac, x, y, i0, i1, mlo);
}

ZEFT_AVX512 void single_rows_avx512(const Rows& A, const Columns& Ac, const double* x, double* y, idx i0, idx i1,
                                    idx mlo) {
    multiply_single_rows<v8d>(A, Ac, x, y, i0, i1, mlo);
}
#endif

/// multiply_single_rows in the build of this process.
void single_rows(const Rows& A, const Columns& Ac, const double* x, double* y, idx i0, idx i1, idx mlo) {
#if ZEFT_WIDE_PATHS
    switch (isa::current()) {
        case isa::Path::avx512: return single_rows_avx512(A, Ac, x, y, i0, i1, mlo);
        case isa::Path::avx2: return single_rows_avx2(A, Ac, x, y, i0, i1, mlo);
        case isa::Path::baseline: break;
    }
#endif
    single_rows_baseline(A, Ac, x, y, i0, i1, mlo);
}

}  // namespace

void multiply(const Rows& A, const Columns& Ac, const double* x, double* y) {
    // One pass over the rows. With enough entries, the rows split where half of the entries
    // lie: the second thread takes the rows below the split with their entries right of it,
    // the first the rows above and then the entries of the rows below left of the split
    // (which come after all rows above it in every y(m), as in one pass).
    const idx n = A.n;
    double entries = 0.0;
    for (idx i = 0; i < n; ++i) entries += static_cast<double>(i - A.first[i] + 1);
    if (entries < 1.0e5 || n < 64) {
        single_rows(A, Ac, x, y, 0, n, 0);
        return;
    }
    idx h = 0;
    for (double sum = 0.0; h < n && 2.0 * sum < entries; ++h) sum += static_cast<double>(h - A.first[h] + 1);
    two_ways(true, [&](int part) {
        if (part == 1) {
            single_rows(A, Ac, x, y, h, n, h);
            return;
        }
        single_rows(A, Ac, x, y, 0, h, 0);
        for (idx k = h; k < n; ++k) {
            if (A.first[k] >= h) continue;
            const double* Ak = A.val + A.off[k];
            const double xk = x[k];
            for (idx m = A.first[k]; m < std::min(k, h); ++m) y[m] += Ak[m] * xk;
        }
    });
}

}  // namespace zeft::banded
