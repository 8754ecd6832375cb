// The simultaneous inverse iteration of simvit, for a matrix A given by its operations.
//
// simvit holds A in profile storage. The buckling analysis iterates with the condensed
// matrix S = A11 - A21^T A22^-1 A21 without forming it: S^-1 r comes from the coupled band
// system of A11, A21 and A22, and S x from A11 x and the coupling G = L22^-1 A21 (A22 = L22
// L22^T), as S = A11 - G^T G. The iteration reads A only through this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "io/format.hpp"
#include "solver/banded.hpp"

namespace zeft {

/// The matrix A = A0 - G^T G of the iteration (G empty for a plain matrix), order n.
class IterationMatrix {
public:
    using idx = std::ptrdiff_t;
    virtual ~IterationMatrix() = default;

    /// Order n of A.
    virtual idx order() const = 0;
    /// Diagonal entry a_ii, i = 1 .. n.
    virtual double diagonal(idx i) const = 0;
    /// Factorises A for solve(); 0, or the row at which A proved not positive definite.
    virtual int factorise() = 0;
    /// X(:, c) <- A^-1 X(:, c) for the columns c = c0 .. c1-1 (0-based) of x (n rows, column major).
    virtual void solve(double* x, idx c0, idx c1) = 0;
    /// y = A0 x for one column.
    virtual void multiply0(double* x, double* y) = 0;
    /// Rows of G; 0 when A = A0.
    virtual idx coupling_rows() const { return 0; }
    /// g(:, c) = G x(:, c) for the columns c = c0 .. c1-1 (0-based); g has coupling_rows() rows.
    virtual void couple(const double* x, idx c0, idx c1, double* g) {}
    /// y <- y - G^T g for one column.
    virtual void couple_back(const double* g, double* y) {}
};

/// A in profile storage (order n, half-bandwidth ibd, pointers lv), as simvit receives it. The
/// leading zeros of every row are dropped: a copy in the narrowest band that holds all nonzero
/// entries is factorised by chodec (the same factor as of the full layout, since the dropped
/// terms are exact zeros) and multiplied by probtm; the solves skip the zeros of the factor.
class ProfileMatrix : public IterationMatrix {
public:
    ProfileMatrix(const double* a, const int* lv, int n, int ibd);
    idx order() const override { return n_; }
    double diagonal(idx i) const override { return a_[lv_[i - 1] + i - 1]; }
    int factorise() override;
    void solve(double* x, idx c0, idx c1) override;
    void multiply0(double* x, double* y) override;
    /// The rows of A (unfactorised) from their first nonzero column on.
    banded::Rows rows() const { return sky_.rows(a_.data()); }

private:
    int n_, ibd_;
    std::vector<double> a_, l_;  ///< A and its factor, band ibd_ (profile storage through lv_)
    std::vector<int> lv_;
    banded::Skyline sky_;
    banded::Columns ac_;  ///< A by columns (for the rows of the one-column product side by side)
    banded::Columns lc_;  ///< the factor by columns
};

/// Uniform numbers on [0, 1) from xoshiro256**, whose four state words are the splitmix64
/// mixes of the seed words (all 5): every generator starts the same sequence.
class Uniform {
public:
    Uniform() {
        constexpr std::uint64_t seed_word = 5, golden = 0x9E3779B97F4A7C15ULL;
        for (int w = 0; w < 4; ++w) s_[w] = mix(seed_word + static_cast<std::uint64_t>(w + 1) * golden);
    }
    /// Next number: the leading 53 bits of the next state output, scaled to [0, 1).
    double next() { return static_cast<double>(bits() >> 11) * 0x1.0p-53; }
    /// Fills v(1..n) with fresh numbers in order.
    void fill(double* v, std::ptrdiff_t n) {
        for (std::ptrdiff_t i = 0; i < n; ++i) v[i] = next();
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t mix(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t bits() {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9, t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    std::uint64_t s_[4];
};

/// Writes one record to standard output and to the analysis listing.
void both(std::string_view format, std::initializer_list<fmt::Item> items);

/// True when 2 <= neigit <= n and neigrq < neigit; otherwise says so on standard output and
/// in the listing and sets ier (bad counts).
bool iteration_counts_valid(int neigrq, int neigit, int n, int& ier);

/// The simultaneous inverse iteration of simvit on A; arguments and results as simvit.
/// B in profile storage (half-bandwidth ibdb, pointers lvbndb). Gram-Schmidt takes the A-norm
/// of each orthogonalised vector as x^T A0 x - |G x|^2, with G x carried along linearly.
void subspace_iteration(int& neigrq, int& neigit, IterationMatrix& a, double* b, int& ibdb, int* lvbndb, double& eps,
                        double* elam, double* x, int& jac, int& ip, int* lvtri, int& ier);

}  // namespace zeft
