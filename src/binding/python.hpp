// Shared pieces of the extension module: the module error, the routine object and the help
// texts generated from the signature table.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
#ifndef ZEFT_IMPORT_ARRAY_HERE  // only the module's init file imports the array API
#define NO_IMPORT_ARRAY
#endif
#define PY_ARRAY_UNIQUE_SYMBOL zeft_ARRAY_API
#include <numpy/arrayobject.h>

#include <string>

#include "binding/implementation.hpp"
#include "binding/signatures.hpp"

namespace zeft::binding {

/// The module's error class, _zeft.error (set at import).
extern PyObject* module_error;

/// Calls a routine of the table: matches, converts and checks the arguments, runs the
/// implementation and builds the returned values. Returns a new reference or nullptr with an
/// exception set.
PyObject* call_routine(const std::string& group, const RoutineDecl& decl, PyObject* args, PyObject* kwargs);

/// The help text of a routine: signature line, parameters, optional keywords, returns.
std::string routine_help(const RoutineDecl& decl);

/// The host signature line, e.g. "b,ier = trnpsi(psi,a,[m])".
std::string signature_line(const RoutineDecl& decl);

/// English ordinal by the module's fixed rule: the suffix follows the last digit only.
std::string ordinal(int n);

}  // namespace zeft::binding
