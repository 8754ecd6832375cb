// The assembly pattern shared by A11, A21, A22, B and the mass matrix.
//
// Panel part. On the subdivision between x-lines ix, ix+1 and y-lines iy, iy+1 (lengths
// hx = a(ix), hy = b(iy), local coordinates xi, eta in [0, 1]) the shape function of
// element-map position (r, c) is N(r,c) = g(r,c) phi_r(eta) phi_c(xi) with
// g(r,c) = b1(r,c) b2(r,c), b2(r,c) = (hy if r even, else 1) (hx if c even, else 1). The
// integral of a term f * D1[N(r,c)] * D2[N(r',c')], D1 of orders (p1, q1) in (x, y) and D2 of
// orders (p2, q2), separates into
//
//     T = P(r,c,r',c') * b2(r,c) * b2(r',c') * d,   d = 1 / (hx^(p1+p2-1) hy^(q1+q2-1)),
//     P(r,c,r',c') = f b1(r,c) b1(r',c') S(p1+1, c, p2+1, c') S(q1+1, r, q2+1, r'),
//
// with S = s1 + s2 the one-dimensional integral tables. The 256 partial products P of a term
// are formed once; the subdivision enters only through b2 and d while scattering. A factor
// varying linearly over the subdivision is integrated with s1 (weight 1 - z) and s2 (weight z)
// in place of S.
//
// Stiffener part. Along a stiffener line the same integrals are one-dimensional, segment by
// segment, through the stiffener-line index map (kuorkv).
//
// Scatter. A symmetric matrix keeps its lower triangle in profile storage; adding K(i, k)
// stores the symmetric part, the diagonal in full and an off-diagonal value halved (its mirror
// K(k, i) brings the other half). A21 takes half of every coupling contribution, since a term
// and its mirror land in the same entry.
//
// Every index map is checked against the matrix it feeds before anything is added: equation
// numbers within the order of the matrix, and every pair of them inside the stored profile.
// Records that disagree (the host may write them) are reported, never followed outside the
// arrays.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "assembly/keymatrix.hpp"
#include "control/interrupt.hpp"
#include "state/records.hpp"

namespace zeft::assembly {

// ------------------------------------------------------------------------------ messages

/// Writes a message record " <text>" (one blank column, single spacing) to the listing.
void say(std::string_view text);

/// Writes an empty record and " MESSAGE FROM SUBROUTINE <routine>:" to the listing.
void header(std::string_view routine);

/// Writes " ERROR RETURN FROM KUORKV, I=" I4 (line) "J=" I4 (segment), with a blank before
/// "J=" when gap is set.
void kuorkv_failed(int line, int segment, bool gap);

/// Writes the two records of a stiffened panel whose U, V are not the second and third
/// active functions.
void uv_missing();

// ------------------------------------------------------------------------------ integrals

/// Derivative orders of one factor of a term: p in x (or along a stiffener), q in y (across).
struct Orders {
    int p = 0, q = 0;
};

/// Orders of a derivative code 100 f + 10 p + q.
inline Orders orders_of(int code) { return {(code % 100) / 10, code % 10}; }

/// True when the integral tables hold the orders (0 .. 2 each).
inline bool tabulated(Orders o) { return o.p >= 0 && o.p <= 2 && o.q >= 0 && o.q <= 2; }

/// Weight of a one-dimensional integral: S = s1 + s2 (plain), s1 (1 - z) or s2 (z).
enum class Weight { plain, start, end };

/// The integral of weight * phi_k^(i-1) * phi_l^(j-1) over [0, 1], single precision as tabled.
inline float integral(Weight w, int i, int k, int j, int l) {
    switch (w) {
        case Weight::start: return s1(i, k, j, l);
        case Weight::end: return s2(i, k, j, l);
        default: return sint(i, k, j, l);
    }
}

/// h^e in single precision for a small integer exponent; a negative one gives the reciprocal.
inline float power(float h, int e) {
    float r = 1.0f;
    for (int k = 0; k < (e < 0 ? -e : e); ++k) r *= h;
    return e < 0 ? 1.0f / r : r;
}

/// The 256 partial products of one term, P(r, c, r', c'), r fastest.
struct PartialProducts {
    double v[256];
    double operator()(int r, int c, int r2, int c2) const {
        return v[(r - 1) + 4 * ((c - 1) + 4 * ((r2 - 1) + 4 * (c2 - 1)))];
    }
    double& operator()(int r, int c, int r2, int c2) {
        return v[(r - 1) + 4 * ((c - 1) + 4 * ((r2 - 1) + 4 * (c2 - 1)))];
    }
};

/// P = f b1(r,c) b1(r',c') Ix(c,c') Iy(r,r'), Ix from the x-weight wx, Iy from wy. With add,
/// the products are added to P instead of replacing it (sums over weights).
void partial_products(PartialProducts& P, double f, Orders o1, Orders o2,
                      Weight wx = Weight::plain, Weight wy = Weight::plain, bool add = false);

/// Subdivision factors: b2(r, c) and d = 1 / (hy^(q1+q2-1) hx^(p1+p2-1)), powers in single
/// precision, quotients in double.
struct Scale {
    double b2[4][4];  ///< b2[r-1][c-1]
    double d;
    Scale(float hx, float hy, Orders o1, Orders o2);
};

// ------------------------------------------------------------------------------ scatter targets

/// Lower triangle of a symmetric matrix of order n in profile storage: (i, k), k <= i, at
/// a(lv(i) + k). Row i holds the columns first_column(i) .. i.
struct SymmetricSink {
    double* a;
    const int* lv;
    int n;

    /// First column stored in row i (i <= n): the profile rows follow one another without gaps.
    int first_column(int i) const { return i == 1 ? 1 : lv[i - 2] + i - lv[i - 1]; }

    /// Adds the symmetric part of K(i, k) = v.
    void add(int i, int k, double v) const {
        if (i == k) a[lv[i - 1] + i - 1] += v;
        else if (i > k) a[lv[i - 1] + k - 1] += 0.5 * v;
        else a[lv[k - 1] + i - 1] += 0.5 * v;
    }
};

/// A21(ld, *): row i an in-plane or rotation freedom, column j a W freedom. With lo, column j
/// holds rows lo(j) .. lo(j) + ld - 1 only; an entry outside them is counted in *outside and
/// not stored.
struct CouplingSink {
    double* a;
    std::ptrdiff_t ld;
    const int* lo = nullptr;
    int* outside = nullptr;

    int first_column(int) const { return 1; }

    /// Adds half of the coupling v between W freedom j and in-plane freedom i.
    void add(int j, int i, double v) const {
        if (!lo) {
            a[(i - 1) + ld * (j - 1)] += 0.5 * v;
        } else if (const std::ptrdiff_t r = i - lo[j - 1]; r >= 0 && r < ld) {
            a[r + ld * (j - 1)] += 0.5 * v;
        } else {
            ++*outside;
        }
    }
};

/// The coupling sink over A21 of record matrix<P> (dense with leading dimension p_ny, or the
/// column bands of the larger size); entries outside the bands are counted in *outside.
template <class P>
CouplingSink coupling_sink(double* a21, int* outside) {
    if constexpr (heap_matrices<P>) return {a21, matrix<P>().a21h, matrix<P>().a21lo, outside};
    else return {a21, P::p_ny};
}

/// Extent of the freedoms of an index map within its matrix: the smallest and largest
/// equation number and the latest first column of the profile rows they address.
struct Extent {
    int lowest = INT_MAX, highest = 0, first = 1;
    bool empty() const { return highest == 0; }
};

/// Extent of count entries e[0], e[stride], ... (entries <= 0 are no freedom). False when an
/// equation number exceeds order; the rows are then not looked at.
template <class Sink>
bool extent_of(const int* e, int count, int stride, int order, const Sink& sink, Extent& x) {
    x = Extent{};
    for (int m = 0; m < count; ++m) {
        const int i = e[m * stride];
        if (i <= 0) continue;
        if (i > order) return false;
        x.lowest = std::min(x.lowest, i);
        x.highest = std::max(x.highest, i);
    }
    for (int m = 0; m < count; ++m)
        if (e[m * stride] > 0) x.first = std::max(x.first, sink.first_column(e[m * stride]));
    return true;
}

/// True when every pair formed from the two extents lies inside the stored profile.
inline bool inside_profile(const Extent& x, const Extent& y) {
    if (x.empty() || y.empty()) return true;
    return std::max(x.first, y.first) <= std::min(x.lowest, y.lowest);
}

/// Order of the matrix numbering the freedoms of function f: nW for W, nUV for the others.
inline int order_of(int f) { return f == 1 ? man.ix : man.iy; }

// ------------------------------------------------------------------------------ outcome

/// Result of an assembly loop: which step failed, for the caller's message and code.
struct Status {
    enum Kind { ok, first_map, second_map, bad_data } kind = ok;
    std::string reason;  ///< listing text for bad_data
    explicit operator bool() const { return kind != ok; }
    static Status fault(std::string why) { return {bad_data, std::move(why)}; }
};

/// Consistency of the records every assembly routine relies on: grid within the preset with
/// positive subdivision lengths, function count, freedom counts within the preset and
/// stiffener counts within their tables. "" when consistent, else the listing text.
template <class P>
std::string check_records();

// ------------------------------------------------------------------------------ subdivisions

/// Element index map of one function on one subdivision with its extent in its matrix.
struct ElementMap {
    int iu[16];  ///< iu(r, c) at iu[(r-1) + 4 (c-1)]
    Extent x;
    int operator()(int r, int c) const { return iu[(r - 1) + 4 * (c - 1)]; }
};

/// One subdivision of the loop, with its index maps fetched on first use.
template <class P>
struct Subdivision {
    int iy, ix;  ///< lower y-line and lower x-line
    int e;       ///< element number (ix - 1)(my - 1) + iy
    float hx, hy;
    ElementMap maps[5];
    bool fetched[5] = {false, false, false, false, false};

    /// Index map of function f, checked against its matrix; nullptr when iuoriv fails (it has
    /// written its message) or, with bad set, when the map does not fit the matrix.
    template <class Sink>
    const ElementMap* map(int f, const Sink& sink, bool& bad) {
        bad = false;
        if (f >= 1 && f <= 5 && fetched[f - 1]) return &maps[f - 1];
        int ier = 0, i = iy, j = ix, fun = f;
        ElementMap m;
        iuoriv<P>(i, j, fun, m.iu, ier);
        if (ier != 0) return nullptr;
        if (!extent_of(m.iu, 16, 1, order_of(f), sink, m.x)) {
            bad = true;
            return nullptr;
        }
        maps[f - 1] = m;
        fetched[f - 1] = true;
        return &maps[f - 1];
    }
};

/// Reason text for an index map that leaves its matrix.
std::string map_outside(const char* what, int line, int segment, int f);

/// Fetches the index maps of functions f1, f2 on subdivision s and checks that their pairs
/// fit the sink; nullptr maps on failure with the status set.
template <class P, class Sink>
Status element_maps(Subdivision<P>& s, int f1, int f2, const Sink& sink, const ElementMap*& m1,
                    const ElementMap*& m2) {
    bool bad = false;
    m1 = s.map(f1, sink, bad);
    if (!m1) return bad ? Status::fault(map_outside("SUBDIVISION", s.iy, s.ix, f1)) : Status{Status::first_map, {}};
    m2 = s.map(f2, sink, bad);
    if (!m2) return bad ? Status::fault(map_outside("SUBDIVISION", s.iy, s.ix, f2)) : Status{Status::second_map, {}};
    if (!inside_profile(m1->x, m2->x)) return Status::fault(map_outside("SUBDIVISION", s.iy, s.ix, f2));
    return {};
}

/// Runs visit(Subdivision&) -> Status over every subdivision, y-lines outer, x-lines inner;
/// stops at the first failure.
template <class P, class Visit>
Status for_each_subdivision(Visit&& visit) {
    auto& g = f07ina<P>();
    for (int iy = 1; iy <= g.my - 1; ++iy) {
        poll_interrupt();
        for (int ix = 1; ix <= g.mx - 1; ++ix) {
            Subdivision<P> s{iy, ix, (ix - 1) * (g.my - 1) + iy, g.a[ix - 1], g.b[iy - 1], {}};
            if (Status st = visit(s)) return st;
        }
    }
    return {};
}

/// Adds P(r,c,r',c') b2(r,c) d b2(r',c') for every pair of freedoms i = m1(r,c) > 0,
/// k = m2(r',c') > 0 (c' innermost) as sink.add(i, k, value).
template <class Sink>
void scatter(const PartialProducts& P, const double (&b2)[4][4], double d, const ElementMap& m1,
             const ElementMap& m2, const Sink& sink) {
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) {
            const int i = m1(r, c);
            if (i <= 0) continue;
            const double u = b2[r - 1][c - 1] * d;
            for (int r2 = 1; r2 <= 4; ++r2)
                for (int c2 = 1; c2 <= 4; ++c2) {
                    const int k = m2(r2, c2);
                    if (k > 0) sink.add(i, k, P(r, c, r2, c2) * u * b2[r2 - 1][c2 - 1]);
                }
        }
}

/// Which terms of the element tables a matrix takes.
enum class Block {
    ww,  ///< A11: W with W
    wn,  ///< A21: W with U, V, BETA or GAMMA, oriented W first
    nn   ///< A22: U, V, BETA, GAMMA among themselves
};

/// Integrates the quadratic-form terms of every element that belong to `block` and scatters
/// them into the sink. Terms with |fquad fa| below 1.0E-20 are skipped.
template <class P, class Sink>
Status assemble_terms(Block block, const Sink& sink);

// ------------------------------------------------------------------------------ stiffeners

/// The stiffeners of one direction and the geometry of their lines.
struct Stiffeners {
    char dir;              ///< 'X' stringers (along x, on y-lines), 'Y' frames (along y, on x-lines)
    int count;             ///< nox or noy
    const int* line;       ///< istx or isty
    const float* stiff;    ///< steifx or steify (4, p_stf): axial, coupling, bending, torsion
    const float* mass;     ///< domx or domy
    const float* polar;    ///< ipax or ipay (record stftor): Ip/A for torsion under load
    int segments;          ///< mx - 1 or my - 1
    const float* length;   ///< a or b: segment lengths along the line
    float along, across;   ///< slope scales along (sa or sb) and across (sb or sa) the line
    int along_function;    ///< U (2) for stringers, V (3) for frames
    float kappa;           ///< curvature coefficient of W in the strain along the line
    const char* name;      ///< "X" or "Y" for kuorkv

    float ea(int k) const { return stiff[4 * (k - 1)]; }
    float s(int m, int k) const { return stiff[(m - 1) + 4 * (k - 1)]; }
};

/// The stiffeners of direction xory ("X" or "Y"); false for any other text.
template <class P>
bool stiffeners(const char* xory, Stiffeners& st);

/// Stiffener-line index map kv(2, 4) of one segment: row 1 along the line, row 2 across it.
struct LineMap {
    int kv[8];
    int operator()(int row, int c) const { return kv[(row - 1) + 2 * (c - 1)]; }
    const int* row(int r) const { return kv + (r - 1); }  ///< stride 2
};

/// Fetches the line map of function f on segment jj of the stiffener on `line`; ier of
/// kuorkv (it has written its message).
template <class P>
int line_map(const Stiffeners& st, int line, int jj, int f, LineMap& m) {
    int ier = 0, ii = line, j = jj, fun = f;
    kuorkv<P>(st.name, ii, j, fun, m.kv, ier);
    return ier;
}

/// Checks that rows r1 of m1 and r2 of m2 address freedoms of the matrix behind sink
/// (functions f1, f2) and that their pairs lie in its profile.
template <class Sink>
bool line_fits(const LineMap& m1, int r1, int f1, const LineMap& m2, int r2, int f2, const Sink& sink) {
    Extent x, y;
    return extent_of(m1.row(r1), 4, 2, order_of(f1), sink, x) &&
           extent_of(m2.row(r2), 4, 2, order_of(f2), sink, y) && inside_profile(x, y);
}

/// Adds value(iq, is) for every pair i = m1(r1, iq) > 0, k = m2(r2, is) > 0 (is outer) as
/// sink.add(i, k, value).
template <class Sink, class Value>
void scatter_line(const LineMap& m1, int r1, const LineMap& m2, int r2, const Sink& sink, Value&& value) {
    for (int is = 1; is <= 4; ++is) {
        const int k = m2(r2, is);
        if (k <= 0) continue;
        for (int iq = 1; iq <= 4; ++iq) {
            const int i = m1(r1, iq);
            if (i > 0) sink.add(i, k, value(iq, is));
        }
    }
}

}  // namespace zeft::assembly
