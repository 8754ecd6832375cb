// Result blocks of an eigen analysis: statistics, eigenvalues, forces, condensed matrix,
// eigenvectors.
#include "results/eigen_listing.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assembly/assembly.hpp"
#include "io/format.hpp"
#include "io/units.hpp"
#include "state/array.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// x-lines (or stiffeners) per block of a force table.
constexpr int block_width = 6;

std::string str(long long v) { return std::to_string(v); }

/// True when every node carries the same variable and the same fixed membrane forces.
template <class P>
bool uniform_forces() {
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    const int nodes = f07ina<P>().mx * f07ina<P>().my;
    for (int c = 1; c <= 3; ++c)
        for (int k = 2; k <= nodes; ++k)
            if (!(std::abs(pv(k, c) - pv(1, c)) < 1.0E-20f) || !(std::abs(pf(k, c) - pf(1, c)) < 1.0E-20f))
                return false;
    return true;
}

/// membraneforces(i, c) of record pythres (p_ngit x 5).
double& membraneforce(int i, int c) { return pythres.membraneforces[(i - 1) + 55 * (c - 1)]; }

/// Header of a block of a force table: the labels "IX=" of its n columns.
void column_header(const std::vector<int>& labels) {
    std::vector<fmt::Item> items(labels.begin(), labels.end());
    io::writef(datran.nwrite, "(/11X," + str(static_cast<long long>(labels.size())) + "(10X,'IX=',I2,4X))", items);
}

/// One line of a force table: "IY=" with its label, then the values.
void table_line(int label, const std::vector<float>& values) {
    std::vector<fmt::Item> items{label};
    items.insert(items.end(), values.begin(), values.end());
    io::writef(datran.nwrite, "(1X,7X,'IY=',I1," + str(static_cast<long long>(values.size())) + "E19.7)", items);
}

/// The membrane forces N = lambda Nvar + Nfix of every node at eigenvalue i, component by
/// component in blocks of six x-lines; membraneforces(i, c) keeps the first value of the last
/// line of each block (the last block's is what remains).
template <class P>
void list_membrane_forces(int i, float lambda) {
    auto& g = f07ina<P>();
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    static const char* const name[3] = {"X ", "XY", "Y "};
    for (int c = 1; c <= 3; ++c) {
        io::writef(datran.nwrite, "(/10X,'MEMBRANE FORCES ',A2,1X)", {name[c - 1]});
        for (int ix0 = 1; ix0 <= g.mx; ix0 += block_width) {
            const int n = std::min(block_width, g.mx - ix0 + 1);
            std::vector<int> lines(n);
            for (int k = 0; k < n; ++k) lines[k] = ix0 + k;
            column_header(lines);
            std::vector<float> v(n);
            for (int iy = 1; iy <= g.my; ++iy) {
                for (int k = 0; k < n; ++k) {
                    const int node = g.leitm(iy, ix0 + k);
                    v[k] = pv(node, c) * lambda + pf(node, c);
                }
                table_line(iy, v);
            }
            membraneforce(i, c) = v[0];
            io::writef(datran.nwrite, "(///)");
        }
    }
}

/// The axial forces of the stiffeners at eigenvalue i, node by node as the geometric
/// stiffness B takes them (stiffener_node_force).
/// Stringers: one line per stringer, one column per x-line; frames: one column per frame,
/// one line per y-line. membraneforces(i, 4) and (i, 5) keep the first value of the last line
/// of the x- and y-stiffener tables.
template <class P>
void list_stiffener_forces(int i, float lambda) {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    const auto force = [&](bool stringer, int k, int iy, int ix) {
        return stiffener_node_force<P>(stringer, k, iy, ix, lambda);
    };
    const int nw = datran.nwrite;

    io::writef(nw, "(/'0FORCES IN STIFENERS AT THE',I5,' . EIGENVALUE')", {i});
    if (d.nox > 0) {
        io::writef(nw, "('0',10X,'STIFFENERS IN X-DIRECTION')");
        for (int ix0 = 1; ix0 <= g.mx; ix0 += block_width) {
            const int n = std::min(block_width, g.mx - ix0 + 1);
            std::vector<int> lines(n);
            for (int c = 0; c < n; ++c) lines[c] = ix0 + c;
            column_header(lines);
            std::vector<float> v(n);
            for (int k = 1; k <= d.nox; ++k) {
                for (int c = 0; c < n; ++c) v[c] = force(true, k, d.istx[k - 1], ix0 + c);
                table_line(d.istx[k - 1], v);
                membraneforce(i, 4) = v[0];
            }
        }
    }
    if (d.noy > 0) {
        io::writef(nw, "('0',10X,'STIFFENERS IN Y-DIRECTION')");
        for (int k0 = 1; k0 <= d.noy; k0 += block_width) {
            const int n = std::min(block_width, d.noy - k0 + 1);
            std::vector<int> lines(d.isty + (k0 - 1), d.isty + (k0 - 1 + n));
            column_header(lines);
            std::vector<float> v(n);
            for (int iy = 1; iy <= g.my; ++iy) {
                for (int c = 0; c < n; ++c) v[c] = force(false, k0 + c, iy, lines[c]);
                table_line(iy, v);
            }
            membraneforce(i, 5) = v[0];
        }
    }
}

}  // namespace

template <class P>
float stiffener_node_force(bool stringer, int k, int iy, int ix, float lambda) {
    auto& d = f07dis<P>();
    const int node = f07ina<P>().leitm(iy, ix);
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    const float nx = pv(node, 1) * lambda + pf(node, 1);
    const float nxy = pv(node, 2) * lambda + pf(node, 2);
    const float ny = pv(node, 3) * lambda + pf(node, 3);
    return stiffener_force<P>(stringer, iy, stringer ? d.sx(1, k) : d.sy(1, k), nx, nxy, ny);
}

#define ZEFT_NODE_FORCE_INST(P) template float stiffener_node_force<P>(bool, int, int, int, float);
ZEFT_FOR_EACH_SIZE(ZEFT_NODE_FORCE_INST)
#undef ZEFT_NODE_FORCE_INST

void eigvpr(int& unit, double* x, int& m, int& neiga) {
    Mat<const double> X{x, std::max(m, 1)};
    for (int first = 1; first <= neiga; first += 6) {
        const int last = std::min(first + 5, neiga), k = last - first + 1;
        std::vector<fmt::Item> items;
        for (int v = first; v <= last; ++v) items.emplace_back(v);
        io::writef(unit, "('0',4X,'DOF',7X," + std::to_string(k) + "('EIGENMODE ',I2,5X))", items);
        const std::string row =
            "(' ',I6,E21.7" + (k > 1 ? "," + std::to_string(k - 1) + "E17.7)" : std::string(")"));
        for (int i = 1; i <= m; ++i) {
            items.clear();
            items.emplace_back(i);
            for (int v = first; v <= last; ++v) items.emplace_back(X(i, v));
            io::writef(unit, row, items);
        }
    }
}


namespace listing {

template <class P>
void eigenvalues(int ip, int jac, double epsiln) {
    const int nw = datran.nwrite;
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    io::writef(nw,
               "(///'1 STATISTICS OF INVERSE POWER METHOD:'//5X,'IP=',I3,', JAC =',I3/5X,"
               "'MAXIMUM CONTAMINATION OF HIGHER EIGENVECTORS BY LOWER ONES: EPSILN =',E12.4//)",
               {ip, jac, epsiln});
    io::writef(nw, "(' COMPUTED EIGENVALUES:'/)");

    const bool uniform = uniform_forces<P>();
    for (int i = 1; i <= man.neigrq; ++i) {
        const double lam = valus.elam[i - 1];
        if (uniform)
            io::writef(nw, "(1X,I3,'.   LAMBDA=',4E19.6)",
                       {i, lam, pv(1, 1) * lam + pf(1, 1), pv(1, 2) * lam + pf(1, 2), pv(1, 3) * lam + pf(1, 3)});
        else
            io::writef(nw, "(1X,I5,'. EIGENVALUE =',E19.6)", {i, lam});
    }
}

template <class P>
void forces_per_eigenvalue() {
    const int nw = datran.nwrite;
    auto& d = f07dis<P>();
    for (int i = 1; i <= man.neigrq; ++i) {
        const float lambda = static_cast<float>(valus.elam[i - 1]);
        io::writef(nw, "(/'0MEMBRANE FORCES AT THE ',I5,' . EIGENVALUE')", {i});
        list_membrane_forces<P>(i, lambda);
        if (d.nox > 0 || d.noy > 0) list_stiffener_forces<P>(i, lambda);
        io::writef(nw, "(///)");
    }
}

void condensed_matrix(const double* a11, long long count) {
    const int nw = datran.nwrite;
    io::writef(nw, "(35X,'UPDATED MATRIX A11')");
    for (long long k = 0; k < count; k += 7) {
        std::vector<fmt::Item> items(a11 + k, a11 + std::min(count, k + 7));
        io::writef(nw, "(1X,7D17.6)", items);
    }
}

void in_plane_vectors(const double* u, int iy, int neigrq, bool heading) {
    const int nw = datran.nwrite;
    if (heading)
        io::writef(nw, "(/1X,'X2-EIGENVECTORS DESCRIBING TANGENTIAL DISPLACEMENTS'/1X,'AND TRANSVERSE SHEAR STRAINS')");
    if (!u) return;
    const std::size_t n = static_cast<std::size_t>(iy);
    for (int k = 1; k <= neigrq; ++k) {
        io::writef(nw, "('0 EIGENMODE ',I2)", {k});
        const double* uk = u + n * (k - 1);
        for (std::size_t r = 0; r < n; r += 5) {
            std::vector<fmt::Item> items(uk + r, uk + std::min(n, r + 5));
            io::writef(nw, "(1X,5D20.8)", items);
        }
    }
}

void frequencies(int ip, int jac, double epsiln) {
    const int nw = datran.nwrite;
    const double* elam = valus.elam;
    io::writef(nw,
               "('1 STATISTICS OF INVERSE POWER METHOD:'//5X,'IP=',I3,', JAC =',I3/5X,"
               "'MAXIMUM CONTAMINATION OF HIGHER EIGENVECTORS BY LOWER ONES: EPSILN =',D12.4)",
               {ip, jac, epsiln});

    // A negative eigenvalue (an unstable stiffness) has no real frequency: NaN is listed.
    constexpr double pi = 3.141592653589793;
    io::writef(nw, "(///'0 COMPUTED EIGENVALUES :'///)");
    for (int i = 1; i <= man.neigrq; ++i) {
        const double herz = std::sqrt(elam[i - 1]) / (2.0 * pi);
        io::writef(nw, "(' ',7X,' EIGENVALUE',I3,':',D14.6,' =',D14.6,' HZ')", {i, elam[i - 1], herz});
    }
}

void w_eigenvectors(double* x, int ix, int neigrq, bool vibration) {
    int unit = datran.nwrite;
    if (vibration) io::writef(unit, "('1X-EIGENVECTORS DESCRIBING NORMAL DISPLACEMENT W')");
    else io::writef(unit, "(/1X,'X-EIGENVECTORS DESCRIBING NORMAL DISPLACEMENT W')");
    eigvpr(unit, x, ix, neigrq);
}

#define ZEFT_EIGEN_LISTING_INST(P)                          \
    template void eigenvalues<P>(int, int, double);         \
    template void forces_per_eigenvalue<P>();
ZEFT_FOR_EACH_SIZE(ZEFT_EIGEN_LISTING_INST)
#undef ZEFT_EIGEN_LISTING_INST

}  // namespace listing

}  // namespace zeft
