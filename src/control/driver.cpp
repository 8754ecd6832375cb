// The analysis driver zeftmain and its reset routine initlz.
#include "control/driver.hpp"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "control/analysis_type.hpp"
#include "control/run_control.hpp"
#include "io/units.hpp"
#include "results/mode_shapes.hpp"
#include "solver/profile.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

constexpr int listing_unit = 9;
constexpr int input_unit = 8;
constexpr int modes_unit = 26;
constexpr int work_unit = 25;

/// The stop block: the stop line, then the reason lines, each first to the listing and then
/// to standard output. The listing is flushed so that a failed run never looks complete.
void stop_block(std::initializer_list<std::string_view> reasons) {
    const std::string stop = "    MAIN PROGRAM:   EXECUTION STOPPED.";
    io::write_record(datran.nwrite, stop);
    io::write_record(io::stdout_unit, stop);
    for (int unit : {datran.nwrite, io::stdout_unit})
        for (std::string_view r : reasons) io::write_record(unit, fmt::X(16) + std::string(r));
    io::flush_all();
}

/// Compacts the function codes (nonzero ones first, in their order), counts them in knfun and
/// sorts the used ones ascending by selection, the first smallest position winning.
template <class P>
void normalise_functions(F07ina<P>& g) {
    g.knfun = static_cast<int>(std::count_if(g.ku, g.ku + 5, [](int k) { return k > 0; }));
    if (g.knfun == 0) return;
    int packed[5] = {0, 0, 0, 0, 0};
    for (int i = 0, n = 0; i < 5; ++i)
        if (g.ku[i] != 0) packed[n++] = g.ku[i];
    std::copy(packed, packed + 5, g.ku);
    if (g.knfun == 1) return;
    for (int p = 0; p < g.knfun - 1; ++p) {
        int low = p;
        for (int q = p + 1; q < g.knfun; ++q)
            if (g.ku[q] < g.ku[low]) low = q;
        std::swap(g.ku[p], g.ku[low]);
    }
}

/// The steps of a run with the listing open: profile pointers of the full triangle, analysis
/// type, title page, the buckling run and the mode-shape file. On success the listing is
/// closed; after a failure it stays open with the stop block as its last lines.
template <class P>
void run_steps(const std::string& name) {
    int ier = 0;
    int order = P::p_nx, band = P::p_nx;
    mklvbd(comlv<P>().lvtri, order, band, ier);
    if (ier != 0) {
        stop_block({"ERROR ENCOUNTERED WHEN TRYING TO MAKE ARRAY LVTRI", "IN SUBROUTINE MKLVBD"});
        return;
    }
    cktype(ier);
    if (ier != 0) {
        stop_block({"ERROR ENCOUNTERED WHEN CHECKING ANALYSIS TYPE", "IN SUBROUTINE CKTYPE"});
        return;
    }
    prtype();
    io::write_list(io::stdout_unit, "Analysis started");

    buvi<P>(ier);
    if (ier != 0) {
        stop_block({"ERROR REPORT FROM SUBROUTINE BUVI"});
        return;
    }

    if (plotin.indplt != 0) {
        int ier2 = 0;
        if (io::open(modes_unit, name + "MODES.txt")) {
            io::rewind(modes_unit);
            pltmsh<P>();
            cntour<P>();
            modes<P>(ier2);
            // A file that lost records is reported like a failure of the mode shapes.
            if (!io::close(modes_unit) && ier2 == 0) ier2 = 1;
        } else {
            ier2 = 1;  // the open has said why on standard output
        }
        if (ier2 != 0) {
            const std::string line = fmt::X(16) + "ERROR WHEN COMPUTING/PRINTING MODE SHAPES";
            io::write_record(datran.nwrite, line);
            io::write_record(io::stdout_unit, line);
            io::flush_all();
            return;
        }
    }
    if (!io::close(listing_unit)) {
        // The records that could not be written leave a listing that must not pass for complete.
        io::write_record(io::stdout_unit, "    MAIN PROGRAM:   EXECUTION STOPPED.");
        io::write_record(io::stdout_unit,
                         fmt::X(16) + "ANALYSIS LISTING " + name + ".out IS INCOMPLETE: RECORDS COULD NOT BE WRITTEN");
        return;
    }
    io::write_list(io::stdout_unit, "Buckling/Vibration analysis finished");
}

}  // namespace

std::string_view project_name_fault(std::string_view proj) {
    if (proj.find('/') != std::string_view::npos) return "IT CONTAINS A SLASH";
    if (proj.find('\0') != std::string_view::npos) return "IT CONTAINS A NUL CHARACTER";
    return {};
}

template <class P>
void initlz() {
    auto& d = f07dis<P>();
    std::fill_n(d.steifx, 4 * P::p_stf, 0.0f);
    std::fill_n(d.steify, 4 * P::p_stf, 0.0f);
    std::fill_n(d.istx, P::p_stf, 0);
    std::fill_n(d.isty, P::p_stf, 0);
    std::fill_n(d.domx, P::p_stf, 0.0f);
    std::fill_n(d.domy, P::p_stf, 0.0f);
    densit.dom = 1.0E-6f;
    auto& g = f07ina<P>();
    std::fill_n(g.a, P::p_rtnds - 1, 0.0f);
    std::fill_n(g.b, P::p_rtnds - 1, 0.0f);
    std::fill_n(g.leit, P::p_rtnds * P::p_rtnds, 0);
    std::fill_n(f07ind.idesup, 4 * P::p_nsup, 0);
}

template <class P>
void zeftmain(const char* proj, const char* titp, int& buckp, int& itabp, int& neigitp,
              int& neigrqp, int& memprip, int& indpltp, int* kup, float* ap, float* bp,
              int* bndx0p, int* bndxlp, int* bndy0p, int* bndylp, float& rxp, float& ryp,
              float& rxyp, int* istxp, int* istyp, int* elmstfp, float* steifxp,
              float* steifyp, float& alfaxp, float& alfayp) {
    constexpr int nr = P::p_rtnds - 1, ns = P::p_stf;
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();

    initlz<P>();

    // Control values, grid and boundary codes of the run.
    std::memcpy(title.tit, titp, sizeof title.tit);
    antype.buck = buckp;
    man.neigit = neigitp;
    man.itab = itabp;
    man.neigrq = neigrqp;
    man.mempri = memprip;
    plotin.indplt = indpltp;
    std::copy_n(kup, 5, g.ku);
    std::copy_n(ap, nr, g.a);
    std::copy_n(bp, nr, g.b);
    std::copy_n(bndx0p, 7, f07ind.bndx0);
    std::copy_n(bndxlp, 7, f07ind.bndxl);
    std::copy_n(bndy0p, 7, f07ind.bndy0);
    std::copy_n(bndylp, 7, f07ind.bndyl);

    normalise_functions(g);

    // The plate sets W alone and W, BETA, GAMMA have no membrane action: their radii stay.
    const bool plate_set = g.knfun == 1 || (g.knfun == 3 && g.ku[1] == 4);
    if (!plate_set) {
        f07inb.rx = rxp;
        f07inb.ry = ryp;
        f07inb.rxy = rxyp;
    }

    std::copy_n(istxp, ns, d.istx);
    std::copy_n(elmstfp, nr, stiffcom<P>().elmstf);
    std::copy_n(steifxp, 4 * ns, d.steifx);
    std::copy_n(istyp, ns, d.isty);
    std::copy_n(steifyp, 4 * ns, d.steify);
    f07ang.alfax = alfaxp;
    f07ang.alfay = alfayp;

    datran.nread = input_unit;
    datran.nwrite = listing_unit;
    const std::string name(proj, 8);
    if (const std::string_view fault = project_name_fault(name); !fault.empty()) {
        // Output files stay in the working folder: a name that reaches elsewhere is refused.
        io::write_record(io::stdout_unit, "    MAIN PROGRAM:   EXECUTION STOPPED.");
        io::write_record(io::stdout_unit,
                         fmt::X(16) + "PROJECT NAME CANNOT NAME A FILE IN THE WORKING FOLDER: " + std::string(fault));
    } else if (io::open(listing_unit, name + ".out")) {
        run_steps<P>(name);
    } else {
        // Nothing can be listed: say so on standard output and end the run.
        io::write_record(io::stdout_unit, "    MAIN PROGRAM:   EXECUTION STOPPED.");
        io::write_record(io::stdout_unit,
                         fmt::X(16) + "ANALYSIS LISTING " + name + ".out CANNOT BE OPENED");
    }

    if (io::is_open(work_unit)) io::close(work_unit, true);
}

#define ZEFT_INST_DRIVER(P)                                                                   \
    template void initlz<P>();                                                                \
    template void zeftmain<P>(const char*, const char*, int&, int&, int&, int&, int&, int&,   \
                              int*, float*, float*, int*, int*, int*, int*, float&, float&,  \
                              float&, int*, int*, int*, float*, float*, float&, float&);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_DRIVER)
#undef ZEFT_INST_DRIVER

}  // namespace zeft
