// Mode-shape file: plot grid, curvature contour and the W field of the selected modes.
//
// Plot symmetry. A code c of isymx (isymy alike) extends the plot beyond the analysed panel
// 0 .. L by a mirror image: |c| = 1 plots 0 .. 2L and mirrors about x = L, |c| = 2 plots
// -L .. L and mirrors about x = 0. Only the half over the panel is computed; the other half is
// its mirror image, negated for a positive code (an anti-symmetry line), unchanged for a
// negative one (a symmetry line).
#include "results/mode_shapes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "assembly/basis.hpp"
#include "assembly/keymatrix.hpp"
#include "io/format.hpp"
#include "io/units.hpp"
#include "solver/lqfit.hpp"
#include "state/array.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

constexpr int plot_unit = 26;
constexpr int max_intervals = 80;  // xplt, yplt and cntr hold 81 points per direction
constexpr int max_modes = 50;      // entries of mdsplt
constexpr float pi = 3.1415927f;

/// Message block of a refused call, in the listing and on standard output.
void refuse(const char* routine, const std::string& reason) {
    for (int unit : {datran.nwrite, io::stdout_unit}) {
        io::write_record(unit, "");
        io::write_record(unit, std::string(" MESSAGE FROM SUBROUTINE ") + routine + ":");
        io::write_record(unit, " " + reason);
    }
}

std::string str(int v) { return std::to_string(v); }

/// Plot grid intervals within 1 .. 80, so that every plot line has its coordinate.
bool plot_intervals_fit(const char* routine) {
    const int npx = plotin.npx, npy = plotin.npy;
    if (npx >= 1 && npx <= max_intervals && npy >= 1 && npy <= max_intervals) return true;
    refuse(routine, "PLOT GRID INTERVALS NPX=" + str(npx) + " NPY=" + str(npy) +
                        " OUTSIDE 1 .. 80, NO PLOT OUTPUT");
    return false;
}

/// Symmetry codes within -2 .. 2.
bool symmetry_fits(const char* routine) {
    if (std::abs(plotin.isymx) <= 2 && std::abs(plotin.isymy) <= 2) return true;
    refuse(routine, "PLOT SYMMETRY CODES ISYMX=" + str(plotin.isymx) + " ISYMY=" +
                        str(plotin.isymy) + " OUTSIDE -2 .. 2, NO PLOT OUTPUT");
    return false;
}

/// Subdivision lines within 2 .. p_rtnds in both directions.
template <class P>
bool panel_grid_fits(const char* routine) {
    const auto& g = f07ina<P>();
    if (g.mx >= 2 && g.mx <= P::p_rtnds && g.my >= 2 && g.my <= P::p_rtnds) return true;
    refuse(routine, "SUBDIVISION LINES MX=" + str(g.mx) + " MY=" + str(g.my) + " OUTSIDE 2 .. " +
                        str(P::p_rtnds) + ", NO PLOT OUTPUT");
    return false;
}

/// Plot coordinates v(1 .. n+1): from -len for |isym| = 2, else from 0, in steps of d summed
/// in single precision.
void lay_out(float* v, int n, int isym, float len, float d) {
    v[0] = std::abs(isym) == 2 ? -len : 0.0f;
    for (int i = 1; i <= n; ++i) v[i] = v[i - 1] + d;
}

/// Index range lo .. hi of the plot lines over the analysed panel, for n intervals.
void computed_range(int isym, int n, int& lo, int& hi) {
    lo = 1;
    hi = n + 1;
    if (std::abs(isym) == 2) lo = n / 2 + 1;
    if (std::abs(isym) == 1) hi = n / 2 + 1;
}

/// Writes one table of values v(i, j) over the plot grid (v(i, j) at xplt(i), yplt(j)),
/// headed by `title` followed by the layout letter: one line per x-line when npy <= npx,
/// otherwise one line per y-line.
void write_table(const std::string& title, const Mat<const float>& v) {
    const int nx = plotin.npx + 1, ny = plotin.npy + 1;
    const bool by_x = plotin.npy <= plotin.npx;
    io::write_record(plot_unit, title + (by_x ? "X" : "Y") + " increases from line to line");

    const float* across = by_x ? plotfls.yplt : plotfls.xplt;
    const float* along = by_x ? plotfls.xplt : plotfls.yplt;
    const int n_across = by_x ? ny : nx, n_lines = by_x ? nx : ny;
    constexpr const char* row = "(1X,82(E12.4,1X))";

    std::vector<fmt::Item> items;
    items.reserve(static_cast<std::size_t>(n_across) + 1);
    items.emplace_back(0.0f);
    for (int k = 0; k < n_across; ++k) items.emplace_back(across[k]);
    io::writef(plot_unit, row, items);
    for (int l = 1; l <= n_lines; ++l) {
        items.clear();
        items.emplace_back(along[l - 1]);
        for (int k = 1; k <= n_across; ++k) items.emplace_back(by_x ? v(l, k) : v(k, l));
        io::writef(plot_unit, row, items);
    }
}

/// Subdivision holding one plot coordinate: index e, local coordinate t in [0, 1], length h.
struct Strip {
    int e;
    float t, h;
};

/// Finds the first subdivision e of len(1 .. n) whose far end len(1) + .. + len(e) is at or
/// beyond p. A coordinate beyond the panel end (by rounding of the plot steps) keeps the strip
/// found for the previous point; one before the panel start by rounding (the running plot
/// coordinate of a symmetry line at 0 can land a few ulps below it) lies on the start edge.
void locate(const float* len, int n, float p, Strip& s) {
    float end = 0.0f;
    for (int e = 1; e <= n; ++e) {
        const float start = end;
        end = end + len[e - 1];
        if (end >= p) {
            const float t = (p - start) / len[e - 1];
            s = {e, e == 1 && t < 0.0f ? 0.0f : t, len[e - 1]};
            return;
        }
    }
}

}  // namespace

template <class P>
void pltmsh() {
    // Odd interval counts are made even for the mirrored halves; a single interval (two
    // points, the panel's edges) stays as it is.
    for (int* n : {&plotin.npx, &plotin.npy}) {
        if (*n % 2 != 0 && *n > 1) *n -= 1;
        if (*n > max_intervals) *n = max_intervals;
    }
    if (!plot_intervals_fit("PLTMSH") || !symmetry_fits("PLTMSH") || !panel_grid_fits<P>("PLTMSH"))
        return;

    const auto& g = f07ina<P>();
    float lx = 0.0f, ly = 0.0f;
    for (int e = 0; e < g.mx - 1; ++e) lx = lx + g.a[e];
    for (int e = 0; e < g.my - 1; ++e) ly = ly + g.b[e];
    plotfls.lx = lx;
    plotfls.ly = ly;
    plotfls.dx = (plotin.isymx != 0 ? 2.0f * lx : lx) / static_cast<float>(plotin.npx);
    plotfls.dy = (plotin.isymy != 0 ? 2.0f * ly : ly) / static_cast<float>(plotin.npy);
    lay_out(plotfls.xplt, plotin.npx, plotin.isymx, lx, plotfls.dx);
    lay_out(plotfls.yplt, plotin.npy, plotin.isymy, ly, plotfls.dy);
}

template <class P>
void cntour() {
    if (!plot_intervals_fit("CNTOUR") || !symmetry_fits("CNTOUR")) return;

    // Shell surface z = 0.5 (b11 x^2 + b12 x y + b22 y^2) from the curvature couplings of the
    // membrane strains (b11 = -1/rx, b22 = -1/ry, b12 = -2/rxy).
    const float b11 = f01eps.f(1, 2), b22 = f01eps.f(2, 2), b12 = f01eps.f(3, 3);
    const double lx = plotfls.lx, ly = plotfls.ly;

    // Corners of the plotted area, in the order (0,0), (L,0), (0,L), (L,L) of the panel.
    double x[4] = {0.0, lx, 0.0, lx}, y[4] = {0.0, 0.0, ly, ly};
    if (std::abs(plotin.isymx) == 1) x[1] = x[3] = 2.0 * lx;
    if (std::abs(plotin.isymx) == 2) x[0] = x[2] = -lx;
    if (std::abs(plotin.isymy) == 1) y[2] = y[3] = 2.0 * ly;
    if (std::abs(plotin.isymy) == 2) y[0] = y[1] = -ly;

    // Plane through the corner heights by least squares: design rows (x, y, 1). lqfit returns
    // c minimising |Phi c + z|, so c1 x + c2 y + c3 is the negated plane.
    double design[12], z[4], c[3];
    const Mat<double> D{design, 4};
    for (int r = 1; r <= 4; ++r) {
        D(r, 1) = x[r - 1];
        D(r, 2) = y[r - 1];
        D(r, 3) = 1.0;
        const double xr = x[r - 1], yr = y[r - 1];
        z[r - 1] = 0.5 * (b11 * (xr * xr) + b12 * xr * yr + b22 * (yr * yr));
    }
    int ij = 3, k = 4, m = 4;
    lqfit(design, ij, k, m, z, c);

    const Mat<float> cntr{plotfls.cntr, 81};
    for (int i = 1; i <= plotin.npx + 1; ++i)
        for (int j = 1; j <= plotin.npy + 1; ++j) {
            const float xp = plotfls.xplt[i - 1], yp = plotfls.yplt[j - 1];
            const float height = 0.5f * (b11 * (xp * xp) + b12 * xp * yp + b22 * (yp * yp));
            cntr(i, j) = static_cast<float>(static_cast<double>(height) + c[0] * xp + c[1] * yp + c[2]);
        }

    io::rewind(plot_unit);
    io::write_record(plot_unit, "Next line: Nmbr of grid points in x- and y-direction");
    io::writef(plot_unit, "(I4,1X,I4)", {plotin.npx, plotin.npy});
    write_table("#CONTOUR. ", Mat<const float>{plotfls.cntr, 81});
}

namespace {

/// False (ier = bad_input, with a message) when the plot grid, the symmetry codes, the panel
/// grid, its subdivision lengths or the number of modes do not allow mode shapes.
template <class P>
bool modes_admissible(int& ier) {
    ier = err::modes::bad_input;
    if (!plot_intervals_fit("MODES") || !symmetry_fits("MODES") || !panel_grid_fits<P>("MODES")) return false;
    const auto& g = f07ina<P>();
    const bool lengths_positive = std::all_of(g.a, g.a + g.mx - 1, [](float h) { return h > 0.0f; }) &&
                                  std::all_of(g.b, g.b + g.my - 1, [](float h) { return h > 0.0f; });
    if (!lengths_positive || !(plotfls.lx > 0.0f) || !(plotfls.ly > 0.0f)) {
        refuse("MODES", "SUBDIVISION LENGTHS OR PLOT GRID NOT POSITIVE (PLTMSH FIRST), NO MODE SHAPES");
        return false;
    }
    if (plotin.nmod > max_modes) {
        refuse("MODES", "NUMBER OF MODES TO PLOT NMOD=" + str(plotin.nmod) + " EXCEEDS 50, NO MODE SHAPES");
        return false;
    }
    ier = err::ok;
    return true;
}

/// Slope freedoms are derivatives with respect to the scaled coordinates x pi/LX and
/// y pi/LY, so the shape function of map position (p, q) (p the Hermite function in y, q the
/// one in x) carries bpq(p, q) = (pi/LY if p even) (pi/LX if q even), times the strip
/// lengths hy, hx of its slope directions.
struct SlopeScale {
    float bpq[4][4];
    SlopeScale(float lx, float ly) {
        for (int p = 1; p <= 4; ++p)
            for (int q = 1; q <= 4; ++q) {
                const bool ye = p % 2 == 0, xe = q % 2 == 0;
                bpq[p - 1][q - 1] = ye && xe ? 9.869605f / (ly * lx) : ye ? pi / ly : xe ? pi / lx : 1.0f;
            }
    }
};

/// W of eigenvector `mode` (column of x) at local coordinates sx.t, sy.t of subdivision
/// (sy.e, sx.e): the sum over the 16 shape functions of its freedoms. False (with ier and a
/// message) when an index map, a shape function or a key-matrix entry fails.
template <class P>
bool w_at(const Mat<const double>& x, int mode, const SlopeScale& scale, Strip sx, Strip sy, float& w, int& ier) {
    int iu[16], ifun = 1;
    iuoriv<P>(sy.e, sx.e, ifun, iu, ier);
    if (ier != 0) {
        for (int unit : {io::stdout_unit, datran.nwrite}) {
            io::write_record(unit, " Message from subroutine MODES:");
            io::write_record(unit, " Error return from IUORIV");
        }
        return false;
    }
    const Mat<const int> IU{iu, 4};
    float sum = 0.0f;
    for (int p = 1; p <= 4; ++p) {
        float valy = 0.0f;
        phi(p, sy.t, valy, ier);
        if (ier != 0) {
            io::write_record(io::stdout_unit, "Message from SUBROUTINE MODES:");
            io::writef(io::stdout_unit, "(' Error return from PHI. Call/Args: ',2I3,F8.4)", {1, p, sy.t});
            return false;
        }
        for (int q = 1; q <= 4; ++q) {
            const int row = IU(p, q);
            if (row <= 0) continue;  // suppressed freedom, or W not active
            if (row > P::p_nx) {
                refuse("MODES", "KEY MATRIX ENTRY " + str(row) + " OUTSIDE THE EIGENVECTORS, NO FURTHER MODE SHAPES");
                ier = err::modes::bad_input;
                return false;
            }
            float valx = 0.0f;
            phi(q, sx.t, valx, ier);
            if (ier != 0) {
                io::write_record(io::stdout_unit, "Message from SUBROUTINE MODES:");
                io::writef(io::stdout_unit, "(' Error return from PHI. Call/Args: ',2I3,F8.4)", {2, q, sx.t});
                return false;
            }
            const float factor = scale.bpq[p - 1][q - 1] * (p % 2 == 0 ? sy.h : 1.0f) * (q % 2 == 0 ? sx.h : 1.0f);
            sum = static_cast<float>(sum + static_cast<double>(factor) * x(row, mode) * static_cast<double>(valx) *
                                               static_cast<double>(valy));
        }
    }
    w = sum;
    return true;
}

/// The computed part w(ixa .. ixm, iya .. iym) scaled so that its largest magnitude is scal;
/// a vanishing mode stays zero.
void scale_to_scal(const Mat<float>& w, int ixa, int ixm, int iya, int iym) {
    float big = 0.0f;
    for (int i = ixa; i <= ixm; ++i)
        for (int j = iya; j <= iym; ++j) big = std::max(big, std::abs(w(i, j)));
    if (big > 0.0f) {
        const float sclf = plotin.scal / big;
        for (int i = ixa; i <= ixm; ++i)
            for (int j = iya; j <= iym; ++j) w(i, j) = w(i, j) * sclf;
    }
}

/// Mirror images across the symmetry lines: negated across an anti-symmetry line (positive
/// code); code 2 mirrors onto the first half, code 1 onto the second.
void mirror(const Mat<float>& w, int npx, int npy, int iya, int iym) {
    const float sx_sign = plotin.isymx > 0 ? -1.0f : 1.0f;
    for (int i = 1; i <= npx / 2; ++i)
        for (int j = iya; j <= iym; ++j) {
            if (std::abs(plotin.isymx) == 2) w(i, j) = sx_sign * w(npx + 2 - i, j);
            if (std::abs(plotin.isymx) == 1) w(npx + 2 - i, j) = sx_sign * w(i, j);
        }
    const float sy_sign = plotin.isymy > 0 ? -1.0f : 1.0f;
    for (int i = 1; i <= npx + 1; ++i)
        for (int j = 1; j <= npy / 2; ++j) {
            if (std::abs(plotin.isymy) == 2) w(i, j) = sy_sign * w(i, npy + 2 - j);
            if (std::abs(plotin.isymy) == 1) w(i, npy + 2 - j) = sy_sign * w(i, j);
        }
}

}  // namespace

template <class P>
void modes(int& ier) {
    if (!modes_admissible<P>(ier)) return;
    const auto& g = f07ina<P>();
    const int nxs = g.mx - 1, nys = g.my - 1;
    const int npx = plotin.npx, npy = plotin.npy;
    const SlopeScale scale(plotfls.lx, plotfls.ly);

    int ixa, ixm, iya, iym;
    computed_range(plotin.isymx, npx, ixa, ixm);
    computed_range(plotin.isymy, npy, iya, iym);

    // Eigenvectors of this run: columns 1 .. neigrq of x(p_nx, p_ngit).
    const int computed = std::min(man.neigrq, P::p_ngit);
    const Mat<const double> x{vectrs<P>().x, P::p_nx};

    std::vector<float> store(static_cast<std::size_t>(npx + 1) * (npy + 1));
    const Mat<float> w{store.data(), npx + 1};

    for (int k = 1; k <= plotin.nmod; ++k) {
        const int mode = plotin.mdsplt[k - 1];
        if (mode < 1 || mode > computed) {
            io::write_record(datran.nwrite, "");
            io::write_record(datran.nwrite, " MESSAGE FROM SUBROUTINE MODES:");
            io::writef(datran.nwrite, "(' SELECTED MODE',I4,' IS NOT AMONG THE',I3,' COMPUTED MODES, NOT PLOTTED')",
                       {mode, computed});
            continue;
        }
        std::fill(store.begin(), store.end(), 0.0f);

        // The computed part, point by point; start from the far panel edges, the strips a
        // point beyond the edges falls back to.
        Strip sx{nxs, 1.0f, g.a[nxs - 1]}, sy{nys, 1.0f, g.b[nys - 1]};
        for (int i = ixa; i <= ixm; ++i) {
            locate(g.a, nxs, plotfls.xplt[i - 1], sx);
            for (int j = iya; j <= iym; ++j) {
                locate(g.b, nys, plotfls.yplt[j - 1], sy);
                if (!w_at<P>(x, mode, scale, sx, sy, w(i, j), ier)) return;
            }
        }
        scale_to_scal(w, ixa, ixm, iya, iym);
        mirror(w, npx, npy, iya, iym);

        std::string title = fmt::format("(' MODE ',I2,'. ')", {mode}).front();
        write_table(title, Mat<const float>{store.data(), npx + 1});
    }
}

#define ZEFT_MODE_SHAPES_INST(P) \
    template void pltmsh<P>();   \
    template void cntour<P>();   \
    template void modes<P>(int&);
ZEFT_FOR_EACH_SIZE(ZEFT_MODE_SHAPES_INST)
#undef ZEFT_MODE_SHAPES_INST

}  // namespace zeft
