// Private entry _certify: the certificate of the load factors of the last run of a preset.
//
//   _certify(preset, load_factors, vectors) -> dict
//       load_factors (n,) and the W eigenvectors (rows >= ix, n) of the run, as callzeft
//       returned them (or any subset of its pairs). The dict holds "residuals" (n,),
//       "shifts" (sigma-, sigma+), "found" and "reported" (counts in (sigma-, 0) and
//       (0, sigma+)) and "missing": None, or the interval (lo, hi) holding an eigenvalue
//       that is not among the load factors. _zeft.error when nothing could be checked.
#include "binding/python.hpp"

#include <new>

#include "binding/hooks.hpp"
#include "solver/certify.hpp"
#include "state/presets.hpp"

namespace zeft::binding {

namespace {

template <class P>
Certificate certify_preset(const PyArrayObject* lam, const PyArrayObject* vec) {
    const auto n = static_cast<int>(PyArray_DIM(lam, 0));
    return certify<P>(static_cast<const double*>(PyArray_DATA(lam)), static_cast<const double*>(PyArray_DATA(vec)),
                      n, static_cast<long long>(PyArray_DIM(vec, 0)));
}

PyObject* certify_hook(PyObject*, PyObject* args) {
    int preset = 0;
    PyObject *lam_obj = nullptr, *vec_obj = nullptr;
    if (!PyArg_ParseTuple(args, "iOO:_certify", &preset, &lam_obj, &vec_obj)) return nullptr;
    auto* lam = reinterpret_cast<PyArrayObject*>(
        PyArray_FROMANY(lam_obj, NPY_DOUBLE, 1, 1, NPY_ARRAY_C_CONTIGUOUS | NPY_ARRAY_ALIGNED));
    if (!lam) return nullptr;
    auto* vec = reinterpret_cast<PyArrayObject*>(
        PyArray_FROMANY(vec_obj, NPY_DOUBLE, 2, 2, NPY_ARRAY_F_CONTIGUOUS | NPY_ARRAY_ALIGNED));
    if (!vec) {
        Py_DECREF(lam);
        return nullptr;
    }
    const auto done = [&](PyObject* result) {
        Py_DECREF(lam);
        Py_DECREF(vec);
        return result;
    };
    if (PyArray_DIM(vec, 1) != PyArray_DIM(lam, 0) || PyArray_DIM(lam, 0) < 1) {
        PyErr_SetString(module_error, "_certify: one eigenvector column per load factor, at least one");
        return done(nullptr);
    }
    Certificate c;
    try {
        switch (preset) {
            case 31: c = certify_preset<P31>(lam, vec); break;
            case 19: c = certify_preset<P19>(lam, vec); break;
            case 21: c = certify_preset<P21>(lam, vec); break;
            case 25: c = certify_preset<P25>(lam, vec); break;
            case 61: c = certify_preset<P61>(lam, vec); break;
            default:
                PyErr_Format(module_error, "_certify: size preset %d is not one of 31, 19, 21, 25, 61", preset);
                return done(nullptr);
        }
    } catch (const std::bad_alloc&) {
        PyErr_SetString(module_error, "_certify: not enough memory for the matrices of the run");
        return done(nullptr);
    }
    if (!c.fault.empty()) {
        PyErr_Format(module_error, "_certify: %s", c.fault.c_str());
        return done(nullptr);
    }
    npy_intp n = static_cast<npy_intp>(c.residual.size());
    PyObject* res = PyArray_SimpleNew(1, &n, NPY_DOUBLE);
    if (!res) return done(nullptr);
    std::copy(c.residual.begin(), c.residual.end(), static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(res))));
    PyObject* missing = c.missing[0] < c.missing[1] ? Py_BuildValue("(dd)", c.missing[0], c.missing[1])
                                                    : (Py_INCREF(Py_None), Py_None);
    return done(Py_BuildValue("{sNs(dd)s(ii)s(ii)sN}", "residuals", res, "shifts", c.shift[0], c.shift[1], "found",
                              c.found[0], c.found[1], "reported", c.reported[0], c.reported[1], "missing", missing));
}

PyMethodDef certify_methods[] = {
    {"_certify", certify_hook, METH_VARARGS,
     "_certify(preset, load_factors, vectors) -> dict: residuals and Sturm counts of the load "
     "factors of the last run of that preset."},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

int add_certify_hook(PyObject* module) { return PyModule_AddFunctions(module, certify_methods); }

}  // namespace zeft::binding
