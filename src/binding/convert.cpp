// Argument matching and conversion of a routine call, driven by the signature table.
//
// A call proceeds in phases: (A) the required arguments in order, scalars and texts converted,
// arrays converted to their element type and column-major layout with the extents that are
// already known checked; (B) the optional keywords, explicit or defaulted from an array's
// shape, with their relations; (C) the remaining array extents; (D) returned arrays; then the
// routine's precheck, the call, and the returned values.
#include "binding/python.hpp"

#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "control/interrupt.hpp"

namespace zeft::binding {

namespace {

int typenum_of(char type) {
    switch (type) {
        case 'f': return NPY_FLOAT32;
        case 'd': return NPY_FLOAT64;
        default: return NPY_INT32;
    }
}

const char* scalar_kind_name(char type) {
    switch (type) {
        case 'f': return "float";
        case 'd': return "double";
        default: return "int";
    }
}

/// Raises _zeft.error with the message, chaining the pending exception (if any) as its cause.
void raise_chained(const std::string& message) {
    PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
    PyErr_Fetch(&type, &value, &tb);
    PyObject* cause = nullptr;
    if (type) {
        PyErr_NormalizeException(&type, &value, &tb);
        if (tb && value) PyException_SetTraceback(value, tb);
        cause = value;
        Py_XDECREF(type);
        Py_XDECREF(tb);
    }
    PyObject* exc = PyObject_CallFunction(module_error, "s", message.c_str());
    if (!exc) {
        Py_XDECREF(cause);
        return;
    }
    if (cause) {
        Py_INCREF(cause);
        PyException_SetContext(exc, cause);
        PyException_SetCause(exc, cause);  // steals the reference
    }
    PyErr_SetObject(module_error, exc);
    Py_DECREF(exc);
}

/// One extent of a dims text: any ("*"), a product of numbers and names, optionally ">=".
struct Extent {
    bool any = false;
    bool at_least = false;
    std::vector<std::string> factors;
};

std::vector<Extent> parse_dims(const std::string& dims) {
    std::vector<Extent> out;
    if (dims.empty()) return out;
    std::string body = dims.substr(1, dims.size() - 2);
    size_t start = 0;
    while (start <= body.size()) {
        size_t comma = body.find(',', start);
        std::string item = body.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        Extent e;
        if (item == "*") {
            e.any = true;
        } else {
            if (item.rfind(">=", 0) == 0) {
                e.at_least = true;
                item = item.substr(2);
            }
            size_t s = 0;
            while (s <= item.size()) {
                size_t star = item.find('*', s);
                e.factors.push_back(item.substr(s, star == std::string::npos ? std::string::npos : star - s));
                if (star == std::string::npos) break;
                s = star + 1;
            }
        }
        out.push_back(std::move(e));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool is_number(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

/// State of one argument during a call.
struct Value {
    const ArgDecl* decl = nullptr;
    int host_position = 0;  ///< ordinal among required arguments, or among keywords
    PyObject* obj = nullptr;  ///< borrowed: what the caller passed (nullptr when omitted)
    bool known = false;       ///< scalar value determined
    int i = 0;
    float f = 0.0f;
    double d = 0.0;
    std::string text;         ///< textlen characters followed by a NUL
    PyArrayObject* array = nullptr;  ///< owned
    std::vector<long long> dims;
    PyArrayObject* writeback = nullptr;  ///< borrowed: scalar passed as a 1-element array
    std::vector<Extent> extents;

    ~Value() { Py_XDECREF(array); }
    bool is_array() const { return !decl->dims.empty(); }
    void* data() {
        if (is_array()) return array ? PyArray_DATA(array) : nullptr;
        if (decl->type == 'c') return text.data();
        if (decl->type == 'f') return &f;
        if (decl->type == 'd') return &d;
        return &i;
    }
};

class Call {
public:
    Call(const std::string& group, const RoutineDecl& decl) : decl_(decl) {
        qualified_ = "_zeft." + group + "." + decl.name;
        values_.resize(decl.args.size());
        int req = 0, kw = 0;
        for (size_t k = 0; k < decl.args.size(); ++k) {
            Value& v = values_[k];
            v.decl = &decl.args[k];
            v.extents = parse_dims(v.decl->dims);
            if (v.decl->role == Role::in || v.decl->role == Role::inout) v.host_position = ++req;
            if (v.decl->role == Role::optional) v.host_position = ++kw;
        }
    }

    PyObject* run(PyObject* args, PyObject* kwargs) {
        if (!match(args, kwargs)) return nullptr;
        if (!convert_required()) return nullptr;
        if (!resolve_keywords()) return nullptr;
        if (!check_all_extents()) return nullptr;
        if (!allocate_returned()) return nullptr;
        if (!precheck()) return nullptr;
        std::vector<Slot> slots(values_.size());
        for (size_t k = 0; k < values_.size(); ++k) slots[k].ptr = values_[k].data();
        try {
            decl_.impl.invoke(slots.data());
        } catch (const Interrupted&) {
            end_interrupted_run();
            if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
            return nullptr;
        } catch (const std::bad_alloc&) {
            return PyErr_NoMemory();
        } catch (const std::exception& e) {
            PyErr_SetString(module_error, (qualified_ + ": " + e.what()).c_str());
            return nullptr;
        } catch (...) {
            PyErr_SetString(module_error, (qualified_ + ": the routine failed").c_str());
            return nullptr;
        }
        write_back_scalars();
        return build_result();
    }

private:
    const RoutineDecl& decl_;
    std::string qualified_;
    std::vector<Value> values_;

    Value* find(const std::string& name) {
        for (Value& v : values_)
            if (v.decl->name == name) return &v;
        return nullptr;
    }

    // ---------------------------------------------------------------- matching

    bool match(PyObject* args, PyObject* kwargs) {
        std::vector<Value*> order;  // host parameter order: required, then keywords
        for (Value& v : values_)
            if (v.decl->role == Role::in || v.decl->role == Role::inout) order.push_back(&v);
        size_t nreq = order.size();
        for (Value& v : values_)
            if (v.decl->role == Role::optional) order.push_back(&v);
        Py_ssize_t nargs = PyTuple_GET_SIZE(args);
        if (static_cast<size_t>(nargs) > order.size()) {
            PyErr_Format(PyExc_TypeError, "%s() takes at most %zd arguments (%zd given)", decl_.name.c_str(),
                         static_cast<Py_ssize_t>(order.size()), nargs);
            return false;
        }
        for (Py_ssize_t k = 0; k < nargs; ++k) order[k]->obj = PyTuple_GET_ITEM(args, k);
        if (kwargs) {
            PyObject *key, *item;
            Py_ssize_t pos = 0;
            while (PyDict_Next(kwargs, &pos, &key, &item)) {
                const char* name = PyUnicode_AsUTF8(key);
                if (!name) return false;
                Value* v = nullptr;
                for (Value* o : order)
                    if (o->decl->name == name) v = o;
                if (!v) {
                    PyErr_Format(PyExc_TypeError, "'%s' is an invalid keyword argument for %s()", name,
                                 decl_.name.c_str());
                    return false;
                }
                if (v->obj) {
                    PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('%s') and position",
                                 decl_.name.c_str(), name);
                    return false;
                }
                v->obj = item;
            }
        }
        for (size_t k = 0; k < nreq; ++k)
            if (!order[k]->obj) {
                PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)", decl_.name.c_str(),
                             order[k]->decl->name.c_str(), k + 1);
                return false;
            }
        return true;
    }

    // ---------------------------------------------------------------- scalars and texts

    std::string arg_label(const Value& v) const {
        return qualified_ + "() " + ordinal(v.host_position) + " argument (" + v.decl->name + ")";
    }

    /// Converts a Python object to the scalar type. An error code (an argument named ier)
    /// given as a writable 1-element array of exactly its type is remembered, so that the
    /// routine's code can be written back into it; every other scalar is an input copy.
    bool convert_scalar(Value& v, const std::string& label) {
        PyObject* o = v.obj;
        const char type = v.decl->type;
        if (PyArray_Check(o) && v.decl->name == "ier") {
            auto* a = reinterpret_cast<PyArrayObject*>(o);
            if (PyArray_SIZE(a) == 1 && PyArray_TYPE(a) == typenum_of(type) && PyArray_ISWRITEABLE(a) &&
                PyArray_ISALIGNED(a) && PyArray_ISNOTSWAPPED(a) && type != 'c')
                v.writeback = a;
        }
        if (type == 't') {
            int t = PyObject_IsTrue(o);
            if (t < 0) {
                raise_chained(label + " can't be converted to int");
                return false;
            }
            v.i = t;
            v.known = true;
            return true;
        }
        PyObject* item = o;
        PyObject* owned = nullptr;
        if (PyArray_Check(o)) {
            auto* a = reinterpret_cast<PyArrayObject*>(o);
            if (PyArray_SIZE(a) != 1) {
                PyErr_SetString(PyExc_ValueError, "an array of more than one element cannot stand for a scalar");
                raise_chained(label + " can't be converted to " + scalar_kind_name(type));
                return false;
            }
            owned = PyArray_GETITEM(a, static_cast<const char*>(PyArray_DATA(a)));
            if (!owned) {
                raise_chained(label + " can't be converted to " + scalar_kind_name(type));
                return false;
            }
            item = owned;
        }
        bool ok = true;
        if (type == 'f' || type == 'd') {
            double x = PyFloat_AsDouble(item);
            if (x == -1.0 && PyErr_Occurred()) ok = false;
            else if (type == 'f') v.f = static_cast<float>(x);
            else v.d = x;
        } else {
            PyObject* num = PyNumber_Long(item);
            if (!num) ok = false;
            else {
                long long x = PyLong_AsLongLong(num);
                Py_DECREF(num);
                if (x == -1 && PyErr_Occurred()) ok = false;
                else if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()) {
                    PyErr_Format(PyExc_OverflowError, "%lld does not fit a 32-bit integer", x);
                    ok = false;
                } else v.i = static_cast<int>(x);
            }
        }
        const bool is_text = PyUnicode_Check(item) || PyBytes_Check(item);
        Py_XDECREF(owned);
        if (!ok || is_text) {
            if (ok) PyErr_SetString(PyExc_TypeError, "a text is not a number");
            raise_chained(label + " can't be converted to " + scalar_kind_name(type));
            return false;
        }
        v.known = true;
        return true;
    }

    bool convert_text(Value& v) {
        const int n = v.decl->textlen;
        v.text.assign(static_cast<size_t>(n), ' ');
        v.text.push_back('\0');
        PyObject* o = v.obj;
        if (o == Py_None) return true;
        PyObject* bytes = nullptr;
        if (PyBytes_Check(o)) {
            bytes = o;
            Py_INCREF(bytes);
        } else {
            PyObject* str = PyUnicode_Check(o) ? (Py_INCREF(o), o) : PyObject_Str(o);
            if (str) {
                bytes = PyUnicode_AsASCIIString(str);
                Py_DECREF(str);
            }
        }
        if (!bytes) {
            raise_chained("string_from_pyobj failed in converting " + ordinal(v.host_position) + " argument `" +
                          v.decl->name + "' of " + qualified_ + " to C string");
            return false;
        }
        const char* s = PyBytes_AS_STRING(bytes);
        Py_ssize_t len = PyBytes_GET_SIZE(bytes);
        for (Py_ssize_t k = 0; k < len && k < n; ++k) v.text[static_cast<size_t>(k)] = s[k];
        Py_DECREF(bytes);
        return true;
    }

    // ---------------------------------------------------------------- arrays

    std::string array_error(const Value& v) const {
        return "failed in converting " + ordinal(v.host_position) + " argument `" + v.decl->name + "' of " +
               qualified_ + " to C/Fortran array";
    }

    bool fail_array(const Value& v, PyObject* exc_type, const std::string& why) {
        PyErr_SetString(exc_type, why.c_str());
        raise_chained(array_error(v));
        return false;
    }

    /// Value of a symbol (number or scalar argument) when known.
    std::optional<long long> symbol(const std::string& s) {
        if (is_number(s)) return std::stoll(s);
        Value* v = find(s);
        if (v && v->known) return v->i;
        return std::nullopt;
    }

    std::optional<long long> extent_value(const Extent& e) {
        long long prod = 1;
        for (const std::string& f : e.factors) {
            auto x = symbol(f);
            if (!x) return std::nullopt;
            prod *= *x;
        }
        return prod;
    }

    std::string describe(const std::vector<long long>& dims) const {
        std::string s = "(";
        for (size_t k = 0; k < dims.size(); ++k) s += (k ? "," : "") + std::to_string(dims[k]);
        return s + (dims.size() == 1 ? ",)" : ")");
    }

    bool convert_array(Value& v) {
        const int typenum = typenum_of(v.decl->type);
        const size_t rank = v.extents.size();
        if (v.decl->role == Role::inout) {
            if (!PyArray_Check(v.obj))
                return fail_array(v, PyExc_TypeError, "an in/out argument must be a NumPy array");
            auto* a = reinterpret_cast<PyArrayObject*>(v.obj);
            if (PyArray_TYPE(a) != typenum || !PyArray_ISNOTSWAPPED(a))
                return fail_array(v, PyExc_TypeError,
                                  std::string("expected an array of ") +
                                      (typenum == NPY_FLOAT64 ? "float64" : typenum == NPY_FLOAT32 ? "float32" : "int32") +
                                      " elements");
            if (!PyArray_IS_F_CONTIGUOUS(a) || !PyArray_ISWRITEABLE(a) || !PyArray_ISALIGNED(a))
                return fail_array(v, PyExc_ValueError,
                                  "an in/out array must be writeable and contiguous in column-major order");
            Py_INCREF(a);
            v.array = a;
            v.dims = {static_cast<long long>(PyArray_SIZE(a))};
            return true;
        }
        PyArray_Descr* descr = PyArray_DescrFromType(typenum);
        PyObject* conv = PyArray_FromAny(v.obj, descr, 0, 0,
                                         NPY_ARRAY_FARRAY | NPY_ARRAY_FORCECAST | NPY_ARRAY_ENSUREARRAY, nullptr);
        if (!conv) {
            raise_chained(array_error(v));
            return false;
        }
        v.array = reinterpret_cast<PyArrayObject*>(conv);
        const int nd = PyArray_NDIM(v.array);
        const npy_intp* shape = PyArray_DIMS(v.array);
        std::vector<long long> dims(shape, shape + nd);
        if (rank == 1) {
            // A vector argument takes the storage as one column-major sequence.
            v.dims = {static_cast<long long>(PyArray_SIZE(v.array))};
            if (nd > 1 && !v.extents[0].any) {
                int big = 0;
                for (long long d : dims) big += d != 1;
                if (big > 1)
                    return fail_array(v, PyExc_ValueError,
                                      "expected a rank-1 array, got shape " + describe(dims));
            }
            return true;
        }
        while (dims.size() < rank) dims.push_back(1);
        while (dims.size() > rank && dims.back() == 1) dims.pop_back();
        if (dims.size() != rank)
            return fail_array(v, PyExc_ValueError,
                              "expected a rank-" + std::to_string(rank) + " array, got shape " + describe(dims));
        v.dims = dims;
        return true;
    }

    /// Checks the extents whose values are known; with final = true every extent must be known.
    bool check_extents(Value& v, bool final) {
        if (v.decl->role == Role::returned || !v.array) return true;
        for (size_t k = 0; k < v.extents.size(); ++k) {
            const Extent& e = v.extents[k];
            if (e.any) continue;
            auto want = extent_value(e);
            if (!want) {
                if (final)
                    return fail_array(v, PyExc_ValueError, "extent " + std::to_string(k + 1) + " is undetermined");
                continue;
            }
            const long long have = v.dims[k];
            if (*want < 0)
                return fail_array(v, PyExc_ValueError,
                                  "the required extent " + std::to_string(*want) + " is negative");
            if (e.at_least ? have < *want : have != *want) {
                std::string need = (e.at_least ? "at least " : "") + std::to_string(*want);
                const char* what = v.extents.size() == 1 ? "size" : "extent";
                return fail_array(v, PyExc_ValueError,
                                  std::string(what) + (v.extents.size() == 1 ? "" : " " + std::to_string(k + 1)) +
                                      " must be " + need + ", got " + std::to_string(have) + " (shape " +
                                      describe(v.dims) + ")");
            }
        }
        return true;
    }

    bool convert_required() {
        for (Value& v : values_) {
            if (v.decl->role != Role::in && v.decl->role != Role::inout) continue;
            if (v.is_array()) {
                if (!convert_array(v) || !check_extents(v, false)) return false;
            } else if (v.decl->type == 'c') {
                if (!convert_text(v)) return false;
            } else if (!convert_scalar(v, arg_label(v))) {
                return false;
            }
        }
        return true;
    }

    // ---------------------------------------------------------------- optional keywords

    /// Evaluates "len(x)" or "shape(x,k)" against a converted array.
    std::optional<long long> shape_function(const std::string& expr) {
        const size_t open = expr.find('('), close = expr.rfind(')');
        const std::string fn = expr.substr(0, open), inner = expr.substr(open + 1, close - open - 1);
        const size_t comma = inner.find(',');
        Value* a = find(inner.substr(0, comma));
        if (!a || !a->array) return std::nullopt;
        const long long axis = comma == std::string::npos ? 0 : std::stoll(inner.substr(comma + 1));
        if (fn == "len") return a->dims.empty() ? 1 : a->dims[0];
        if (axis < static_cast<long long>(a->dims.size())) return a->dims[static_cast<size_t>(axis)];
        return 1;
    }

    bool resolve_keywords() {
        for (Value& v : values_) {
            if (v.decl->role != Role::optional) continue;
            if (v.obj && v.obj != Py_None) {
                const std::string label =
                    qualified_ + "() " + ordinal(v.host_position) + " keyword (" + v.decl->name + ")";
                if (!convert_scalar(v, label)) return false;
            } else {
                auto x = shape_function(v.decl->deflt);
                if (!x) {
                    PyErr_Format(module_error, "%s: cannot determine the default of %s", qualified_.c_str(),
                                 v.decl->name.c_str());
                    return false;
                }
                v.i = static_cast<int>(*x);
                v.known = true;
            }
        }
        // Relations, checked once every keyword is known.
        for (Value& v : values_) {
            if (v.decl->role != Role::optional || v.decl->relation.empty()) continue;
            const std::string& rel = v.decl->relation;
            const bool ge = rel.find(">=") != std::string::npos;
            const size_t op = rel.find(ge ? ">=" : "==");
            auto lhs = shape_function(rel.substr(0, op));
            auto rhs = symbol(rel.substr(op + 2));
            if (lhs && rhs && (ge ? *lhs >= *rhs : *lhs == *rhs)) continue;
            PyErr_Format(module_error, "(%s) failed for %s keyword %s: %s:%s=%d", rel.c_str(),
                         ordinal(v.host_position).c_str(), v.decl->name.c_str(), decl_.name.c_str(),
                         v.decl->name.c_str(), v.i);
            return false;
        }
        return true;
    }

    bool check_all_extents() {
        for (Value& v : values_)
            if (v.is_array() && !check_extents(v, true)) return false;
        return true;
    }

    bool allocate_returned() {
        for (Value& v : values_) {
            if (v.decl->role != Role::returned) continue;
            v.known = true;
            if (!v.is_array()) continue;
            std::vector<npy_intp> shape;
            for (const Extent& e : v.extents) {
                auto x = extent_value(e);
                if (!x || *x < 0) {
                    PyErr_Format(module_error, "%s: the extents of the result %s are undetermined", qualified_.c_str(),
                                 v.decl->name.c_str());
                    return false;
                }
                shape.push_back(static_cast<npy_intp>(*x));
            }
            PyObject* a = PyArray_ZEROS(static_cast<int>(shape.size()), shape.data(), typenum_of(v.decl->type), 1);
            if (!a) return false;
            v.array = reinterpret_cast<PyArrayObject*>(a);
            v.dims.assign(shape.begin(), shape.end());
        }
        return true;
    }

    bool precheck() {
        if (!decl_.precheck) return true;
        CallView view;
        for (Value& v : values_) view.args.push_back({v.decl, v.data(), v.dims});
        std::string why;
        try {
            why = decl_.precheck(view);
        } catch (const std::exception& e) {
            why = e.what();
        }
        if (why.empty()) return true;
        PyErr_SetString(module_error, (qualified_ + ": " + why).c_str());
        return false;
    }

    // ---------------------------------------------------------------- results

    void write_back_scalars() {
        for (Value& v : values_) {
            if (!v.writeback) continue;
            void* dst = PyArray_DATA(v.writeback);
            if (v.decl->type == 'f') std::memcpy(dst, &v.f, sizeof v.f);
            else if (v.decl->type == 'd') std::memcpy(dst, &v.d, sizeof v.d);
            else std::memcpy(dst, &v.i, sizeof v.i);
        }
    }

    PyObject* build_result() {
        std::vector<PyObject*> out;
        for (Value& v : values_) {
            if (v.decl->role != Role::returned) continue;
            PyObject* o;
            if (v.is_array()) {
                o = reinterpret_cast<PyObject*>(v.array);
                Py_INCREF(o);
            } else if (v.decl->type == 'f') o = PyFloat_FromDouble(v.f);
            else if (v.decl->type == 'd') o = PyFloat_FromDouble(v.d);
            else o = PyLong_FromLong(v.i);
            if (!o) {
                for (PyObject* p : out) Py_DECREF(p);
                return nullptr;
            }
            out.push_back(o);
        }
        if (out.empty()) Py_RETURN_NONE;
        if (out.size() == 1) return out[0];
        PyObject* t = PyTuple_New(static_cast<Py_ssize_t>(out.size()));
        for (size_t k = 0; k < out.size(); ++k) PyTuple_SET_ITEM(t, static_cast<Py_ssize_t>(k), out[k]);
        return t;
    }
};

}  // namespace

std::string ordinal(int n) {
    static const char* suffix[10] = {"th", "st", "nd", "rd", "th", "th", "th", "th", "th", "th"};
    return std::to_string(n) + suffix[n % 10];
}

PyObject* call_routine(const std::string& group, const RoutineDecl& decl, PyObject* args, PyObject* kwargs) {
    Call call(group, decl);
    return call.run(args, kwargs);
}

}  // namespace zeft::binding
