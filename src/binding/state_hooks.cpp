// Private module entries over the analysis state, used by the zeft package and the tests:
//
//   _set_up_panel(preset, <the arguments of callzeft>) -> dict
//       lays out the panel and fills the state of preset 19, 21, 25 or 31, or of the larger
//       size 61 (up to 61 x 61 lines, matrices held for the run only), as callzeft does,
//       without running it. The arguments are matched, converted and checked exactly as
//       callzeft's. Returns the layout: mx, my, a (mx-1 lengths in x), b (my-1 strip widths
//       in y), strips (the my-1 strip kinds), stringer_lines, frame_lines.
//   _lay_out_panel(preset, <the arguments of callzeft>) -> dict
//       the same layout, computed into record panrun alone: no other record changes (a
//       set-up waiting there is dropped).
//   _run_panel(preset)
//       runs the panel prepared by _set_up_panel (once); the results stay in the records
//       valus, pythres and vectrs of _internal<preset>.
//   _reset_state()
//       closes every unit, drops the working folder and the standard-output receiver, and
//       returns every record to its contents at load.
//   _save_state() -> snapshot, _restore_state(snapshot)
//       a copy of every record, and its return into the records (units are not part of it).
//   _stiffener_forces(preset, load_factor) -> dict
//       the axial forces of the stiffeners of the last run of the preset at that load factor,
//       node by node as the geometric stiffness takes them: "stringers" (stringers, x-lines)
//       and "frames" (frames, y-lines), float64.
//
// Between the set-up and the run the caller may change records through _internal<preset>.
#include "binding/python.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "binding/hooks.hpp"
#include "control/front_end.hpp"
#include "control/state_reset.hpp"
#include "results/eigen_listing.hpp"
#include "state/records.hpp"

namespace zeft::binding {

namespace {

/// The analysis group of a size: prtnds<n> of a published preset, _prtnds61 of the larger size.
const GroupDecl* analysis_group(int preset) {
    const std::string name = "prtnds" + std::to_string(preset);
    for (const GroupDecl& g : module_groups())
        if (g.name == name || g.name == "_" + name) return &g;
    return nullptr;
}

/// The preset number of the first argument of a call, or -1 with an exception set.
int preset_of(PyObject* args) {
    const long n = PyTuple_GET_SIZE(args) ? PyLong_AsLong(PyTuple_GET_ITEM(args, 0)) : -1;
    if (PyErr_Occurred()) return -1;
    if (n != 19 && n != 21 && n != 25 && n != 31 && n != 61) {
        PyErr_Format(module_error, "the first argument is the size preset 19, 21, 25, 31 or 61, got %ld", n);
        return -1;
    }
    return static_cast<int>(n);
}

/// A one-dimensional array holding a copy of n values.
template <class T>
PyObject* array_of(const T* v, npy_intp n) {
    constexpr int type = std::is_same_v<T, float> ? NPY_FLOAT32 : NPY_INT32;
    PyObject* a = PyArray_SimpleNew(1, &n, type);
    if (a) std::copy_n(v, n, static_cast<T*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(a))));
    return a;
}

/// The layout left in record panrun by the set-up of preset P.
template <class P>
PyObject* layout_of() {
    const Panrun<P>& r = panrun<P>();
    const npy_intp mx = std::clamp(r.mx, 1, P::p_rtnds), my = std::clamp(r.my, 1, P::p_rtnds);
    return Py_BuildValue("{s:i,s:i,s:N,s:N,s:N,s:N,s:N}", "mx", r.mx, "my", r.my, "a", array_of(r.ap, mx - 1),
                         "b", array_of(r.bp, my - 1), "strips", array_of(r.elmstf, my - 1), "stringer_lines",
                         array_of(r.istx, leading_count(r.istx, P::p_stf)), "frame_lines",
                         array_of(r.isty, leading_count(r.isty, P::p_stf)));
}

/// callzeft's table entry, its arguments and checks, with stage S of callzeft as implementation.
template <class P, PanelStage S>
PyObject* set_up(PyObject* args, PyObject* kwargs) {
    const GroupDecl* g = analysis_group(P::number);
    static const RoutineDecl entry = [g] {
        RoutineDecl s;
        for (const RoutineDecl& r : g->routines)
            if (r.name == "callzeft") s = r;
        s.impl = implementation<&callzeft<P, S>>();
        return s;
    }();
    PyObject* rest = PyTuple_GetSlice(args, 1, PyTuple_GET_SIZE(args));
    if (!rest) return nullptr;
    PyObject* done = call_routine(g->name, entry, rest, kwargs);
    Py_DECREF(rest);
    if (!done) return nullptr;
    Py_DECREF(done);
    return layout_of<P>();
}

/// The run of a prepared panel; refused when none is prepared.
template <class P>
void run_prepared() {
    if (!run_panel<P>())
        throw std::runtime_error("no panel is set up for preset " + std::to_string(P::number) +
                                 "; call _set_up_panel first (a set-up serves one run)");
}

template <class P>
PyObject* run(PyObject* args) {
    static const RoutineDecl entry{"_run_panel", implementation<&run_prepared<P>>(), {}, nullptr};
    PyObject* none = PyTuple_New(0);
    if (!none) return nullptr;
    PyObject* done = call_routine(analysis_group(P::number)->name, entry, none, nullptr);
    Py_DECREF(none);
    return done;
}

template <template <class> class Entry, class... A>
PyObject* for_preset(int preset, A... a) {
    switch (preset) {
        case 19: return Entry<P19>::call(a...);
        case 21: return Entry<P21>::call(a...);
        case 25: return Entry<P25>::call(a...);
        case 61: return Entry<P61>::call(a...);
        default: return Entry<P31>::call(a...);
    }
}

/// The forces of stiffeners 1 .. count (rows) at nodes 1 .. nodes along each (columns).
template <class P>
PyObject* forces_along(bool stringer, int count, int nodes, float lambda) {
    const auto& d = f07dis<P>();
    const npy_intp dims[2] = {count, nodes};
    PyObject* a = PyArray_SimpleNew(2, dims, NPY_DOUBLE);
    if (!a) return nullptr;
    auto* v = static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(a)));
    for (int k = 1; k <= count; ++k)
        for (int n = 1; n <= nodes; ++n)
            *v++ = stringer ? stiffener_node_force<P>(true, k, d.istx[k - 1], n, lambda)
                            : stiffener_node_force<P>(false, k, n, d.isty[k - 1], lambda);
    return a;
}

template <class P>
PyObject* stiffener_forces(float lambda) {
    const auto& g = f07ina<P>();
    const auto& d = f07dis<P>();
    if (g.mx < 2 || g.my < 2 || g.mx > P::p_rtnds || g.my > P::p_rtnds || d.nox < 0 || d.noy < 0 ||
        d.nox > P::p_stf || d.noy > P::p_stf) {
        PyErr_Format(module_error, "_stiffener_forces: preset %d holds no analysed panel", P::number);
        return nullptr;
    }
    auto& grid = f07ina<P>();
    for (int ix = 1; ix <= g.mx; ++ix)
        for (int iy = 1; iy <= g.my; ++iy)
            if (grid.leitm(iy, ix) < 1 || grid.leitm(iy, ix) > g.mx * g.my) {
                PyErr_Format(module_error, "_stiffener_forces: preset %d holds no numbered grid", P::number);
                return nullptr;
            }
    for (int k = 0; k < d.nox; ++k)
        if (d.istx[k] < 1 || d.istx[k] > g.my) {
            PyErr_Format(module_error, "_stiffener_forces: stringer %d lies on y-line %d, outside 1 .. %d", k + 1,
                         d.istx[k], g.my);
            return nullptr;
        }
    for (int k = 0; k < d.noy; ++k)
        if (d.isty[k] < 1 || d.isty[k] > g.mx) {
            PyErr_Format(module_error, "_stiffener_forces: frame %d lies on x-line %d, outside 1 .. %d", k + 1,
                         d.isty[k], g.mx);
            return nullptr;
        }
    return Py_BuildValue("{s:N,s:N}", "stringers", forces_along<P>(true, d.nox, g.mx, lambda), "frames",
                         forces_along<P>(false, d.noy, g.my, lambda));
}

template <class P> struct Forces { static PyObject* call(float lambda) { return stiffener_forces<P>(lambda); } };

PyObject* stiffener_forces_entry(PyObject*, PyObject* args) {
    const int preset = preset_of(args);
    if (preset < 0) return nullptr;
    int n = 0;
    double lambda = 0.0;
    if (!PyArg_ParseTuple(args, "id:_stiffener_forces", &n, &lambda)) return nullptr;
    return for_preset<Forces>(preset, static_cast<float>(lambda));
}

template <class P> struct SetUp {
    static PyObject* call(PyObject* a, PyObject* k) { return set_up<P, PanelStage::set_up>(a, k); }
};
template <class P> struct LayOut {
    static PyObject* call(PyObject* a, PyObject* k) { return set_up<P, PanelStage::layout>(a, k); }
};
template <class P> struct Run { static PyObject* call(PyObject* a) { return run<P>(a); } };

PyObject* set_up_panel(PyObject*, PyObject* args, PyObject* kwargs) {
    const int preset = preset_of(args);
    return preset < 0 ? nullptr : for_preset<SetUp>(preset, args, kwargs);
}

PyObject* lay_out_panel(PyObject*, PyObject* args, PyObject* kwargs) {
    const int preset = preset_of(args);
    return preset < 0 ? nullptr : for_preset<LayOut>(preset, args, kwargs);
}

PyObject* run_panel_entry(PyObject*, PyObject* args) {
    const int preset = preset_of(args);
    if (preset < 0) return nullptr;
    if (PyTuple_GET_SIZE(args) != 1) {
        PyErr_SetString(PyExc_TypeError, "_run_panel(preset) takes the preset alone");
        return nullptr;
    }
    return for_preset<Run>(preset, args);
}

PyObject* reset(PyObject*, PyObject*) {
    reset_state();
    Py_RETURN_NONE;
}

constexpr const char* snapshot_name = "_zeft.state";

void free_snapshot(PyObject* capsule) {
    delete static_cast<RecordSnapshot*>(PyCapsule_GetPointer(capsule, snapshot_name));
}

PyObject* save(PyObject*, PyObject*) {
    auto* s = new (std::nothrow) RecordSnapshot();
    if (!s) return PyErr_NoMemory();
    PyObject* capsule = PyCapsule_New(s, snapshot_name, free_snapshot);
    if (!capsule) delete s;
    return capsule;
}

PyObject* restore(PyObject*, PyObject* arg) {
    auto* s = static_cast<RecordSnapshot*>(PyCapsule_GetPointer(arg, snapshot_name));
    if (!s) return nullptr;
    s->restore();
    Py_RETURN_NONE;
}

PyMethodDef state_methods[] = {
    {"_set_up_panel", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(set_up_panel)),
     METH_VARARGS | METH_KEYWORDS,
     "_set_up_panel(preset, <arguments of callzeft>) -> dict: lay out the panel and fill the state of the "
     "preset without running it; returns the layout (mx, my, a, b, strips, stringer_lines, frame_lines)."},
    {"_lay_out_panel", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(lay_out_panel)),
     METH_VARARGS | METH_KEYWORDS,
     "_lay_out_panel(preset, <arguments of callzeft>) -> dict: the layout of _set_up_panel, computed into "
     "record panrun alone (any set-up waiting there is dropped; no other record changes)."},
    {"_run_panel", run_panel_entry, METH_VARARGS,
     "_run_panel(preset): run the panel prepared by _set_up_panel; the results stay in valus, pythres and "
     "vectrs."},
    {"_reset_state", reset, METH_NOARGS,
     "_reset_state(): close every unit, drop the working folder and the standard-output receiver, and "
     "return every record to its contents at load."},
    {"_stiffener_forces", stiffener_forces_entry, METH_VARARGS,
     "_stiffener_forces(preset, load_factor) -> dict: the axial forces of the stiffeners of the last run of "
     "the preset, node by node: stringers (stringers, x-lines), frames (frames, y-lines)."},
    {"_save_state", save, METH_NOARGS, "_save_state() -> snapshot of every record (units excluded)."},
    {"_restore_state", restore, METH_O, "_restore_state(snapshot): put a snapshot back into the records."},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

int add_state_hooks(PyObject* module) { return PyModule_AddFunctions(module, state_methods); }

}  // namespace zeft::binding
