// Rates of the block substitutions and products on their own, on the instruction-set path of
// this process (ZEFT_ISA forces one): a random factor of the coupled band of an everyday
// panel (order 2476, half-bandwidth 170) and of a 31 x 31 grid (order 11164, half-bandwidth
// 390), w = 4, 8, 12 and 16 lanes. Each figure is the least thread processor time of fifteen
// calls, one thread.
#include "solver/banded.hpp"
#include "solver/isa.hpp"
#include "solver/profile.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace zeft;

namespace {

double thread_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

/// The least processor time of fifteen calls of f.
template <class F>
double best(F&& f) {
    double least = 1e30;
    for (int k = 0; k < 15; ++k) {
        const double t = thread_seconds();
        f();
        least = std::min(least, thread_seconds() - t);
    }
    return least;
}

void band(int n, int ibd) {
    // A diagonally dominant band (entries in [-0.5, 0.5), diagonal 2 ibd) and its factor.
    std::vector<int> lv(static_cast<std::size_t>(n));
    int ier = 0;
    mklvbd(lv.data(), n, ibd, ier);
    std::vector<double> a(static_cast<std::size_t>(lv[n - 1] + n), 0.0);
    unsigned s = 1;
    for (int i = 0; i < n; ++i)
        for (int m = std::max(0, i - ibd + 1); m <= i; ++m) {
            s = s * 1103515245u + 12345u;
            a[lv[i] + m] = m == i ? 2.0 * ibd : ((s >> 8) % 1000) / 1000.0 - 0.5;
        }
    std::vector<double> l = a;
    chodec(l.data(), n, ibd, lv.data(), ier);
    const banded::Skyline sky(a.data(), lv.data(), n, ibd);
    const banded::Rows A = sky.rows(a.data()), L = sky.rows(l.data());
    const banded::Columns Lc(L);
    std::printf("order %d, half-bandwidth %d (%s): forward / back substitution / product, ms per block\n", n, ibd,
                isa::name(isa::current()));
    for (int w : {4, 8, 12, 16}) {
        std::vector<double> y(static_cast<std::size_t>(n) * w, 1.0), z(y.size());
        const double f = best([&] { banded::forward(L, 0, y.data(), w); });
        const double b = best([&] { banded::backward(Lc, y.data(), w); });
        const double p = best([&] { banded::multiply(A, y.data(), z.data(), w); });
        const double madds = static_cast<double>(n) * ibd * w * 1e-9;
        std::printf("  w = %2d: %7.3f / %7.3f / %7.3f ms   (%5.1f / %5.1f G multiply-adds per second)\n", w, f * 1e3,
                    b * 1e3, p * 1e3, madds / f, madds / b);
    }
}

}  // namespace

int main() {
    band(2476, 170);
    band(11164, 390);
}
