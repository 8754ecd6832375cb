// Private test hooks: the FORMAT interpreter, the units and the namelist reader reachable from
// Python without a full analysis run.
//
//   _close_unit(n)                 closes unit n (flushing it)
//   _close_all_units()             closes every unit, deleting the work files runs created
//   _flush_units()                 flushes every connected unit and standard output
//   _open_unit, _rewind_unit, _write_unit, _read_unit, _write_doubles, _read_doubles
//                                  the unit operations one by one
//   _format(layout, items)         records of a FORMAT text: list of str
//   _namelist(path, group, items)  reads one group from the file: (status, values, message)
//   _set_folder(path)              working folder of the files a run opens (None: current)
//   _set_output(callable)          receiver of the standard-output text (None: stdout)
//   _table_mismatch(group, routine, names)
//                                  the import check of a routine's table entry run on another
//                                  list of argument names: "" or the reason
//
// Texts cross the boundary as Latin-1 so that every character is one byte of a record.
// Every entry turns a C++ failure into a Python exception (MemoryError for an allocation).
#include "binding/python.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/hooks.hpp"
#include "control/interrupt.hpp"
#include "io/format.hpp"
#include "io/namelist.hpp"
#include "io/units.hpp"

namespace zeft::binding {

namespace {

/// Unit connected to the file of _namelist; it stays connected, so a second call on the same
/// file continues where the first one stopped (as successive reads of the input unit do).
constexpr int namelist_unit = 90;

/// Most values a private entry allocates for one call (records of the work file hold far
/// fewer); a larger count is refused before anything is allocated.
constexpr Py_ssize_t max_values = Py_ssize_t{1} << 22;

PyObject* error_class() { return module_error ? module_error : PyExc_ValueError; }

/// An entry point with every C++ exception turned into a Python one.
template <PyObject* (*Entry)(PyObject*, PyObject*)>
PyObject* guarded(PyObject* self, PyObject* args) {
    try {
        return Entry(self, args);
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(error_class(), e.what());
    } catch (...) {
        PyErr_SetString(error_class(), "private entry failed");
    }
    return nullptr;
}

/// The host's interrupt check: runs pending signal handlers; true when one raised (Ctrl-C
/// raises KeyboardInterrupt), whose exception then ends the interrupted call.
bool python_interrupt_pending() { return PyErr_CheckSignals() != 0; }

/// Latin-1 bytes of a str (or the bytes of a bytes object); false with an exception set.
bool text_of(PyObject* obj, std::string& out) {
    if (PyBytes_Check(obj)) {
        out.assign(PyBytes_AS_STRING(obj), static_cast<size_t>(PyBytes_GET_SIZE(obj)));
        return true;
    }
    PyObject* b = PyUnicode_AsLatin1String(obj);
    if (!b) return false;
    out.assign(PyBytes_AS_STRING(b), static_cast<size_t>(PyBytes_GET_SIZE(b)));
    Py_DECREF(b);
    return true;
}

PyObject* str_of(const char* s, size_t n) {
    return PyUnicode_DecodeLatin1(s, static_cast<Py_ssize_t>(n), nullptr);
}

PyObject* close_unit(PyObject*, PyObject* arg) {
    const long n = PyLong_AsLong(arg);
    if (n == -1 && PyErr_Occurred()) return nullptr;
    io::close(static_cast<int>(n));
    Py_RETURN_NONE;
}

PyObject* close_all_units(PyObject*, PyObject*) {
    io::close_all();
    Py_RETURN_NONE;
}

PyObject* flush_units(PyObject*, PyObject*) {
    io::flush_all();
    Py_RETURN_NONE;
}

/// Converts a sequence of Python values to FORMAT items: int (and numpy integers) to
/// integers, str to texts, anything else with __float__ (float, numpy.float32 by its exact
/// value) to reals. texts owns the characters the text items refer to.
bool items_of(PyObject* obj, std::vector<std::string>& texts, std::vector<fmt::Item>& items) {
    PyObject* seq = PySequence_Fast(obj, "items must be a sequence");
    if (!seq) return false;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq);
    texts.assign(static_cast<size_t>(n), std::string());
    items.clear();
    items.reserve(static_cast<size_t>(n));
    for (Py_ssize_t k = 0; k < n; ++k) {
        PyObject* o = PySequence_Fast_GET_ITEM(seq, k);
        if (PyUnicode_Check(o) || PyBytes_Check(o)) {
            if (!text_of(o, texts[static_cast<size_t>(k)])) break;
            items.emplace_back(std::string_view(texts[static_cast<size_t>(k)]));
        } else if (PyLong_Check(o) || (!PyFloat_Check(o) && PyIndex_Check(o))) {
            PyObject* i = PyNumber_Index(o);
            const long long v = i ? PyLong_AsLongLong(i) : -1;
            Py_XDECREF(i);
            if (v == -1 && PyErr_Occurred()) break;
            items.emplace_back(v);
        } else {
            const double v = PyFloat_AsDouble(o);
            if (v == -1.0 && PyErr_Occurred()) break;
            items.emplace_back(v);
        }
    }
    Py_DECREF(seq);
    return !PyErr_Occurred();
}

PyObject* format(PyObject*, PyObject* args) {
    PyObject *layout_obj, *items_obj;
    if (!PyArg_ParseTuple(args, "UO:_format", &layout_obj, &items_obj)) return nullptr;
    std::string layout;
    std::vector<std::string> texts;
    std::vector<fmt::Item> items;
    if (!text_of(layout_obj, layout) || !items_of(items_obj, texts, items)) return nullptr;

    std::vector<std::string> records;
    try {
        records = fmt::format(layout, items);
    } catch (const std::invalid_argument& e) {
        PyErr_SetString(error_class(), e.what());
        return nullptr;
    }
    PyObject* out = PyList_New(static_cast<Py_ssize_t>(records.size()));
    if (!out) return nullptr;
    for (size_t k = 0; k < records.size(); ++k) {
        PyObject* s = str_of(records[k].data(), records[k].size());
        if (!s) {
            Py_DECREF(out);
            return nullptr;
        }
        PyList_SET_ITEM(out, static_cast<Py_ssize_t>(k), s);
    }
    return out;
}

PyObject* open_unit(PyObject*, PyObject* args) {
    int n, replace = 1;
    PyObject* name_bytes = nullptr;
    if (!PyArg_ParseTuple(args, "iO&|p:_open_unit", &n, PyUnicode_FSConverter, &name_bytes, &replace))
        return nullptr;
    const std::string name(PyBytes_AS_STRING(name_bytes), static_cast<size_t>(PyBytes_GET_SIZE(name_bytes)));
    Py_DECREF(name_bytes);
    return PyBool_FromLong(io::open(n, name, replace ? io::OpenStatus::replace : io::OpenStatus::unknown));
}

PyObject* rewind_unit(PyObject*, PyObject* arg) {
    const long n = PyLong_AsLong(arg);
    if (n == -1 && PyErr_Occurred()) return nullptr;
    io::rewind(static_cast<int>(n));
    Py_RETURN_NONE;
}

PyObject* write_unit(PyObject*, PyObject* args) {
    int n;
    PyObject *layout_obj, *items_obj;
    if (!PyArg_ParseTuple(args, "iUO:_write_unit", &n, &layout_obj, &items_obj)) return nullptr;
    std::string layout;
    std::vector<std::string> texts;
    std::vector<fmt::Item> items;
    if (!text_of(layout_obj, layout) || !items_of(items_obj, texts, items)) return nullptr;
    try {
        io::writef(n, layout, items);
    } catch (const std::invalid_argument& e) {
        PyErr_SetString(error_class(), e.what());
        return nullptr;
    }
    Py_RETURN_NONE;
}

PyObject* read_unit(PyObject*, PyObject* arg) {
    const long n = PyLong_AsLong(arg);
    if (n == -1 && PyErr_Occurred()) return nullptr;
    const std::optional<std::string> r = io::read_record(static_cast<int>(n));
    if (!r) Py_RETURN_NONE;
    return str_of(r->data(), r->size());
}

PyObject* write_doubles(PyObject*, PyObject* args) {
    int n;
    PyObject* values;
    if (!PyArg_ParseTuple(args, "iO:_write_doubles", &n, &values)) return nullptr;
    PyObject* seq = PySequence_Fast(values, "_write_doubles: values must be a sequence");
    if (!seq) return nullptr;
    std::vector<double> v(static_cast<size_t>(PySequence_Fast_GET_SIZE(seq)));
    for (size_t k = 0; k < v.size(); ++k) {
        v[k] = PyFloat_AsDouble(PySequence_Fast_GET_ITEM(seq, static_cast<Py_ssize_t>(k)));
        if (v[k] == -1.0 && PyErr_Occurred()) break;
    }
    Py_DECREF(seq);
    if (PyErr_Occurred()) return nullptr;
    io::write_doubles(n, v.data(), static_cast<long long>(v.size()));
    Py_RETURN_NONE;
}

PyObject* read_doubles(PyObject*, PyObject* args) {
    int n;
    Py_ssize_t count;
    if (!PyArg_ParseTuple(args, "in:_read_doubles", &n, &count)) return nullptr;
    if (count < 0 || count > max_values) {
        PyErr_Format(PyExc_ValueError, "_read_doubles: count %zd outside 0 .. %zd", count, max_values);
        return nullptr;
    }
    std::vector<double> v(static_cast<size_t>(count));
    if (!io::read_doubles(n, v.data(), count)) Py_RETURN_NONE;
    PyObject* out = PyList_New(count);
    for (Py_ssize_t k = 0; out && k < count; ++k) {
        PyObject* x = PyFloat_FromDouble(v[static_cast<size_t>(k)]);
        if (!x) {
            Py_CLEAR(out);
            break;
        }
        PyList_SET_ITEM(out, k, x);
    }
    return out;
}

/// Storage of one item of _namelist.
struct Slot {
    std::string name;
    char kind = 'i';
    int count = 1, textlen = 0;
    std::vector<int> ints;     // 'i' and 'l'
    std::vector<float> reals;  // 'f'
    std::string chars;         // 'c': count * textlen characters
};

/// Sets element e of a slot from a Python value (the optional initial values).
bool set_initial(Slot& s, int e, PyObject* v) {
    switch (s.kind) {
        case 'i': case 'l': {
            const long x = PyLong_AsLong(v);
            if (x == -1 && PyErr_Occurred()) return false;
            s.ints[static_cast<size_t>(e)] = static_cast<int>(x);
            return true;
        }
        case 'f': {
            const double x = PyFloat_AsDouble(v);
            if (x == -1.0 && PyErr_Occurred()) return false;
            s.reals[static_cast<size_t>(e)] = static_cast<float>(x);
            return true;
        }
        default: {
            std::string t;
            if (!text_of(v, t)) return false;
            t.resize(static_cast<size_t>(s.textlen), ' ');
            s.chars.replace(static_cast<size_t>(e) * static_cast<size_t>(s.textlen),
                            static_cast<size_t>(s.textlen), t);
            return true;
        }
    }
}

/// Parses one (name, kind, count, textlen[, initial]) tuple; false with an exception set.
bool parse_slot(PyObject* t, Slot& s) {
    const char* name;
    const char* kind;
    PyObject* initial = nullptr;
    if (!PyTuple_Check(t) ||
        !PyArg_ParseTuple(t, "ssii|O:_namelist item", &name, &kind, &s.count, &s.textlen, &initial)) {
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_TypeError, "_namelist: items are (name, kind, count, textlen[, initial])");
        return false;
    }
    s.name = name;
    s.kind = kind[0];
    if (std::string(kind).size() != 1 || std::string("iflc").find(s.kind) == std::string::npos ||
        s.count < 1 || s.textlen < 0 || (s.kind == 'c' && s.textlen < 1) || s.count > max_values ||
        static_cast<long long>(s.count) * std::max(s.textlen, 1) > max_values) {
        PyErr_Format(PyExc_ValueError, "_namelist: bad item description for %s (count and text length "
                     "positive, at most %zd values)", name, max_values);
        return false;
    }
    const size_t n = static_cast<size_t>(s.count);
    if (s.kind == 'f') s.reals.assign(n, 0.0f);
    else if (s.kind == 'c') s.chars.assign(n * static_cast<size_t>(s.textlen), ' ');
    else s.ints.assign(n, 0);
    if (!initial || initial == Py_None) return true;

    if (PyList_Check(initial) || PyTuple_Check(initial)) {  // one value per element
        if (PySequence_Size(initial) != s.count) {
            PyErr_Format(PyExc_ValueError, "_namelist: %s needs %d initial values", name, s.count);
            return false;
        }
        for (int e = 0; e < s.count; ++e) {
            PyObject* v = PySequence_GetItem(initial, e);
            const bool ok = v && set_initial(s, e, v);
            Py_XDECREF(v);
            if (!ok) return false;
        }
        return true;
    }
    for (int e = 0; e < s.count; ++e)  // one scalar for every element
        if (!set_initial(s, e, initial)) return false;
    return true;
}

/// Python value of element e of a slot.
PyObject* element(const Slot& s, int e) {
    switch (s.kind) {
        case 'i': return PyLong_FromLong(s.ints[static_cast<size_t>(e)]);
        case 'l': return PyBool_FromLong(s.ints[static_cast<size_t>(e)]);
        case 'f': return PyFloat_FromDouble(s.reals[static_cast<size_t>(e)]);
        default:
            return str_of(s.chars.data() + static_cast<size_t>(e) * static_cast<size_t>(s.textlen),
                          static_cast<size_t>(s.textlen));
    }
}

PyObject* values_dict(const std::vector<Slot>& slots) {
    PyObject* d = PyDict_New();
    if (!d) return nullptr;
    for (const Slot& s : slots) {
        PyObject* v;
        if (s.count == 1) {
            v = element(s, 0);
        } else {
            v = PyList_New(s.count);
            for (int e = 0; v && e < s.count; ++e) {
                PyObject* x = element(s, e);
                if (!x) {
                    Py_CLEAR(v);
                    break;
                }
                PyList_SET_ITEM(v, e, x);
            }
        }
        if (!v || PyDict_SetItemString(d, s.name.c_str(), v) < 0) {
            Py_XDECREF(v);
            Py_DECREF(d);
            return nullptr;
        }
        Py_DECREF(v);
    }
    return d;
}

PyObject* namelist(PyObject*, PyObject* args) {
    PyObject *path_bytes = nullptr, *group_obj, *items_obj;
    if (!PyArg_ParseTuple(args, "O&UO:_namelist", PyUnicode_FSConverter, &path_bytes, &group_obj,
                          &items_obj))
        return nullptr;
    const std::string path(PyBytes_AS_STRING(path_bytes), static_cast<size_t>(PyBytes_GET_SIZE(path_bytes)));
    Py_DECREF(path_bytes);
    std::string group;
    if (!text_of(group_obj, group)) return nullptr;

    PyObject* seq = PySequence_Fast(items_obj, "_namelist: items must be a sequence");
    if (!seq) return nullptr;
    std::vector<Slot> slots(static_cast<size_t>(PySequence_Fast_GET_SIZE(seq)));
    bool ok = true;
    for (size_t k = 0; ok && k < slots.size(); ++k)
        ok = parse_slot(PySequence_Fast_GET_ITEM(seq, static_cast<Py_ssize_t>(k)), slots[k]);
    Py_DECREF(seq);
    if (!ok) return nullptr;

    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        errno = ENOENT;
        return PyErr_SetFromErrnoWithFilename(PyExc_FileNotFoundError, path.c_str());
    }
    if (!io::open(namelist_unit, path, io::OpenStatus::unknown)) {
        PyErr_Format(error_class(), "_namelist: cannot open %s", path.c_str());
        return nullptr;
    }

    std::vector<io::NamelistItem> items;
    for (Slot& s : slots) {
        using T = io::NamelistItem::Type;
        void* data = s.kind == 'f' ? static_cast<void*>(s.reals.data())
                     : s.kind == 'c' ? static_cast<void*>(s.chars.data())
                                     : static_cast<void*>(s.ints.data());
        const T type = s.kind == 'i' ? T::integer : s.kind == 'f' ? T::real : s.kind == 'l' ? T::logical : T::text;
        items.push_back({type, s.name, data, s.count, s.textlen});
    }
    std::string message;
    const io::NamelistStatus status = io::read_namelist(namelist_unit, group, items, &message);
    const char* word = status == io::NamelistStatus::ok          ? "ok"
                       : status == io::NamelistStatus::not_found ? "not_found"
                                                                 : "syntax_error";
    PyObject* values = values_dict(slots);
    if (!values) return nullptr;
    PyObject* msg = str_of(message.data(), message.size());
    if (!msg) {
        Py_DECREF(values);
        return nullptr;
    }
    return Py_BuildValue("(sNN)", word, values, msg);
}

PyObject* set_folder(PyObject*, PyObject* arg) {
    std::string path;
    if (arg != Py_None) {
        PyObject* bytes = nullptr;
        if (!PyUnicode_FSConverter(arg, &bytes)) return nullptr;
        path.assign(PyBytes_AS_STRING(bytes), static_cast<size_t>(PyBytes_GET_SIZE(bytes)));
        Py_DECREF(bytes);
        if (path.empty() || path.find('\0') != std::string::npos) {
            PyErr_SetString(PyExc_ValueError, "_set_folder: empty folder name");
            return nullptr;
        }
    }
    if (!io::set_folder(path)) return PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
    Py_RETURN_NONE;
}

/// A Python callable that receives standard-output text; the reference is dropped with the
/// last copy of the sink.
struct OutputReceiver {
    PyObject* callable;
    explicit OutputReceiver(PyObject* c) : callable(c) { Py_INCREF(c); }
    ~OutputReceiver() { Py_DECREF(callable); }
    OutputReceiver(const OutputReceiver&) = delete;
    OutputReceiver& operator=(const OutputReceiver&) = delete;
};

PyObject* set_output(PyObject*, PyObject* arg) {
    if (arg == Py_None) {
        io::set_output_sink({});
        Py_RETURN_NONE;
    }
    if (!PyCallable_Check(arg)) {
        PyErr_SetString(PyExc_TypeError, "_set_output: expected a callable or None");
        return nullptr;
    }
    auto receiver = std::make_shared<OutputReceiver>(arg);
    io::set_output_sink([receiver](std::string_view text) {
        // A failing receiver must not end the run: its error is reported and the text dropped.
        PyObject *type, *value, *tb;
        PyErr_Fetch(&type, &value, &tb);  // keep an interrupt that is on its way
        PyObject* s = str_of(text.data(), text.size());
        PyObject* r = s ? PyObject_CallOneArg(receiver->callable, s) : nullptr;
        if (!r && PyErr_ExceptionMatches(PyExc_KeyboardInterrupt)) {
            PyErr_Clear();
            PyErr_SetInterrupt();  // raised again at the run's next poll
        } else if (!r) {
            PyErr_WriteUnraisable(receiver->callable);
        }
        Py_XDECREF(r);
        Py_XDECREF(s);
        PyErr_Restore(type, value, tb);
    });
    Py_RETURN_NONE;
}

PyObject* table_mismatch_hook(PyObject*, PyObject* args) {
    const char* group;
    const char* routine;
    PyObject* seq;
    if (!PyArg_ParseTuple(args, "ssO", &group, &routine, &seq)) return nullptr;
    PyObject* fast = PySequence_Fast(seq, "names must be a sequence of str");
    if (!fast) return nullptr;
    std::vector<std::string> names;
    for (Py_ssize_t k = 0; k < PySequence_Fast_GET_SIZE(fast); ++k) {
        const char* n = PyUnicode_AsUTF8(PySequence_Fast_GET_ITEM(fast, k));
        if (!n) {
            Py_DECREF(fast);
            return nullptr;
        }
        names.emplace_back(n);
    }
    Py_DECREF(fast);
    for (const GroupDecl& g : module_groups())
        for (const RoutineDecl& r : g.routines)
            if (g.name == group && r.name == routine)
                return PyUnicode_FromString(table_mismatch(g.name, r, names).c_str());
    PyErr_Format(error_class(), "no routine %s.%s", group, routine);
    return nullptr;
}

PyMethodDef hook_methods[] = {
    {"_close_unit", guarded<close_unit>, METH_O, "_close_unit(n): close unit n, flushing it."},
    {"_close_all_units", guarded<close_all_units>, METH_NOARGS,
     "_close_all_units(): close every unit, deleting the work files runs created."},
    {"_flush_units", guarded<flush_units>, METH_NOARGS, "_flush_units(): flush every connected unit."},
    {"_open_unit", guarded<open_unit>, METH_VARARGS,
     "_open_unit(n, name, replace=True) -> bool: connect unit n to a file (replace: rewrite "
     "it, else keep it)."},
    {"_rewind_unit", guarded<rewind_unit>, METH_O, "_rewind_unit(n): position unit n at its start."},
    {"_write_unit", guarded<write_unit>, METH_VARARGS,
     "_write_unit(n, layout, items): write the records of a FORMAT text to unit n."},
    {"_read_unit", guarded<read_unit>, METH_O, "_read_unit(n) -> str or None at end of file."},
    {"_write_doubles", guarded<write_doubles>, METH_VARARGS,
     "_write_doubles(n, values): write one unformatted record of doubles."},
    {"_read_doubles", guarded<read_doubles>, METH_VARARGS,
     "_read_doubles(n, count) -> list, or None at end of file or for a shorter record."},
    {"_format", guarded<format>, METH_VARARGS,
     "_format(layout, items) -> list of records written by a FORMAT text (int: integer, float: "
     "real, str: text)."},
    {"_namelist", guarded<namelist>, METH_VARARGS,
     "_namelist(path, group, items) -> (status, values, message); items are tuples (name, kind "
     "'i'|'f'|'l'|'c', count, textlen[, initial])."},
    {"_set_folder", guarded<set_folder>, METH_O,
     "_set_folder(path): the folder in which runs open their files (None: the current folder)."},
    {"_set_output", guarded<set_output>, METH_O,
     "_set_output(callable): receiver of the standard-output text of runs (None: stdout)."},
    {"_table_mismatch", guarded<table_mismatch_hook>, METH_VARARGS,
     "_table_mismatch(group, routine, names) -> str: the import check of the routine's table "
     "entry with these argument names; empty when they agree with the core."},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace

int add_private_hooks(PyObject* module) {
    set_interrupt_check(&python_interrupt_pending);
    return PyModule_AddFunctions(module, hook_methods);
}

}  // namespace zeft::binding
