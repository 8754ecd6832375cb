// The extension module _zeft: routine groups, parameter groups, record objects whose members
// are live NumPy views of the shared analysis state, the module error and the help text.
#define ZEFT_IMPORT_ARRAY_HERE
#include "binding/python.hpp"

#include <cstring>
#include <structmember.h>
#include <memory>
#include <vector>

#include "binding/hooks.hpp"
#include "solver/isa.hpp"
#include "state/records.hpp"

namespace zeft::binding {

PyObject* module_error = nullptr;

namespace {

// ================================================================== routine objects

struct RoutineObject {
    PyObject_HEAD
    const RoutineDecl* decl;
    const std::string* group;
    PyObject* doc;
};

PyObject* routine_call(PyObject* self, PyObject* args, PyObject* kwargs) {
    auto* r = reinterpret_cast<RoutineObject*>(self);
    return call_routine(*r->group, *r->decl, args, kwargs);
}

void routine_dealloc(PyObject* self) {
    Py_XDECREF(reinterpret_cast<RoutineObject*>(self)->doc);
    Py_TYPE(self)->tp_free(self);
}

PyObject* routine_repr(PyObject* self) {
    auto* r = reinterpret_cast<RoutineObject*>(self);
    return PyUnicode_FromFormat("<routine %s of %s>", r->decl->name.c_str(), r->group->c_str());
}

PyObject* routine_get_doc(PyObject* self, void*) {
    PyObject* d = reinterpret_cast<RoutineObject*>(self)->doc;
    Py_INCREF(d);
    return d;
}

PyObject* routine_get_name(PyObject* self, void*) {
    return PyUnicode_FromString(reinterpret_cast<RoutineObject*>(self)->decl->name.c_str());
}

PyGetSetDef routine_getset[] = {
    {"__doc__", routine_get_doc, nullptr, nullptr, nullptr},
    {"__name__", routine_get_name, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject* RoutineType = nullptr;

// ================================================================== group objects

struct GroupObject {
    PyObject_HEAD
    PyObject* dict;
    const GroupDecl* decl;
};

void group_dealloc(PyObject* self) {
    Py_XDECREF(reinterpret_cast<GroupObject*>(self)->dict);
    Py_TYPE(self)->tp_free(self);
}

PyObject* group_repr(PyObject* self) {
    return PyUnicode_FromFormat("<routine group '%s'>", reinterpret_cast<GroupObject*>(self)->decl->name.c_str());
}

PyTypeObject* GroupType = nullptr;

/// Storage of the published integer parameters (viewed read-only by 0-d arrays).
std::vector<std::unique_ptr<int>>& parameter_storage() {
    static std::vector<std::unique_ptr<int>> s;
    return s;
}

PyObject* scalar_view(int typenum, void* data, PyObject* base, bool writeable) {
    PyObject* a = PyArray_New(&PyArray_Type, 0, nullptr, typenum, nullptr, data, 0,
                              writeable ? NPY_ARRAY_FARRAY : NPY_ARRAY_FARRAY_RO, nullptr);
    if (a && base) {
        Py_INCREF(base);
        if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(a), base) < 0) {
            Py_DECREF(a);
            return nullptr;
        }
    }
    return a;
}

PyObject* make_group(const GroupDecl& g) {
    auto* obj = PyObject_New(GroupObject, GroupType);
    if (!obj) return nullptr;
    obj->decl = &g;
    obj->dict = PyDict_New();
    if (!obj->dict) {
        Py_DECREF(obj);
        return nullptr;
    }
    for (const auto& [name, value] : g.params) {
        parameter_storage().push_back(std::make_unique<int>(static_cast<int>(value)));
        PyObject* v = scalar_view(NPY_INT32, parameter_storage().back().get(), nullptr, false);
        if (!v || PyDict_SetItemString(obj->dict, name.c_str(), v) < 0) {
            Py_XDECREF(v);
            Py_DECREF(obj);
            return nullptr;
        }
        Py_DECREF(v);
    }
    for (const RoutineDecl& r : g.routines) {
        auto* ro = PyObject_New(RoutineObject, RoutineType);
        if (!ro) {
            Py_DECREF(obj);
            return nullptr;
        }
        ro->decl = &r;
        ro->group = &g.name;
        ro->doc = PyUnicode_FromString(routine_help(r).c_str());
        if (!ro->doc || PyDict_SetItemString(obj->dict, r.name.c_str(), reinterpret_cast<PyObject*>(ro)) < 0) {
            Py_DECREF(ro);
            Py_DECREF(obj);
            return nullptr;
        }
        Py_DECREF(ro);
    }
    return reinterpret_cast<PyObject*>(obj);
}

// ================================================================== record objects

/// One published member of a record: element type, shape (column-major) and storage.
struct Member {
    std::string name;
    char type;                     ///< 'i', 'f' or 'c'
    std::vector<npy_intp> dims;    ///< empty for a scalar; for 'c' the text length
    void* data;
};

int member_typenum(char type) { return type == 'f' ? NPY_FLOAT32 : type == 'd' ? NPY_FLOAT64 : NPY_INT32; }

struct RecordSpec {
    std::string name;
    std::vector<Member> members;
};

template <class T>
Member m(const char* name, T* data, std::vector<npy_intp> dims = {}) {
    constexpr char type = std::is_same_v<T, float>    ? 'f'
                          : std::is_same_v<T, double> ? 'd'
                          : std::is_same_v<T, char>   ? 'c'
                                                      : 'i';
    return {name, type, std::move(dims), static_cast<void*>(data)};
}

/// The published records, members in record order; preset-dependent records show the
/// preset-31 layout.
const std::vector<RecordSpec>& record_specs() {
    static const std::vector<RecordSpec> decls = [] {
        auto& ina = f07ina<P31>();
        auto& qua = f01qua<P31>();
        return std::vector<RecordSpec>{
            {"antype", {m("temp", &antype.temp), m("strs", &antype.strs), m("buck", &antype.buck),
                        m("vibr", &antype.vibr), m("inpb", &antype.inpb), m("cripan", &antype.cripan),
                        m("glban", &antype.glban)}},
            {"f07in1", {m("a1", f07in1.s1, {63}), m("a2", f07in1.s1 + 63, {81})}},
            {"f07in2", {m("b1", f07in2.s2, {59}), m("b2", f07in2.s2 + 59, {85})}},
            {"man", {m("ix", &man.ix), m("iy", &man.iy), m("iter", &man.iter), m("neigit", &man.neigit),
                     m("itab", &man.itab), m("neigrq", &man.neigrq), m("mempri", &man.mempri),
                     m("x2pri", &man.x2pri)}},
            {"title", {m("tit", title.tit, {80})}},
            {"datran", {m("nread", &datran.nread), m("nwrite", &datran.nwrite), m("nstore", &datran.nstore)}},
            {"test", {m("pax", test.pax, {2})}},
            {"stringercom", {m("footth", &stringercom.footth), m("webth", &stringercom.webth),
                             m("footwidth", &stringercom.footwidth), m("webheight", &stringercom.webheight),
                             m("ddst", stringercom.ddst, {6}), m("chordwidth", &stringercom.chordwidth),
                             m("chordth", &stringercom.chordth), m("alpha", &stringercom.alpha)}},
            {"f07ina", {m("ku", ina.ku, {5}), m("mx", &ina.mx), m("my", &ina.my), m("a", ina.a, {30}),
                        m("b", ina.b, {30}), m("leit", ina.leit, {31, 31}), m("ibdx", &ina.ibdx),
                        m("ibdy", &ina.ibdy), m("knfun", &ina.knfun)}},
            {"f07inb", {m("rx", &f07inb.rx), m("ry", &f07inb.ry), m("rxy", &f07inb.rxy)}},
            {"f07inc", {m("s", f07inc.s, {21})}},
            {"f07ind", {m("seiten", &f07ind.seiten), m("bndy0", f07ind.bndy0, {7}), m("bndx0", f07ind.bndx0, {7}),
                        m("bndyl", f07ind.bndyl, {7}), m("bndxl", f07ind.bndxl, {7}),
                        m("idesup", f07ind.idesup, {4, 250}), m("numsup", &f07ind.numsup)}},
            {"f01eps", {m("feps", f01eps.feps, {11, 3}), m("keps", f01eps.keps, {11, 3})}},
            {"f01qua", {m("fquad", qua.fquad, {340, 900}), m("kquad", qua.kquad, {340, 3, 900}),
                        m("ikt", qua.ikt, {900})}},
            {"plotin", {m("scal", &plotin.scal), m("indplt", &plotin.indplt), m("npx", &plotin.npx),
                        m("npy", &plotin.npy), m("isymx", &plotin.isymx), m("isymy", &plotin.isymy),
                        m("mdsplt", plotin.mdsplt, {50}), m("nmod", &plotin.nmod)}},
        };
    }();
    return decls;
}

/// Every record of the shared state, published or not, in the layout of preset P: what the
/// private attribute _internal<P> shows for inspection by the test suite.
template <class P>
std::vector<RecordSpec> internal_record_specs() {
    using v = std::vector<npy_intp>;
    const npy_intp R1 = P::p_rtnds - 1, R = P::p_rtnds, S = P::p_stf, N = P::p_nodes, E = P::p_elmts;
    auto& ina = f07ina<P>();
    auto& dis = f07dis<P>();
    auto& qua = f01qua<P>();
    auto& lv = comlv<P>();
    [[maybe_unused]] auto& mat = matrix<P>();
    std::vector<RecordSpec> decls = record_specs();
    for (RecordSpec& r : decls) {
        if (r.name == "f07ina")
            r.members = {m("ku", ina.ku, {5}), m("mx", &ina.mx), m("my", &ina.my), m("a", ina.a, v{R1}),
                         m("b", ina.b, v{R1}), m("leit", ina.leit, v{R, R}), m("ibdx", &ina.ibdx),
                         m("ibdy", &ina.ibdy), m("knfun", &ina.knfun)};
        if (r.name == "f01qua")
            r.members = {m("fquad", qua.fquad, v{P::p_itrm, E}), m("kquad", qua.kquad, v{P::p_itrm, 3, E}),
                         m("ikt", qua.ikt, v{E})};
        if (r.name == "test")
            r.members = {m("pax", test.pax, {2}), m("stiffx", &test.stiffx), m("epsweb", &test.epsweb),
                         m("sigmweb", &test.sigmweb)};
        if (r.name == "f07in1") r.members.push_back(m("s1", f07in1.s1, {3, 4, 3, 4}));
        if (r.name == "f07in2") r.members.push_back(m("s2", f07in2.s2, {3, 4, 3, 4}));
    }
    decls.push_back({"f07ang", {m("alfax", &f07ang.alfax), m("alfay", &f07ang.alfay)}});
    decls.push_back({"skstf", {m("matabd", skstf.matabd, {18, 2}), m("matsw", skstf.matsw, {21, 2})}});
    decls.push_back({"densit", {m("dom", &densit.dom), m("pdom", &densit.pdom)}});
    decls.push_back({"glbuckcom", {m("skinth", &glbuckcom.skinth), m("stpitch", &glbuckcom.stpitch)}});
    decls.push_back({"valus", {m("elam", valus.elam, {55})}});
    decls.push_back({"itertol", {m("epsiln", &itertol.epsiln)}});
    decls.push_back({"pythres", {m("membraneforces", pythres.membraneforces, {55, 5})}});
    decls.push_back({"f07aij", {m("aij", f07aij.aij, {3, 3})}});
    decls.push_back({"f07pd", {m("sa", &f07pd.sa), m("sb", &f07pd.sb), m("fa", &f07pd.fa),
                               m("b1", f07pd.b1, {4, 4}), m("fs", &f07pd.fs)}});
    decls.push_back({"plotfls", {m("xplt", plotfls.xplt, {81}), m("yplt", plotfls.yplt, {81}), m("lx", &plotfls.lx),
                                 m("ly", &plotfls.ly), m("dx", &plotfls.dx), m("dy", &plotfls.dy),
                                 m("cntr", plotfls.cntr, {81, 81})}});
    decls.push_back({"f07dis", {m("steifx", dis.steifx, v{4, S}), m("istx", dis.istx, v{S}), m("nox", &dis.nox),
                                m("domx", dis.domx, v{S}), m("steify", dis.steify, v{4, S}), m("isty", dis.isty, v{S}),
                                m("noy", &dis.noy), m("domy", dis.domy, v{S}), m("stype", &dis.stype)}});
    decls.push_back({"stftor", {m("ipax", stftor<P>().ipax, v{S}), m("ipay", stftor<P>().ipay, v{S})}});
    decls.push_back({"stiffcom", {m("elmstf", stiffcom<P>().elmstf, v{R1})}});
    decls.push_back({"cpfest", {m("pfest", cpfest<P>().pfest, v{N, 3})}});
    decls.push_back({"cpvar", {m("pvar", cpvar<P>().pvar, v{N, 3})}});
    decls.push_back({"vectrs", {m("x", vectrs<P>().x, v{P::p_nx, P::p_ngit})}});
    decls.push_back({"comlv", {m("lvtri", lv.lvtri, v{P::p_nx}), m("lva22", lv.lva22, v{P::p_ny}),
                               m("lvb", lv.lvb, v{P::p_nx})}});
    if constexpr (!heap_matrices<P>)  // the larger size's matrices exist during a run only
        decls.push_back({"matrix", {m("a22", mat.a22, v{P::p_la22}), m("a11", mat.a11, v{P::p_la11}),
                                    m("b11", mat.b11, v{P::p_lb11}), m("a21", mat.a21, v{P::p_ny, P::p_nx})}});
    decls.push_back({"f07mat", {m("lm", f07mat<P>().lm, v{5, 4, N})}});
    auto& run = panrun<P>();
    decls.push_back({"panrun", {m("ready", &run.ready), m("buck", &run.buck), m("itab", &run.itab),
                                m("neigit", &run.neigit), m("neigrq", &run.neigrq), m("mempri", &run.mempri),
                                m("indplt", &run.indplt), m("mx", &run.mx), m("my", &run.my), m("ap", run.ap, v{R1}), m("bp", run.bp, v{R1}),
                                m("istx", run.istx, v{S}), m("isty", run.isty, v{S}), m("elmstf", run.elmstf, v{R1}),
                                m("steifx", run.steifx, v{4, S}), m("steify", run.steify, v{4, S})}});
    return decls;
}

/// The internal records of the four presets and of the larger size, kept for the life of the
/// module.
const std::vector<std::pair<std::string, std::vector<RecordSpec>>>& internal_views() {
    static const std::vector<std::pair<std::string, std::vector<RecordSpec>>> views = {
        {"_internal31", internal_record_specs<P31>()}, {"_internal19", internal_record_specs<P19>()},
        {"_internal21", internal_record_specs<P21>()}, {"_internal25", internal_record_specs<P25>()},
        {"_internal61", internal_record_specs<P61>()}};
    return views;
}

struct RecordObject {
    PyObject_HEAD
    const RecordSpec* decl;
};

const Member* find_member(const RecordSpec& decl, PyObject* name) {
    const char* n = PyUnicode_Check(name) ? PyUnicode_AsUTF8(name) : nullptr;
    if (!n) {
        PyErr_Clear();
        return nullptr;
    }
    for (const Member& mb : decl.members)
        if (mb.name == n) return &mb;
    return nullptr;
}

/// A live view of a member: rank 0 for a scalar, the member's shape in column-major order.
PyObject* member_view(const Member& mb, PyObject* owner) {
    PyArray_Descr* descr;
    int nd = static_cast<int>(mb.dims.size());
    const npy_intp* dims = mb.dims.data();
    if (mb.type == 'c') {
        descr = PyArray_DescrNewFromType(NPY_STRING);
        if (!descr) return nullptr;
#if NPY_ABI_VERSION >= 0x02000000
        PyDataType_SET_ELSIZE(descr, mb.dims[0]);
#else
        descr->elsize = static_cast<int>(mb.dims[0]);
#endif
        nd = 0;
        dims = nullptr;
    } else {
        descr = PyArray_DescrFromType(member_typenum(mb.type));
    }
    PyObject* a = PyArray_NewFromDescr(&PyArray_Type, descr, nd, const_cast<npy_intp*>(dims), nullptr, mb.data,
                                       NPY_ARRAY_FARRAY, nullptr);
    if (!a) return nullptr;
    Py_INCREF(owner);
    if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(a), owner) < 0) {
        Py_DECREF(a);
        return nullptr;
    }
    return a;
}

PyObject* record_getattro(PyObject* self, PyObject* name) {
    const Member* mb = find_member(*reinterpret_cast<RecordObject*>(self)->decl, name);
    if (mb) return member_view(*mb, self);
    return PyObject_GenericGetAttr(self, name);
}

/// Assignment writes into the shared record, converted to the member's element type.
int record_setattro(PyObject* self, PyObject* name, PyObject* value) {
    const Member* mb = find_member(*reinterpret_cast<RecordObject*>(self)->decl, name);
    if (!mb) {
        PyErr_Format(PyExc_AttributeError, "record has no member %R", name);
        return -1;
    }
    if (!value) {
        PyErr_SetString(PyExc_TypeError, "record members cannot be deleted");
        return -1;
    }
    if (mb->type == 'c') {
        PyObject* bytes = PyBytes_Check(value) ? (Py_INCREF(value), value) : nullptr;
        if (!bytes) {
            PyObject* str = PyUnicode_Check(value) ? (Py_INCREF(value), value) : PyObject_Str(value);
            if (!str) return -1;
            bytes = PyUnicode_AsASCIIString(str);
            Py_DECREF(str);
            if (!bytes) return -1;
        }
        char* dst = static_cast<char*>(mb->data);
        const npy_intp n = mb->dims[0];
        const Py_ssize_t len = PyBytes_GET_SIZE(bytes);
        std::memset(dst, ' ', static_cast<size_t>(n));
        std::memcpy(dst, PyBytes_AS_STRING(bytes), static_cast<size_t>(len < n ? len : n));
        Py_DECREF(bytes);
        return 0;
    }
    PyObject* view = member_view(*mb, self);
    if (!view) return -1;
    // Convert first (so a failed conversion leaves the record untouched), then copy.
    PyObject* conv = PyArray_FromAny(value, PyArray_DescrFromType(member_typenum(mb->type)), 0, 0,
                                     NPY_ARRAY_FORCECAST, nullptr);
    int rc = -1;
    if (conv) {
        rc = PyArray_CopyInto(reinterpret_cast<PyArrayObject*>(view), reinterpret_cast<PyArrayObject*>(conv));
        Py_DECREF(conv);
    }
    Py_DECREF(view);
    return rc;
}

PyObject* record_dir(PyObject* self, PyObject*) {
    const RecordSpec& decl = *reinterpret_cast<RecordObject*>(self)->decl;
    PyObject* list = PyList_New(0);
    if (!list) return nullptr;
    for (const Member& mb : decl.members) {
        PyObject* s = PyUnicode_FromString(mb.name.c_str());
        if (!s || PyList_Append(list, s) < 0) {
            Py_XDECREF(s);
            Py_DECREF(list);
            return nullptr;
        }
        Py_DECREF(s);
    }
    return list;
}

PyObject* record_repr(PyObject* self) {
    return PyUnicode_FromFormat("<record '%s'>", reinterpret_cast<RecordObject*>(self)->decl->name.c_str());
}

PyMethodDef record_methods[] = {
    {"__dir__", record_dir, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject* RecordType = nullptr;

std::string member_text(const Member& mb) {
    std::string s = mb.name;
    if (!mb.dims.empty()) {
        s += "(";
        for (size_t k = 0; k < mb.dims.size(); ++k) s += (k ? "," : "") + std::to_string(mb.dims[k]);
        s += ")";
    }
    return s;
}

// ================================================================== module

std::string module_doc() {
    std::string d = "This module '_zeft' was generated automatically from its signature table (version:2).\n";
    d += "Functions:\n";
    d += "COMMON blocks:\n";
    for (const RecordSpec& r : record_specs()) {
        d += "  /" + r.name + "/ ";
        for (size_t k = 0; k < r.members.size(); ++k) d += (k ? "," : "") + member_text(r.members[k]);
        d += "\n";
    }
    d += "Routine groups:\n";
    for (const GroupDecl& g : module_groups()) {
        if (!g.published) continue;
        d += "  " + g.name + " --- ";
        bool first = true;
        for (const auto& p : g.params) {
            d += (first ? "" : ",") + p.first;
            first = false;
        }
        for (const RoutineDecl& r : g.routines) {
            d += (first ? "" : ",") + r.name + "()";
            first = false;
        }
    }
    return d + ".";
}

bool init_types() {
    static PyType_Slot routine_slots[] = {
        {Py_tp_call, reinterpret_cast<void*>(routine_call)},
        {Py_tp_dealloc, reinterpret_cast<void*>(routine_dealloc)},
        {Py_tp_repr, reinterpret_cast<void*>(routine_repr)},
        {Py_tp_getset, routine_getset},
        {0, nullptr}};
    static PyType_Spec routine_spec = {"_zeft.routine", sizeof(RoutineObject), 0, Py_TPFLAGS_DEFAULT, routine_slots};
    static PyMemberDef group_members[] = {
        {"__dictoffset__", T_PYSSIZET, offsetof(GroupObject, dict), READONLY, nullptr},
        {nullptr, 0, 0, 0, nullptr}};
    static PyGetSetDef group_getset[] = {
        {"__dict__", PyObject_GenericGetDict, nullptr, nullptr, nullptr},
        {nullptr, nullptr, nullptr, nullptr, nullptr}};
    static PyType_Slot group_slots[] = {
        {Py_tp_getset, group_getset},
        {Py_tp_dealloc, reinterpret_cast<void*>(group_dealloc)},
        {Py_tp_repr, reinterpret_cast<void*>(group_repr)},
        {Py_tp_getattro, reinterpret_cast<void*>(PyObject_GenericGetAttr)},
        {Py_tp_members, group_members},
        {0, nullptr}};
    static PyType_Spec group_spec = {"_zeft.group", sizeof(GroupObject), 0, Py_TPFLAGS_DEFAULT, group_slots};
    static PyType_Slot record_slots[] = {
        {Py_tp_getattro, reinterpret_cast<void*>(record_getattro)},
        {Py_tp_setattro, reinterpret_cast<void*>(record_setattro)},
        {Py_tp_repr, reinterpret_cast<void*>(record_repr)},
        {Py_tp_methods, record_methods},
        {0, nullptr}};
    static PyType_Spec record_spec = {"_zeft.record", sizeof(RecordObject), 0, Py_TPFLAGS_DEFAULT, record_slots};
    RoutineType = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&routine_spec));
    GroupType = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&group_spec));
    RecordType = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&record_spec));
    return RoutineType && GroupType && RecordType;
}

/// Every routine of the table must match its implementation and the core's declarations.
bool check_table() {
    for (const GroupDecl& g : module_groups())
        for (const RoutineDecl& r : g.routines) {
            const std::string reason = table_mismatch(g.name, r);
            if (!reason.empty()) {
                PyErr_Format(PyExc_ImportError, "_zeft: %s", reason.c_str());
                return false;
            }
        }
    return true;
}

PyModuleDef module_def = {PyModuleDef_HEAD_INIT, "_zeft", nullptr, -1, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

}  // namespace zeft::binding

PyMODINIT_FUNC PyInit__zeft() {
    using namespace zeft::binding;
    if (_import_array() < 0) {
        PyObject *t, *v, *tb;
        PyErr_Fetch(&t, &v, &tb);
        PyErr_SetString(PyExc_ImportError, "can't initialize module _zeft (failed to import numpy)");
        Py_XDECREF(t);
        Py_XDECREF(v);
        Py_XDECREF(tb);
        return nullptr;
    }
    if (const std::string& why = zeft::isa::problem(); !why.empty()) {
        PyErr_SetString(PyExc_ImportError, why.c_str());
        return nullptr;
    }
    if (!init_types() || !check_table()) return nullptr;
    static std::string doc = module_doc();
    module_def.m_doc = doc.c_str();
    PyObject* mod = PyModule_Create(&module_def);
    if (!mod) return nullptr;
    auto fail = [&]() -> PyObject* {
        Py_DECREF(mod);
        return nullptr;
    };
    if (!module_error) {
        module_error = PyErr_NewException("_zeft.error", PyExc_Exception, nullptr);
        if (!module_error) return fail();
    }
    Py_INCREF(module_error);
    if (PyModule_AddObject(mod, "__zeft_error", module_error) < 0) return fail();
    Py_INCREF(module_error);
    if (PyModule_AddObject(mod, "error", module_error) < 0) return fail();
    if (PyModule_AddObject(mod, "__version__", PyBytes_FromString("$Revision: $")) < 0) return fail();
    for (const GroupDecl& g : module_groups()) {
        PyObject* obj = make_group(g);
        if (!obj || PyModule_AddObject(mod, g.name.c_str(), obj) < 0) return fail();
    }
    for (const RecordSpec& r : record_specs()) {
        auto* rec = PyObject_New(RecordObject, RecordType);
        if (!rec) return fail();
        rec->decl = &r;
        if (PyModule_AddObject(mod, r.name.c_str(), reinterpret_cast<PyObject*>(rec)) < 0) return fail();
    }
    // Private: every record in each preset's layout, for inspection by the test suite.
    for (const auto& [name, decls] : internal_views()) {
        PyObject* ns = PyModule_New(name.c_str());
        if (!ns) return fail();
        for (const RecordSpec& r : decls) {
            auto* rec = PyObject_New(RecordObject, RecordType);
            if (!rec || PyModule_AddObject(ns, r.name.c_str(), reinterpret_cast<PyObject*>(rec)) < 0) {
                Py_XDECREF(rec);
                Py_DECREF(ns);
                return fail();
            }
            rec->decl = &r;
        }
        if (PyModule_AddObject(mod, name.c_str(), ns) < 0) return fail();
    }
    if (add_private_hooks(mod) < 0 || add_state_hooks(mod) < 0 || add_certify_hook(mod) < 0) return fail();
    // Private: the instruction-set path of the solver kernels and the paths this processor runs.
    if (PyModule_AddStringConstant(mod, "_isa", zeft::isa::name(zeft::isa::current())) < 0) return fail();
    const std::vector<zeft::isa::Path> paths = zeft::isa::supported();
    PyObject* names = PyTuple_New(static_cast<Py_ssize_t>(paths.size()));
    if (!names) return fail();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        PyObject* name = PyUnicode_FromString(zeft::isa::name(paths[i]));
        if (!name) {
            Py_DECREF(names);
            return fail();
        }
        PyTuple_SET_ITEM(names, static_cast<Py_ssize_t>(i), name);
    }
    if (PyModule_AddObject(mod, "_isa_supported", names) < 0) {
        Py_DECREF(names);
        return fail();
    }
    return mod;
}
