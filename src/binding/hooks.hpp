// Private test hooks of the module: the formatted-output and namelist machinery reachable
// from the test suite without a full analysis run. Not part of the published interface.
#pragma once

#include <Python.h>

namespace zeft::binding {

/// Adds the private attributes (names beginning with an underscore) to the module.
/// Returns 0, or -1 with a Python exception set.
int add_private_hooks(PyObject* module);

/// Adds _certify, the certificate of a run's load factors. Returns 0, or -1 with an exception set.
int add_certify_hook(PyObject* module);

/// Adds the private entries over the analysis state: panel set-up and run, reset, snapshot.
/// Returns 0, or -1 with a Python exception set.
int add_state_hooks(PyObject* module);

}  // namespace zeft::binding
