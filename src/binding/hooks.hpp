// Private test hooks of the module: the formatted-output and namelist machinery reachable
// from the test suite without a full analysis run. Not part of the published interface.
#pragma once

#include <Python.h>

namespace zeft::binding {

/// Adds the private attributes (names beginning with an underscore) to the module.
/// Returns 0, or -1 with a Python exception set.
int add_private_hooks(PyObject* module);

}  // namespace zeft::binding
