// The key matrix: numbering of the nodal freedoms, half-bandwidths, the KEY MATRIX listing
// block, and the element and stiffener-line index maps read by the assembly.
#include "assembly/keymatrix.hpp"

#include <algorithm>
#include <string>
#include <string_view>

#include "io/format.hpp"
#include "io/units.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Starts a message block of `routine` in the analysis listing: an empty record and the
/// header " MESSAGE FROM SUBROUTINE <routine>:".
void message_header(std::string_view routine) {
    io::write_record(datran.nwrite, "");
    io::write_record(datran.nwrite, " MESSAGE FROM SUBROUTINE " + std::string(routine) + ":");
}

/// Decimal text of a value in a message record.
std::string str(int v) { return std::to_string(v); }

/// True when the node number n addresses a column of lm.
template <class P>
bool valid_node(int n) {
    return n >= 1 && n <= P::p_nodes;
}

/// One edge of the panel as seen by the edge-wise suppressions.
struct Edge {
    const int* bnd;    ///< its seven boundary codes
    bool y_edge;       ///< edge y = const (runs along x) rather than x = const
    int line;          ///< the y-line (y-edge) or x-line (x-edge) carrying it
    const char* name;  ///< name in messages
};

}  // namespace

// ---------------------------------------------------------------------------------- setkey

namespace {

/// The active functions ku(1 .. knfun), each a code 1 .. 5 taken once.
struct ActiveSet {
    int f[5];   ///< function codes in the order of ku
    int n = 0;  ///< how many
};

/// False (with a message) when the grid mx, my or a node number of leit lies outside the
/// preset, so that leit and lm would be read beyond their storage.
template <class P>
bool grid_inside_preset(int u) {
    auto& g = f07ina<P>();
    const int mx = g.mx, my = g.my;
    if (mx < 1 || my < 1 || mx > P::p_rtnds || my > P::p_rtnds) {
        message_header("SETKEY");
        io::write_record(u, " NUMBER OF SUBDIVISION LINES MX=" + str(mx) + " MY=" + str(my) +
                                " OUTSIDE 1 .. " + str(P::p_rtnds) + ", NO FREEDOMS NUMBERED");
        return false;
    }
    for (int i = 1; i <= mx; ++i)
        for (int j = 1; j <= my; ++j)
            if (!valid_node<P>(g.leitm(j, i))) {
                message_header("SETKEY");
                io::write_record(u, " NODE NUMBER LEIT(" + str(j) + "," + str(i) + ") = " +
                                        str(g.leitm(j, i)) + " OUTSIDE 1 .. " + str(P::p_nodes) +
                                        ", NO FREEDOMS NUMBERED");
                return false;
            }
    return true;
}

/// The active functions of ku(1 .. knfun); a count outside 0 .. 5, a code outside 1 .. 5 or
/// a repeated code is reported and left out.
template <class P>
ActiveSet active_functions(int u, int& knfun) {
    auto& g = f07ina<P>();
    knfun = g.knfun;
    if (knfun < 0 || knfun > 5) {
        const int taken = std::clamp(knfun, 0, 5);
        message_header("SETKEY");
        io::write_record(u, " NUMBER OF FUNCTIONS KNFUN=" + str(knfun) + " OUTSIDE 0 .. 5, TAKEN AS " +
                                str(taken));
        knfun = taken;
    }
    ActiveSet act;
    bool active[6] = {};
    for (int k = 1; k <= knfun; ++k) {
        const int f = g.ku[k - 1];
        if (f < 1 || f > 5 || active[f]) {
            message_header("SETKEY");
            io::write_record(u, " FUNCTION CODE KU(" + str(k) + ") = " + str(f) +
                                    (f < 1 || f > 5 ? " OUTSIDE 1 .. 5" : " REPEATED") + ", IGNORED");
            continue;
        }
        active[f] = true;
        act.f[act.n++] = f;
    }
    return act;
}

/// Step 2: the individually suppressed freedoms idesup(1 .. 4, 1 .. numsup) become 0.
template <class P>
void suppress_listed(int u) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    auto& bc = f07ind;
    int numsup = bc.numsup;
    if (numsup < 0 || numsup > P::p_nsup) {
        const int taken = std::clamp(numsup, 0, P::p_nsup);
        message_header("SETKEY");
        io::write_record(u, " NUMBER OF SUPPRESSED FREEDOMS NUMSUP=" + str(numsup) + " OUTSIDE 0 .. " +
                                str(P::p_nsup) + ", TAKEN AS " + str(taken));
        numsup = taken;
    }
    const Mat<int> idesup = bc.idesup_m();
    for (int k = 1; k <= numsup; ++k) {
        const int f = idesup(1, k), kd = idesup(2, k), ny = idesup(3, k), nx = idesup(4, k);
        if (f < 1 || f > 5 || kd < 1 || kd > 4 || ny < 1 || ny > g.my || nx < 1 || nx > g.mx) {
            message_header("SETKEY");
            io::write_record(u, " SUPPRESSED FREEDOM NO. " + str(k) + " (FUNCTION " + str(f) +
                                    ", DERIVATIVE " + str(kd) + ", NODY " + str(ny) + ", NODX " +
                                    str(nx) + ") OUTSIDE THE GRID OR THE CODES, IGNORED");
            continue;
        }
        lm(f, kd, g.leitm(ny, nx)) = 0;
    }
}

/// Step 3: edge-wise suppressions. On an edge y = const the tangential pair of nodal values
/// is (F, F,x) and the normal-derivative pair (F,y, F,xy); on x = const (F, F,y) and
/// (F,x, F,xy). The functions parallel to the edge (W, the in-plane displacement along it and
/// its rotation) lose the tangential pair on a line of anti-symmetry and the
/// normal-derivative pair on a line of symmetry; the others the opposite pair.
template <class P>
void suppress_edges(int u, const ActiveSet& act) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    auto& bc = f07ind;
    const Edge edges[4] = {{bc.bndy0, true, 1, "Y=0"},
                           {bc.bndyl, true, g.my, "Y=L"},
                           {bc.bndx0, false, 1, "X=0"},
                           {bc.bndxl, false, g.mx, "X=L"}};
    for (const Edge& e : edges) {
        const int kt = e.y_edge ? 2 : 3;  // tangential slope: F,x on y-edges, F,y on x-edges
        const int kn = e.y_edge ? 3 : 2;  // normal slope
        const int nnodes = e.y_edge ? g.mx : g.my;
        auto node = [&](int m) { return e.y_edge ? g.leitm(e.line, m) : g.leitm(m, e.line); };
        auto hold = [&](int f, int k1, int k2) {
            for (int m = 1; m <= nnodes; ++m) {
                lm(f, k1, node(m)) = 0;
                lm(f, k2, node(m)) = 0;
            }
        };
        if (e.bnd[0] != 0) {
            const bool anti = e.bnd[0] > 0;
            for (int k = 0; k < act.n; ++k) {
                const int f = act.f[k];
                const bool parallel = e.y_edge ? (f == 1 || f == 2 || f == 4) : (f == 1 || f == 3 || f == 5);
                if (parallel == anti) hold(f, 1, kt);
                else hold(f, kn, 4);
            }
            continue;
        }
        for (int l = 2; l <= 7; ++l) {
            const int c = e.bnd[l - 1];
            if (c <= 0) continue;
            if (c <= 5) hold(c, 1, kt);
            else if (c == 6) hold(1, kn, 4);
            else {
                message_header("SETKEY");
                io::write_record(u, " BOUNDARY CODE " + str(c) + " OF EDGE " + e.name + " OUTSIDE 1 .. 6, IGNORED");
            }
        }
    }
}

/// Step 4: numbering, node by node with the direction of fewer lines inside, so that the
/// numbers of neighbouring nodes stay close and the band narrow. W freedoms count in nw,
/// the in-plane ones in nuv.
template <class P>
void number_freedoms(const ActiveSet& act, int& nw, int& nuv) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    nw = nuv = 0;
    auto number = [&](int n) {
        for (int k = 0; k < act.n; ++k) {
            const int f = act.f[k];
            int& count = (f == 1) ? nw : nuv;
            for (int kd = 1; kd <= 4; ++kd)
                if (lm(f, kd, n) != 0) lm(f, kd, n) = ++count;
        }
    };
    if (g.my >= g.mx) {
        for (int j = 1; j <= g.my; ++j)
            for (int i = 1; i <= g.mx; ++i) number(g.leitm(j, i));
    } else {
        for (int i = 1; i <= g.mx; ++i)
            for (int j = 1; j <= g.my; ++j) number(g.leitm(j, i));
    }
}

/// Step 5: half-bandwidths ibdx, ibdy of f07ina (diagonal included): the widest spread of
/// the equation numbers of one subdivision, separately for W and for the in-plane functions.
template <class P>
void set_bandwidths(const ActiveSet& act, int nw, int nuv) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    const int mx = g.mx, my = g.my;
    int ibdx = 0, ibdy = 0;
    if (mx == 1 || my == 1) {
        ibdx = std::min(1, nw);
        ibdy = std::min(1, nuv);
    } else {
        for (int j = 1; j < my; ++j)
            for (int i = 1; i < mx; ++i) {
                const int corner[4] = {g.leitm(j, i), g.leitm(j, i + 1), g.leitm(j + 1, i), g.leitm(j + 1, i + 1)};
                int nxl = nw, nxu = 1, nyl = nuv, nyu = 1;
                for (const int n : corner)
                    for (int kd = 1; kd <= 4; ++kd)
                        for (int k = 0; k < act.n; ++k) {
                            const int v = lm(act.f[k], kd, n);
                            if (v <= 0) continue;
                            if (act.f[k] == 1) {
                                nxl = std::min(nxl, v);
                                nxu = std::max(nxu, v);
                            } else {
                                nyl = std::min(nyl, v);
                                nyu = std::max(nyu, v);
                            }
                        }
                ibdx = std::max(ibdx, nxu - nxl);
                ibdy = std::max(ibdy, nyu - nyl);
            }
        ibdx = std::min(ibdx + 1, nw);
        ibdy = std::min(ibdy + 1, nuv);
    }
    g.ibdx = ibdx;
    g.ibdy = ibdy;
}

/// Step 6: the KEY MATRIX block: freedom counts, the equation numbers of every node, the
/// bandwidths.
template <class P>
void list_key_matrix(int u, int knfun, int nw, int nuv) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    io::write_record(u, "1");
    io::write_record(u, "");
    io::writef(u, "(1X,'KEY MATRIX')");
    io::writef(u, "(7X,'NO. OF FREEDOMS',33X,'FOR THE DISPLACEMENT W :',I5)", {nw});
    io::writef(u, "(23X,'FOR THE ','DISPLACEMENTS U,V AND THE ROTATIONS BETA,GAMMA :',I5)", {nuv});
    io::write_record(u, "");
    io::writef(u, "(1X,'NODE POINT',13X,'W',22X,'U',22X,'V',20X,'BETA',19X,'GAMMA')");
    io::writef(u, "(1X,'NODEX NODEY',5X,'W',3X,'WX',3X,'WY',3X,'WXY',6X,'U',3X,'UX',3X,'UY',3X,"
                  "'UXY',6X,'V',3X,'VX',3X,'VY',3X,'VXY',6X,'B',3X,'BX',3X,'BY',3X,'BXY',6X,'G',"
                  "3X,'GX',3X,'GY',3X,'GXY')");
    // With the active set W, BETA, GAMMA the U and V columns stay blank.
    const bool wbg = g.knfun == 3 && g.ku[1] == 4;
    std::string rec;
    auto group = [&](int f, int n) {
        for (int kd = 1; kd <= 4; ++kd) rec += fmt::I(4, lm(f, kd, n)) + " ";
    };
    for (int j = 1; j <= g.my; ++j)
        for (int i = 1; i <= g.mx; ++i) {
            const int n = g.leitm(j, i);
            rec = " " + fmt::I(3, i) + fmt::X(3) + fmt::I(3, j) + fmt::X(5);
            if (wbg) {
                group(1, n);
                rec += fmt::X(49);
                group(4, n);
                rec += fmt::X(3);
                group(5, n);
            } else {
                for (int f = 1; f <= knfun; ++f) {
                    if (f > 1) rec += fmt::X(3);
                    group(f, n);
                }
            }
            // Blanks at the end of a record are positioning only: nothing follows them.
            rec.erase(rec.find_last_not_of(' ') + 1);
            io::write_record(u, rec);
        }
    io::writef(u, "('0  BANDWIDTHS IBDX=',I3,'    IBDY=',I3)", {g.ibdx, g.ibdy});
    io::write_record(u, "1");
}

}  // namespace

template <class P>
void setkey(int& ix, int& iy) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    const int u = datran.nwrite;
    ix = iy = 0;
    if (!grid_inside_preset<P>(u)) {
        g.ibdx = g.ibdy = 0;
        return;
    }
    int knfun = 0;
    const ActiveSet act = active_functions<P>(u, knfun);

    // 1. Every freedom starts inactive; 2., 3. suppressed freedoms are marked 0.
    std::fill(std::begin(lm.lm), std::end(lm.lm), lm_inactive);
    suppress_listed<P>(u);
    if (f07ind.seiten) suppress_edges<P>(u, act);

    // 4. - 6. Equation numbers, bandwidths, listing.
    int nw = 0, nuv = 0;
    number_freedoms<P>(act, nw, nuv);
    set_bandwidths<P>(act, nw, nuv);
    list_key_matrix<P>(u, knfun, nw, nuv);
    ix = nw;
    iy = nuv;
}

// ---------------------------------------------------------------------------------- iuoriv

template <class P>
void iuoriv(int& i, int& j, int& ifun, int* iu, int& ier) {
    auto& g = f07ina<P>();
    const int u = datran.nwrite;
    ier = err::ok;

    if (g.mx > P::p_rtnds || g.my > P::p_rtnds) {
        message_header("IUORIV");
        io::write_record(u, " INCONSISTENT GRID: MX=" + str(g.mx) + " MY=" + str(g.my) +
                                " EXCEED " + str(P::p_rtnds) + " LINES");
        ier = err::iuoriv::bad_grid;
        return;
    }
    if (i <= 0 || i >= g.my || j <= 0 || j >= g.mx) {
        io::write_record(u, "");
        io::write_record(u, " MESSAGE FROM SUBROUTINE IUORIV: INCONSISTENT ARGUMENT");
        io::write_record(u, " WRONG FUNCTION INDEX, OR SUBDIVISION OUT OF RANGE");
        ier = err::iuoriv::out_of_range;
        return;
    }

    // Functions that may be asked for: all five with the full set or with W, BETA, GAMMA
    // (whose codes reach 5), W, U, V with three functions, otherwise W alone.
    int top = 1;
    if (g.knfun == 5 || (g.knfun == 3 && g.ku[1] == 4)) top = 5;
    else if (g.knfun == 3) top = 3;
    if (ifun < 1 || ifun > top) {
        std::fill(iu, iu + 16, 0);
        ier = err::iuoriv::inadmissible_function;
        return;
    }

    // node[b][a]: corner at y-line i + b, x-line j + a.
    const int node[2][2] = {{g.leitm(i, j), g.leitm(i, j + 1)},
                            {g.leitm(i + 1, j), g.leitm(i + 1, j + 1)}};
    for (int b = 0; b < 2; ++b)
        for (int a = 0; a < 2; ++a)
            if (!valid_node<P>(node[b][a])) {
                message_header("IUORIV");
                io::write_record(u, " INCONSISTENT GRID: NODE NUMBER LEIT(" + str(i + b) + "," +
                                        str(j + a) + ") = " + str(node[b][a]) + " OUTSIDE 1 .. " +
                                        str(P::p_nodes));
                ier = err::iuoriv::bad_grid;
                return;
            }

    auto& lm = f07mat<P>();
    for (int c = 1; c <= 4; ++c)
        for (int r = 1; r <= 4; ++r) {
            const int kd = 1 + (c % 2 == 0 ? 1 : 0) + (r % 2 == 0 ? 2 : 0);
            iu[(r - 1) + 4 * (c - 1)] = lm(ifun, kd, node[r >= 3][c >= 3]);
        }
}

// ---------------------------------------------------------------------------------- kuorkv

template <class P>
void kuorkv(const char* xory, int& ii, int& jj, int& ifun, int* kv, int& ier) {
    auto& g = f07ina<P>();
    const int u = datran.nwrite;
    ier = err::ok;

    const char dir = xory[0];
    if (dir != 'X' && dir != 'Y') {
        message_header("KUORKV");
        io::write_record(u, " FIRST ARGUMENT NEITHER 'X' NOR 'Y' ");
        ier = err::kuorkv::bad_direction;
        return;
    }
    if (g.mx > P::p_rtnds || g.my > P::p_rtnds) {
        message_header("KUORKV");
        io::write_record(u, " INCONSISTENT GRID: MX=" + str(g.mx) + " MY=" + str(g.my) +
                                " EXCEED " + str(P::p_rtnds) + " LINES");
        ier = err::kuorkv::bad_grid;
        return;
    }

    // A stringer ("X") lies on a y-line, a frame ("Y") on an x-line.
    const bool stringer = dir == 'X';
    const int lines = stringer ? g.my : g.mx;
    const int segments = (stringer ? g.mx : g.my) - 1;
    if (ii < 1 || ii > lines || jj < 1 || jj > segments) {
        message_header("KUORKV");
        io::writef(u, "(' SECOND AND THIRD ARGUMENT SPECIFY WRONG NODE',I4,I4,"
                      "'STIFFENER DIRECTION IS ',A1)", {ii, jj, std::string_view(xory, 1)});
        ier = err::kuorkv::bad_node;
        return;
    }
    if (ifun < 1 || ifun > 5) {
        message_header("KUORKV");
        io::write_record(u, " FOURTH ARGUMENT " + str(ifun) + " IS NO FUNCTION CODE 1 .. 5");
        ier = err::kuorkv::bad_function;
        return;
    }

    const int n1 = stringer ? g.leitm(ii, jj) : g.leitm(jj, ii);
    const int n2 = stringer ? g.leitm(ii, jj + 1) : g.leitm(jj + 1, ii);
    if (!valid_node<P>(n1) || !valid_node<P>(n2)) {
        const int bad = valid_node<P>(n1) ? n2 : n1;
        message_header("KUORKV");
        io::write_record(u, " INCONSISTENT GRID: NODE NUMBER " + str(bad) + " OUTSIDE 1 .. " +
                                str(P::p_nodes));
        ier = err::kuorkv::bad_grid;
        return;
    }

    // Along the line: value and along-slope; across it: cross-slope and twist.
    auto& lm = f07mat<P>();
    const int along = stringer ? 2 : 3, across = stringer ? 3 : 2;
    const int n[2] = {n1, n2};
    for (int e = 0; e < 2; ++e) {
        int* col = kv + 4 * e;  // columns 2e+1, 2e+2 of kv(2, 4)
        col[0] = lm(ifun, 1, n[e]);
        col[1] = lm(ifun, across, n[e]);
        col[2] = lm(ifun, along, n[e]);
        col[3] = lm(ifun, 4, n[e]);
    }
}

#define ZEFT_KEYMATRIX_INST(P)                                                    \
    template void setkey<P>(int&, int&);                                          \
    template void iuoriv<P>(int&, int&, int&, int*, int&);                        \
    template void kuorkv<P>(const char*, int&, int&, int&, int*, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_KEYMATRIX_INST)
#undef ZEFT_KEYMATRIX_INST

}  // namespace zeft
