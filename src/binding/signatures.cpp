// The signature table of every routine group of the module. Each entry names a routine, its
// implementation in the core and its arguments in the order of the C++ parameters; argument
// parsing, conversion, messages and help texts follow from it, and the import check holds
// the argument names and kinds to the core's declarations.
#include "binding/signatures.hpp"

#include <stdexcept>
#include <string>

#include "assembly/assembly.hpp"
#include "assembly/basis.hpp"
#include "assembly/keymatrix.hpp"
#include "binding/prechecks.hpp"
#include "control/analysis_type.hpp"
#include "control/driver.hpp"
#include "control/front_end.hpp"
#include "control/input_check.hpp"
#include "control/run_control.hpp"
#include "preparation/element_terms.hpp"
#include "preparation/laminate.hpp"
#include "results/eigen_listing.hpp"
#include "results/listing.hpp"
#include "results/mode_shapes.hpp"
#include "results/stringer_checks.hpp"
#include "solver/buckling.hpp"
#include "solver/lqfit.hpp"
#include "solver/profile.hpp"
#include "solver/simvit.hpp"
#include "solver/vibration.hpp"
#include "state/presets.hpp"

namespace zeft::binding {

namespace {

// ------------------------------------------------------------------ argument constructors

ArgDecl in(char type, std::string name) { return {std::move(name), Role::in, type, "", 0, "", ""}; }
ArgDecl truth(std::string name) { return {std::move(name), Role::in, 't', "", 0, "", ""}; }
ArgDecl text(std::string name, int len) { return {std::move(name), Role::in, 'c', "", len, "", ""}; }
ArgDecl arr(char type, std::string name, std::string dims) {
    return {std::move(name), Role::in, type, std::move(dims), 0, "", ""};
}
ArgDecl inout(char type, std::string name, std::string dims) {
    return {std::move(name), Role::inout, type, std::move(dims), 0, "", ""};
}
ArgDecl opt(std::string name, std::string deflt, std::string relation) {
    return {std::move(name), Role::optional, 'i', "", 0, std::move(deflt), std::move(relation)};
}
ArgDecl ret(char type, std::string name, std::string dims = "") {
    return {std::move(name), Role::returned, type, std::move(dims), 0, "", ""};
}

std::string dim(long long v) { return std::to_string(v); }

// ------------------------------------------------------------------ zeftutils (table 1)

GroupDecl zeftutils() {
    GroupDecl g{"zeftutils", {}, {}};
    auto& r = g.routines;
    r.push_back({"abdetc", implementation<&abdetc>(),
                 {in('i', "nla"), arr('f', "thkply", "(*)"), arr('f', "angply", "(*)"),
                  arr('f', "q", "(4)"), in('f', "thklam"), arr('f', "aal", "(3,3)"),
                  arr('f', "ddl", "(3,3)"), arr('f', "adl", "(3,3)"), in('i', "ier")},
                 check_abdetc});
    r.push_back({"chneig", implementation<&chneig>(), {}});
    r.push_back({"chodec", implementation<&chodec>(),
                 {arr('d', "a", "(*)"), opt("n", "len(lv)", "len(lv)>=n"), in('i', "ibd"),
                  arr('i', "lv", "(>=n)"), in('i', "ier")}, check_chodec});
    r.push_back({"chosol", implementation<&chosol>(),
                 {arr('d', "a", "(*)"), opt("n", "len(lv)", "len(lv)>=n"), in('i', "ibd"),
                  arr('i', "lv", "(>=n)"), arr('d', "x", "(n,m)"),
                  opt("m", "shape(x,1)", "shape(x,1)==m"), arr('d', "y", "(>=n)")}, check_chosol});
    r.push_back({"cktype", implementation<&cktype>(), {in('i', "ier")}});
    r.push_back({"cripplingo", implementation<&cripplingo>(), {in('i', "ier")}});
    r.push_back({"cripplingt", implementation<&cripplingt>(), {in('i', "ier")}});
    r.push_back({"eigvpr", implementation<&eigvpr>(),
                 {in('i', "unit"), arr('d', "x", "(m,neiga)"),
                  opt("m", "shape(x,0)", "shape(x,0)==m"),
                  opt("neiga", "shape(x,1)", "shape(x,1)==neiga")}});
    r.push_back({"jacob2", implementation<&jacob2>(),
                 {arr('d', "a", "(*)"), opt("n", "len(lvtri)", "len(lvtri)>=n"),
                  arr('i', "lvtri", "(>=n)"), in('d', "eps"), arr('d', "ys", "(n,n)"),
                  in('i', "ier")}, check_jacob2});
    r.push_back({"lqfit", implementation<&lqfit>(),
                 {arr('d', "phi", "(m,*)"), in('i', "ij"), in('i', "k"),
                  opt("m", "shape(phi,0)", "shape(phi,0)==m"), arr('d', "epss", "(*)"),
                  arr('d', "ak", "(*)")}, check_lqfit});
    r.push_back({"mklvbd", implementation<&mklvbd>(),
                 {arr('i', "lv", "(*)"), in('i', "nn"), in('i', "ibd"), in('i', "ier")},
                 check_mklvbd});
    r.push_back({"probtm", implementation<&probtm>(),
                 {arr('d', "a", "(*)"), opt("n", "len(lv)", "len(lv)>=n"), in('i', "ibd"),
                  arr('i', "lv", "(>=n)"), arr('d', "b", "(n,m)"), in('i', "m1"),
                  opt("m", "shape(b,1)", "shape(b,1)==m"), ret('d', "c", "(n,m)")}, check_probtm});
    r.push_back({"phi", implementation<&phi>(),
                 {in('i', "i"), in('f', "z"), in('f', "val"), in('i', "ier")}});
    r.push_back({"prtype", implementation<&prtype>(), {}});
    r.push_back({"rdtype", implementation<&rdtype>(), {in('i', "ier")}});
    r.push_back({"simvit", implementation<&simvit>(),
                 {in('i', "neigrq"), opt("neigit", "shape(x,1)", "shape(x,1)==neigit"),
                  arr('d', "a", "(*)"), arr('d', "b", "(*)"),
                  opt("n", "shape(x,0)", "shape(x,0)==n"), in('i', "ibda"), in('i', "ibdb"),
                  arr('i', "lvbnda", "(*)"), arr('i', "lvbndb", "(*)"), in('d', "eps"),
                  arr('d', "elam", "(*)"), arr('d', "x", "(n,neigit)"), in('i', "jac"),
                  in('i', "ip"), arr('i', "lvtri", "(*)"), in('i', "ier")}, check_simvit});
    r.push_back({"trnpsi", implementation<&trnpsi>(),
                 {opt("m", "shape(a,0)", "shape(a,0)==m"), in('f', "psi"), arr('f', "a", "(m,m)"),
                  ret('f', "b", "(m,m)"), ret('i', "ier")}});
    return g;
}

// ------------------------------------------------------------------ analysis module (table 2)

template <class P>
GroupDecl analysis_module() {
    const std::string R1 = dim(P::p_rtnds - 1), S = dim(P::p_stf), N = dim(P::p_nodes),
                      E = dim(P::p_elmts), NX = dim(P::p_nx), NY = dim(P::p_ny);
    GroupDecl g{"prtnds" + dim(P::number),
                {{"p_la11", P::p_la11}, {"p_la22", P::p_la22}, {"p_lb11", P::p_lb11},
                 {"p_rtnds", P::p_rtnds}, {"p_ngit", P::p_ngit}, {"p_ngrq", P::p_ngrq},
                 {"p_nsup", P::p_nsup}, {"p_abdstf", P::p_abdstf}, {"p_nodes", P::p_nodes},
                 {"p_stf", P::p_stf}, {"p_elmts", P::p_elmts}, {"p_nx", P::p_nx},
                 {"p_ny", P::p_ny}, {"p_ibdx", P::p_ibdx}, {"p_ibdy", P::p_ibdy}},
                {}};
    auto& r = g.routines;
    const auto e6 = [&](const char* n) { return arr('f', n, "(6," + E + ")"); };
    const auto e3 = [&](const char* n) { return arr('f', n, "(3," + E + ")"); };
    const auto s6 = [](const char* n) { return arr('f', n, "(6,*)"); };
    const auto s3 = [](const char* n) { return arr('f', n, "(3,*)"); };

    r.push_back({"callzeft", implementation<&callzeft<P>>(),
                 {text("filenamep", 8), text("titp", 80), in('f', "rxp"), in('f', "ryp"),
                  in('f', "rxyp"), arr('f', "matabdf", "(18,2)"), arr('f', "steifxf", "(4)"),
                  arr('f', "steifyf", "(4)"), in('f', "framepitch"), in('f', "stringerpitch"),
                  in('i', "stypep"), in('f', "chordwdth"), in('f', "sfootwdth"), in('f', "alpha"),
                  in('f', "height"), in('f', "loadvxp"), in('f', "loadvyp"), in('f', "loadvxyp"),
                  in('f', "fnxp"), in('f', "fnxyp"), in('f', "fnyp"), in('f', "alfaxp"),
                  in('f', "alfayp"), inout('d', "elamp", "(55)"),
                  inout('d', "membraneforcesp", "(275)"), in('i', "itab"), in('i', "neigit"),
                  in('i', "neigrq"), truth("mempri"), in('i', "indplt"), arr('i', "ku", "(5)"),
                  arr('i', "istx", "(" + S + ")"), arr('i', "isty", "(" + S + ")"),
                  arr('i', "elmstf", "(" + R1 + ")"), arr('i', "bndy0", "(7)"),
                  arr('i', "bndyl", "(7)"), arr('i', "bndx0", "(7)"), arr('i', "bndxl", "(7)"),
                  in('i', "anzelzwframes"), in('i', "anzelprohalbfoot"), in('i', "anzelzwstr"),
                  in('i', "anzelbelowstr"), inout('d', "displ", "(" + NX + "*neigrq)")},
                 check_callzeft<P>});
    r.push_back({"zeftmain", implementation<&zeftmain<P>>(),
                 {text("proj", 8), text("titp", 80), truth("buckp"), in('i', "itabp"),
                  in('i', "neigitp"), in('i', "neigrqp"), truth("memprip"), in('i', "indpltp"),
                  arr('i', "kup", "(5)"), arr('f', "ap", "(" + R1 + ")"),
                  arr('f', "bp", "(" + R1 + ")"), arr('i', "bndx0p", "(7)"),
                  arr('i', "bndxlp", "(7)"), arr('i', "bndy0p", "(7)"), arr('i', "bndylp", "(7)"),
                  in('f', "rxp"), in('f', "ryp"), in('f', "rxyp"), arr('i', "istxp", "(" + S + ")"),
                  arr('i', "istyp", "(" + S + ")"), arr('i', "elmstfp", "(" + R1 + ")"),
                  arr('f', "steifxp", "(4," + S + ")"), arr('f', "steifyp", "(4," + S + ")"),
                  in('f', "alfaxp"), in('f', "alfayp")}, check_zeftmain<P>});
    r.push_back({"initlz", implementation<&initlz<P>>(), {}});
    r.push_back({"a11xst", implementation<&a11xst<P>>(),
                 {arr('d', "a11", "(*)"), in('i', "ier")}, check_a11<P>});
    r.push_back({"a11yst", implementation<&a11yst<P>>(),
                 {arr('d', "a11", "(*)"), in('i', "ier")}, check_a11<P>});
    r.push_back({"a21ast", implementation<&a21ast<P>>(),
                 {text("xory", 1), arr('d', "a21", "(" + NY + ",*)"), in('i', "ier")},
                 check_a21ast<P>});
    r.push_back({"a22ast", implementation<&a22ast<P>>(),
                 {text("xory", 1), arr('d', "a22", "(*)"), in('i', "ier")}, check_a22<P>});
    r.push_back({"bmatst", implementation<&bmatst<P>>(),
                 {text("xory", 1), arr('d', "bmt", "(*)"), arr('i', "lv", "(*)"),
                  arr('f', "pmem", "(" + N + ",3)"), in('f', "fakt"), in('i', "ier")},
                 check_bmt<P>});
    r.push_back({"buvi", implementation<&buvi<P>>(), {in('i', "ier")}});
    r.push_back({"cmpa11", implementation<&cmpa11<P>>(),
                 {arr('d', "a11", "(*)"), in('i', "ier")}, check_a11<P>});
    r.push_back({"cmpa21", implementation<&cmpa21<P>>(),
                 {arr('d', "a21", "(" + NY + ",*)"), in('i', "long_bn"), in('i', "ier")},
                 check_cmpa21<P>});
    r.push_back({"cmpa22", implementation<&cmpa22<P>>(),
                 {arr('d', "a22", "(*)"), in('i', "ier")}, check_a22<P>});
    r.push_back({"cmpbmt", implementation<&cmpbmt<P>>(),
                 {arr('d', "bmt", "(*)"), arr('i', "lv", "(*)"), arr('f', "pmem", "(" + N + ",3)"),
                  in('f', "fakt"), in('i', "ier")}, check_bmt<P>});
    r.push_back({"cmpmmt", implementation<&cmpmmt<P>>(),
                 {inout('d', "mmt", "(*)"), arr('i', "lv", "(*)"), ret('i', "ier")}, check_mmt<P>});
    r.push_back({"cntour", implementation<&cntour<P>>(), {}});
    r.push_back({"f01kbf", implementation<&f01kbf<P>>(),
                 {arr('f', "c", "(45," + E + ")"), e3("ch")}});
    r.push_back({"f01ktf", implementation<&f01ktf<P>>(),
                 {arr('f', "c", "(45," + E + ")"), e3("ch"), e6("bb"), e6("dd"), e6("bd"), e6("rr"),
                  e6("dr"), e6("br"), e3("ss")}});
    r.push_back({"glbuck", implementation<&glbuck<P>>(),
                 {s6("bb"), s6("dd"), s6("bd"), in('i', "ier"), in('f', "fstbug")}});
    r.push_back({"incs2", implementation<&incs2<P>>(), {in('i', "ier")}});
    r.push_back({"incs3", implementation<&incs3<P>>(),
                 {in('i', "long_bn"), s6("bb"), s6("dd"), s6("bd"), s6("rr"), s6("dr"), s6("br"),
                  s3("ss"), in('i', "ier"), in('f', "fstbui")}});
    r.push_back({"iuoriv", implementation<&iuoriv<P>>(),
                 {in('i', "i"), in('i', "j"), in('i', "ifun"), arr('i', "iu", "(4,4)"),
                  in('i', "ier")}});
    r.push_back({"kuorkv", implementation<&kuorkv<P>>(),
                 {text("xory", 1), in('i', "ii"), in('i', "jj"), in('i', "ifun"),
                  arr('i', "kv", "(2,4)"), in('i', "ier")}});
    r.push_back({"mmtst", implementation<&mmtst<P>>(),
                 {text("xory", 1), inout('d', "mmt", "(*)"), ret('i', "ier")}, check_mmt<P>});
    r.push_back({"modes", implementation<&modes<P>>(), {in('i', "ier")}});
    r.push_back({"pltmsh", implementation<&pltmsh<P>>(), {}});
    r.push_back({"prtout", implementation<&prtout<P>>(),
                 {s6("bb"), s6("dd"), s6("bd"), s6("rr"), s6("dr"), s6("br"), s3("ss")},
                 check_prtout<P>});
    r.push_back({"prtvib", implementation<&prtvib<P>>(),
                 {arr('f', "bb", "(6)"), arr('f', "dd", "(6)"), arr('f', "bd", "(6)"),
                  arr('f', "rr", "(6)"), arr('f', "dr", "(6)"), arr('f', "br", "(6)"),
                  arr('f', "ss", "(3)")}});
    r.push_back({"rddata", implementation<&rddata<P>>(),
                 {e6("bb"), e6("dd"), e6("bd"), e6("rr"), e6("dr"), e6("br"), e3("ss"),
                  in('i', "ier")}});
    r.push_back({"redfkq", implementation<&redfkq<P>>(), {}});
    r.push_back({"setkey", implementation<&setkey<P>>(), {in('i', "ix"), in('i', "iy")}});
    r.push_back({"tczinc", implementation<&tczinc<P>>(),
                 {arr('f', "trm", "(6,6)"), arr('f', "c", "(45," + E + ")"), e6("bb"), in('i', "d"),
                  in('i', "k"), in('i', "ks"), in('i', "ielm")}, check_tczinc<P>});
    r.push_back({"tfmstf", implementation<&tfmstf<P>>(),
                 {arr('f', "c", "(45," + E + ")"), e3("ch"), e6("bb"), e6("dd"), e6("bd"), e6("rr"),
                  e6("dr"), e6("br"), e3("ss"), in('i', "ier")}});
    r.push_back({"tminc", implementation<&tminc<P>>(),
                 {in('f', "cp"), arr('f', "trm", "(6,6)"), e3("ch"), in('f', "rx"), in('f', "ry"),
                  in('f', "rxy"), e3("ss")}});
    r.push_back({"vibs2", implementation<&vibs2<P>>(), {in('i', "ier")}});
    r.push_back({"vibs3", implementation<&vibs3<P>>(),
                 {in('i', "long_bn"), s6("bb"), s6("dd"), s6("bd"), in('f', "rr"), in('f', "dr"),
                  in('f', "br"), in('f', "ss"), in('i', "ier")}});
    return g;
}

template <class P>
GroupDecl parameter_group() {
    return {"zeft" + dim(P::number),
            {{"p_rtnds", P::p_rtnds}, {"p_ngit", P::p_ngit}, {"p_ngrq", P::p_ngrq},
             {"p_nsup", P::p_nsup}, {"p_abdstf", P::p_abdstf}, {"p_nodes", P::p_nodes},
             {"p_stf", P::p_stf}, {"p_elmts", P::p_elmts}, {"p_nx", P::p_nx}, {"p_ny", P::p_ny},
             {"p_ibdx", P::p_ibdx}, {"p_ibdy", P::p_ibdy}},
            {}};
}

/// The private group of the larger size: its limits and the routines the package calls on it
/// (the panel set-up reads callzeft's arguments, the nodal values iuoriv). Its matrix stores
/// are laid out per run, so the limits of the preset stores are not among its parameters.
GroupDecl larger_size_module() {
    GroupDecl g = analysis_module<P61>();
    g.name = "_prtnds61";
    g.published = false;
    std::erase_if(g.params, [](const auto& p) { return p.first.starts_with("p_l"); });
    std::erase_if(g.routines, [](const RoutineDecl& r) { return r.name != "callzeft" && r.name != "iuoriv"; });
    return g;
}

}  // namespace

const std::vector<GroupDecl>& module_groups() {
    static const std::vector<GroupDecl> groups = {
        parameter_group<P31>(),   parameter_group<P19>(),   parameter_group<P21>(),
        parameter_group<P25>(),   zeftutils(),              analysis_module<P31>(),
        analysis_module<P19>(),   analysis_module<P21>(),   analysis_module<P25>(),
        larger_size_module(),
    };
    return groups;
}

const CallView::Arg& CallView::operator[](const std::string& name) const {
    for (const Arg& a : args)
        if (a.decl->name == name) return a;
    throw std::logic_error("no argument named " + name);
}

long long CallView::ival(const std::string& name) const {
    const Arg& a = (*this)[name];
    if (a.decl->type == 'd') return static_cast<long long>(*static_cast<double*>(a.data));
    if (a.decl->type == 'f') return static_cast<long long>(*static_cast<float*>(a.data));
    return *static_cast<int*>(a.data);
}

}  // namespace zeft::binding
