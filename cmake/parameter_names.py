"""Parameter names of the core's routines, read from their C++ declarations and definitions.

    python3 parameter_names.py OUTPUT SOURCE...

Writes OUTPUT, a list of initialisers {"function", "name,name,...", "file:line"}: one for every
declaration or definition `void f(...)` in the sources whose parameters all carry names
(explicit instantiations, which name none, are skipped). At import the module requires every
entry of a routine in its signature table to list the table's argument names in the table's
order, so that two arguments of the same kind cannot trade places between the table and the
code, nor between a header and its definition.
"""
import re
import sys

COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)
FUNCTION = re.compile(r"\bvoid\s+(\w+)\s*\(([^()]*)\)")
NAME = re.compile(r"(?:[\w:<>]+[\s*&]+)+(\w+)\s*(?:\[[^\]]*\])?\s*(?:=.*)?$", re.S)
TYPE_WORDS = {"const", "int", "float", "double", "char", "bool", "void", "unsigned", "long"}


def parameter_names(params):
    """Names of a parameter list, or None when a parameter is unnamed."""
    params = params.strip()
    if not params:
        return []
    names = []
    for p in params.split(","):
        m = NAME.match(p.strip())
        if not m or m.group(1) in TYPE_WORDS:
            return None
        names.append(m.group(1))
    return names


def declared(paths):
    """(function, names, where) of every declaration that names its parameters."""
    found = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            text = COMMENT.sub(" ", f.read())
        for m in FUNCTION.finditer(text):
            names = parameter_names(m.group(2))
            if names is None:
                continue
            where = "%s:%d" % (path, text.count("\n", 0, m.start()) + 1)
            found.append((m.group(1), names, where))
    return found


def main(argv):
    output, sources = argv[1], argv[2:]
    lines = ["// Generated from the core sources by cmake/parameter_names.py; do not edit."]
    for function, names, where in declared(sources):
        lines.append('{"%s", "%s", "%s"},' % (function, ",".join(names), where))
    text = "\n".join(lines) + "\n"
    try:
        with open(output, encoding="utf-8") as f:
            if f.read() == text:
                return 0
    except OSError:
        pass
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
