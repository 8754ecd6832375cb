// Size presets: the compile-time limits of the builds of the analysis routines. Four are
// published (19, 21, 25, 31) and keep their records in static storage; a fifth, larger size
// (61) is reached through the package only and takes its matrix storage from the heap for the
// length of a run (see Matrix<P61> in state/records.hpp).
#pragma once

namespace zeft {

/// Limits of one size preset: at most N subdivision lines in x and in y.
template <int N>
struct Preset {
    static constexpr int number = N;                     ///< preset name (31, 19, 21, 25, 61)
    static constexpr int p_rtnds = N;                    ///< subdivision lines per direction
    static constexpr int p_nodes = N * N;                ///< grid nodes
    static constexpr int p_stf = N - 2;                  ///< stiffeners per direction
    static constexpr int p_elmts = (N - 1) * (N - 1);    ///< elements (subdivisions)
    static constexpr int p_nx = 4 * N * N;               ///< W freedoms (order of A11)
    static constexpr int p_ny = 16 * N * N;              ///< U, V, BETA, GAMMA freedoms (order of A22)
    static constexpr int p_ibdx = 12 * (N + 2);          ///< band width of the W matrices
    static constexpr int p_ibdy = 4 * p_ibdx;            ///< band width of A22
    static constexpr int p_ngit = 55;                    ///< iteration vectors
    static constexpr int p_ngrq = 50;                    ///< requested eigenvalues
    static constexpr int p_nsup = 250;                   ///< individually suppressed freedoms
    static constexpr int p_abdstf = 2;                   ///< stiffness data sets
    static constexpr int p_la11 = p_nx * (p_nx + 1) / 2; ///< A11 store (full triangle)
    static constexpr int p_la22 = p_ny * p_ibdy - p_ibdy * (p_ibdy - 1) / 2; ///< A22 band store
    static constexpr int p_lb11 = p_nx * p_ibdx - p_ibdx * (p_ibdx - 1) / 2; ///< B band store
    static constexpr int p_itrm = 340;                   ///< quadratic-form terms per element
    static constexpr int help = p_itrm * p_elmts;        ///< entries of fquad
    static constexpr int help2 = 3 * help;               ///< entries of kquad
};

using P31 = Preset<31>;
using P19 = Preset<19>;
using P21 = Preset<21>;
using P25 = Preset<25>;
/// The larger size, up to 61 x 61 lines: unpublished, its matrices held per run.
using P61 = Preset<61>;

/// True for the size whose matrices live on the heap in band and column-band layouts.
template <class P>
inline constexpr bool heap_matrices = P::number == 61;

static_assert(P31::p_la11 == 7390090 && P19::p_la11 == 1043290 && P21::p_la11 == 1556730 &&
              P25::p_la11 == 3126250);
static_assert(P31::p_la22 == 23101848 && P19::p_la22 == 5314680 && P21::p_la22 == 7180968 &&
              P25::p_la22 == 12120840);
static_assert(P31::p_lb11 == 1444014 && P19::p_lb11 == 332262 && P21::p_lb11 == 448914 &&
              P25::p_lb11 == 757674);

/// Applies macro M to each published preset type.
#define ZEFT_FOR_EACH_PRESET(M) M(::zeft::P31) M(::zeft::P19) M(::zeft::P21) M(::zeft::P25)
/// Applies macro M to every size, the published presets and the larger one; used for explicit
/// template instantiation of the core routines.
#define ZEFT_FOR_EACH_SIZE(M) ZEFT_FOR_EACH_PRESET(M) M(::zeft::P61)

}  // namespace zeft
