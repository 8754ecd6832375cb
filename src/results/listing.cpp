// Input echo of the analysis listing.
#include "results/listing.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "io/format.hpp"
#include "io/units.hpp"

namespace zeft {

namespace listing {

namespace {

/// Row-by-row expansion of a packed symmetric 3x3 matrix (11, 12, 22, 13, 23, 33).
constexpr int idhh[9] = {1, 2, 4, 2, 3, 5, 4, 5, 6};

/// Edge names in the column order of ki(7, 4), left-aligned in 8 columns.
constexpr const char* edge_name[4] = {"Y = 0   ", "X = 0   ", "Y = LY  ", "X = LX  "};

/// Writes a message block of `routine` to the listing and to standard output.
void refuse(std::string_view routine, const std::string& reason) {
    std::string name(routine);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::vector<std::string> block = {"", " MESSAGE FROM SUBROUTINE " + name + ":", " " + reason,
                                            " INPUT ECHO NOT WRITTEN"};
    for (int unit : {datran.nwrite, io::stdout_unit})
        for (const auto& r : block) io::write_record(unit, r);
}

}  // namespace

void empty_lines(int unit, int n) {
    for (int i = 0; i < n; ++i) io::write_record(unit, "");
}

void to_radians(F07ang& ang) {
    // Multiply first, then divide, both in single precision: later users rely on exactly
    // these values (90 degrees become 1.5707964).
    ang.alfax = ang.alfax * 3.1415927f / 180.0f;
    ang.alfay = ang.alfay * 3.1415927f / 180.0f;
}

template <class P>
bool echo_admissible(std::string_view routine, bool stiffener_counts) {
    using std::to_string;
    auto& ina = f07ina<P>();
    const int mx = ina.mx, my = ina.my;
    if (mx < 2 || mx > P::p_rtnds || my < 2 || my > P::p_rtnds) {
        refuse(routine, "NUMBER OF SUBDIVISION LINES OUTSIDE 2 .. " + to_string(P::p_rtnds) +
                            ":  MX = " + to_string(mx) + "  MY = " + to_string(my));
        return false;
    }
    if (ina.knfun < 1 || ina.knfun > 5) {
        refuse(routine, "NUMBER OF FUNCTIONAL DOFS OUTSIDE 1 .. 5:  KNFUN = " + to_string(ina.knfun));
        return false;
    }
    if (f07ind.numsup > P::p_nsup) {
        refuse(routine, "NUMBER OF SUPPRESSED FREEDOMS ABOVE " + to_string(P::p_nsup) +
                            ":  NUMSUP = " + to_string(f07ind.numsup));
        return false;
    }
    for (int ix = 1; ix <= mx; ++ix)
        for (int iy = 1; iy <= my; ++iy) {
            const int node = ina.leitm(iy, ix);
            if (node < 1 || node > P::p_nodes) {
                refuse(routine, "NODE NUMBER OUTSIDE 1 .. " + to_string(P::p_nodes) + " AT IY = " +
                                    to_string(iy) + ", IX = " + to_string(ix) + ":  LEIT = " +
                                    to_string(node));
                return false;
            }
        }
    if (stiffener_counts) {
        const auto& dis = f07dis<P>();
        for (auto [dir, n] : {std::pair{'X', dis.nox}, std::pair{'Y', dis.noy}})
            if (n > P::p_stf) {
                refuse(routine, std::string("NUMBER OF DISCRETE STIFFENERS IN ") + dir +
                                    "'-DIRECTION ABOVE " + to_string(P::p_stf) + ":  " +
                                    (dir == 'X' ? "NOX" : "NOY") + " = " + to_string(n));
                return false;
            }
    }
    return true;
}

void boundary_conditions(int unit, F07ind& ind, const int* ku, int knfun) {
    empty_lines(unit, 3);
    io::writef(unit, "(1X,'BOUNDARY CONDITIONS, EDGE-WISE')");
    empty_lines(unit, 1);
    io::writef(unit, "(7X,'0 = FIXED')");
    io::writef(unit, "(7X,'- = FREE')");
    io::writef(unit, "(7X,'* = NOT SPECIFIED')");
    empty_lines(unit, 1);
    io::writef(unit, "(7X,'BOUNDARY !',5X,'W',5X,'U',5X,'V',3X,'BETA  GAMMA  W,X OR W,Y')");
    io::writef(unit, "(7X,A)", {std::string(9, '-') + "+" + std::string(44, '-')});

    // The code table ki(7, 4), edges in the order y = 0, x = 0, y = ly, x = lx.
    const int* ki[4] = {ind.bndy0, ind.bndx0, ind.bndyl, ind.bndxl};
    for (int j = 1; j <= 4; ++j) {
        const int* codes = ki[j - 1];
        const int kind = codes[0];
        if (kind < 0) {
            io::writef(unit, "(7X,1X,A8,'!',15X,'SYMMETRY')", {edge_name[j - 1]});
        } else if (kind > 0) {
            io::writef(unit, "(7X,1X,A8,'!',12X,'ANTI-SYMMETRY')", {edge_name[j - 1]});
        } else {
            // Marks of W, U, V, BETA, GAMMA and the edge-normal slope of W.
            const char* mark[6] = {"-", "-", "-", "-", "-", "-"};
            for (int l = 2; l <= 7; ++l) {
                const int k = codes[l - 1];
                if (k >= 1 && k <= 6) mark[k - 1] = "0";
            }
            // Functions not taking part are not specified, whatever the codes say.
            auto unspecified = [&](int first, int last) {
                for (int m = first; m <= last; ++m) mark[m - 1] = "*";
            };
            if (knfun == 1) unspecified(2, 5);
            if (knfun == 3 && ku[1] == 2) unspecified(4, 5);
            if (knfun == 3 && ku[1] != 2) unspecified(2, 3);
            io::writef(unit, "(7X,1X,A8,'!',5A6,A10)",
                       {edge_name[j - 1], mark[0], mark[1], mark[2], mark[3], mark[4], mark[5]});
        }
    }
}

void suppressed_freedoms(int unit, F07ind& ind) {
    empty_lines(unit, 3);
    io::writef(unit, "(1X,'NUMBER OF SUPPRESSED FREEDOMS:',I7)", {ind.numsup});
    empty_lines(unit, 1);
    io::writef(unit, "(5X,'NODE',10X,'FUNCTION CODE NUMBER',7X,'KIND OF DERIVATIVE')");
    io::writef(unit, "(2X,'NODY  NODX',7X,'1=W,2=U,3=V,4=BETA,5=GAMMA',4X,'1=F,2=FX,3=FY,4=FXY')");
    const Mat<int> sup = ind.idesup_m();
    for (int i = 1; i <= ind.numsup; ++i)
        io::writef(unit, "(' ',I4,I6,16X,I3,23X,I3)", {sup(3, i), sup(4, i), sup(1, i), sup(2, i)});
}

void functional_dofs(int unit, const int* ku, int knfun) {
    empty_lines(unit, 3);
    std::vector<fmt::Item> codes(ku, ku + std::clamp(knfun, 0, 5));
    io::writef(unit, "(1X,'CODE NUMBERS OF THE FUNCTIONAL DOFS INVOLVED:',5I3)", codes);
}

void subdivision_lines(int unit, int mx, int my) {
    empty_lines(unit, 3);
    io::writef(unit, "(1X,'NUMBER OF SUBDIVISION LINES:   IN X-DIRECTION',I5)", {mx});
    io::writef(unit, "(32X,'IN Y-DIRECTION',I5)", {my});
}

void subdivision_lengths(int unit, const float* a, const float* b, int mx, int my) {
    const int mxm = mx - 1, mym = my - 1;
    empty_lines(unit, 2);
    io::writef(unit, "(1X,'SUBDIVISION LENGTHS IN   X-DIRECTION',9X,'Y-DIRECTION')");
    for (int i = 1; i <= std::min(mxm, mym); ++i)
        io::writef(unit, "(21X,F15.5,5X,F15.5)", {a[i - 1], b[i - 1]});
    for (int i = std::min(mxm, mym) + 1; i <= std::max(mxm, mym); ++i) {
        if (mxm > mym)
            io::writef(unit, "(21X,F15.5)", {a[i - 1]});
        else
            io::writef(unit, "(41X,F15.5)", {b[i - 1]});
    }
    io::writef(unit, "(24X,A)", {std::string(35, '-')});
}

void edge_lengths(int unit, const float* a, const float* b, int mx, int my) {
    float edgx = 0.0f, edgy = 0.0f;
    for (int i = 0; i < mx - 1; ++i) edgx += a[i];
    for (int i = 0; i < my - 1; ++i) edgy += b[i];
    io::writef(unit, "(1X,'EDGE LENGTHS',8X,F15.5,5X,F15.5)", {edgx, edgy});
}

void angles_of_obliqueness(int unit, F07ang& ang) {
    empty_lines(unit, 3);
    io::writef(unit, "(1X,'ANGLES OF OBLIQUENESS',6X,'X''-X:',F9.4)", {ang.alfax});
    io::writef(unit, "(28X,'Y''-Y:',F9.4)", {ang.alfay});
    to_radians(ang);
}

void shell_curvature(int unit, const F07inb& radii) {
    empty_lines(unit, 3);
    io::writef(unit, "(1X,'SHELL CURVATURE:')");
    const float r[3] = {radii.rx, radii.ry, radii.rxy};
    const char* label[3] = {"RX  = ", "RY  = ", "RXY = "};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(r[i]) > 1.0E19f)
            io::writef(unit, "(7X,A,3X,'INFINITE')", {label[i]});
        else
            io::writef(unit, "(7X,A,E14.7)", {label[i], r[i]});
    }
}

void stiffness_header(int unit) {
    empty_lines(unit, 4);
    io::writef(unit, "(1X,'STIFFNESS COEFFICIENTS')");
    empty_lines(unit, 1);
    io::writef(unit, "(7X,'MEMBRANE')");
}

void title0(int unit, std::string_view text) { io::writef(unit, "('0',6X,A)", {text}); }

void packed3(int unit, const float* e) {
    for (int row = 0; row < 3; ++row) {
        const int* h = idhh + 3 * row;
        io::writef(unit, "(1X,3E20.7)", {e[h[0] - 1], e[h[1] - 1], e[h[2] - 1]});
    }
    empty_lines(unit, 2);
}

void packed2(int unit, const float* t) {
    io::writef(unit, "(1X,2E20.7)", {t[0], t[1]});
    io::writef(unit, "(1X,2E20.7)", {t[1], t[2]});
    empty_lines(unit, 2);
}

void discrete_stiffnesses(int unit, char direction, int n, const int* lines, const float* steif) {
    empty_lines(unit, 3);
    io::writef(unit, "(1X,A)", {std::string("DISCRETE STIFFNESSES IN ") + direction + "'-DIRECTION"});
    empty_lines(unit, 2);
    io::writef(unit, "(7X,'NO OF',6X,'!',34X,'STIFFNESSES:')");
    io::writef(unit, "(1X,'SUBDIVISION LINE !',9X,'AXIAL',13X,'COUPLING',11X,'BENDING',12X,'TORSION')");
    io::writef(unit, "(1X,A)", {std::string(17, '-') + "+" + std::string(75, '-')});
    const Mat<const float> s{steif, 4};
    for (int i = 1; i <= n; ++i)
        io::writef(unit, "(' ',I9,8X,'!',4E19.7)", {lines[i - 1], s(1, i), s(2, i), s(3, i), s(4, i)});
}

template <class P>
void panel_description(int unit) {
    auto& ina = f07ina<P>();
    const int mx = ina.mx, my = ina.my, knfun = ina.knfun;
    if (f07ind.seiten) boundary_conditions(unit, f07ind, ina.ku, knfun);
    if (f07ind.numsup > 0) suppressed_freedoms(unit, f07ind);
    functional_dofs(unit, ina.ku, knfun);
    subdivision_lines(unit, mx, my);
    subdivision_lengths(unit, ina.a, ina.b, mx, my);
    edge_lengths(unit, ina.a, ina.b, mx, my);
    angles_of_obliqueness(unit, f07ang);
    shell_curvature(unit, f07inb);
}

template <class P>
void node_tables(int unit, const float* f) {
    auto& ina = f07ina<P>();
    const int mx = ina.mx, my = ina.my;
    const Mat<const float> value{f, P::p_nodes};
    const char* title[3] = {"NX", "NXY", "NY"};
    for (int k = 1; k <= 3; ++k) {
        empty_lines(unit, 1);
        io::writef(unit, "(30X,A)", {title[k - 1]});
        // The x-lines in groups of six; only the last group can be shorter.
        for (int j = 1; j <= mx; j += 6) {
            const int ken = std::min(j + 5, mx);
            empty_lines(unit, 1);
            std::string header = fmt::X(11);
            for (int ix = j; ix <= ken; ++ix) header += fmt::X(10) + "IX=" + fmt::I(2, ix) + fmt::X(4);
            io::write_record(unit, header);
            for (int iy = 1; iy <= my; ++iy) {
                std::vector<fmt::Item> row{iy};
                for (int ix = j; ix <= ken; ++ix) row.emplace_back(value(ina.leitm(iy, ix), k));
                io::writef(unit, "(' ',6X,'IY=',I2,6E19.7)", row);
            }
        }
    }
}

}  // namespace listing

template <class P>
void prtout(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss) {
    using namespace listing;
    const int u = datran.nwrite;
    if (!echo_admissible<P>("prtout", true)) {
        // Everything after the echo works in radians, so the conversion is kept.
        to_radians(f07ang);
        return;
    }
    auto& ina = f07ina<P>();
    auto& dis = f07dis<P>();
    const int strips = ina.my - 1;

    panel_description<P>(u);

    // Stiffness coefficients of every element strip: columns 1 .. my-1 of the element arrays.
    auto col6 = [](float* e, int j) { return e + 6 * (j - 1); };
    auto strip = [u](int j) { io::writef(u, "('0',6X,'ELEMENT STRIP : ',I2)", {j}); };
    stiffness_header(u);
    for (int j = 1; j <= strips; ++j) {
        strip(j);
        packed3(u, col6(bb, j));
    }
    for (int j = 1; j <= strips; ++j) {
        title0(u, "BENDING");
        strip(j);
        packed3(u, col6(dd, j));
    }
    for (int j = 1; j <= strips; ++j) {
        title0(u, "MEMBRANE-BENDING COUPLING");
        strip(j);
        packed3(u, col6(bd, j));
    }

    // The rotations BETA and GAMMA take part: adjustment terms of the last strip and the
    // transverse shear of every strip.
    if (ina.ku[1] == 4 || ina.knfun == 5) {
        title0(u, "BENDING ADJUSTMENT");
        packed3(u, col6(rr, strips));
        title0(u, "MEMBRANE-BENDING ADJUSTMENT COUPLING");
        packed3(u, col6(dr, strips));
        title0(u, "BENDING-BENDING ADJUSTMENT COUPLING");
        packed3(u, col6(br, strips));
        for (int j = 1; j <= strips; ++j) {
            title0(u, "TRANSVERSE SHEAR");
            packed2(u, ss + 3 * (j - 1));
        }
    }

    if (dis.nox != 0) discrete_stiffnesses(u, 'X', dis.nox, dis.istx, dis.steifx);
    if (dis.noy != 0) discrete_stiffnesses(u, 'Y', dis.noy, dis.isty, dis.steify);

    empty_lines(u, 3);
    io::writef(u, "(1X,'PRESCRIBED MEMBRANE FORCES')");
    node_tables<P>(u, cpfest<P>().pfest);

    empty_lines(u, 3);
    io::writef(u, "(1X,'DISTRIBUTION OF VARIABLE MEMBRANE FORCES')");
    node_tables<P>(u, cpvar<P>().pvar);
}

#define ZEFT_LISTING_INST(P)                                                                  \
    template bool listing::echo_admissible<P>(std::string_view, bool);                        \
    template void listing::panel_description<P>(int);                                         \
    template void listing::node_tables<P>(int, const float*);                                 \
    template void prtout<P>(float*, float*, float*, float*, float*, float*, float*);
ZEFT_FOR_EACH_SIZE(ZEFT_LISTING_INST)
#undef ZEFT_LISTING_INST

}  // namespace zeft
