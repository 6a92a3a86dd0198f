#!/usr/bin/env python3
"""Every binding declares every export of korvocomm.h, with the header's
parameters in count and type, and nothing the header lacks.

Usage: check-declarations.py HEADER BINDINGS_DIR
"""
import os
import re
import sys

# The header's parameter types, by the kind each binding maps them to.
C_KINDS = {"const char*": "text", "char*": "buffer", "int": "int", "unsigned char": "flag"}
CSHARP_KINDS = {"[In] byte[]": "text", "[Out] byte[]": "buffer", "int": "int", "byte": "flag"}
PASCAL_KINDS = {"PKorvoText": "text", "PKorvoBuffer": "buffer", "Integer": "int", "Byte": "flag"}


def header_exports(path):
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"/\*.*?\*/", " ", f.read(), flags=re.S)
    exports = {}
    for name, params in re.findall(r"KORVO_API\s+int\s+KORVO_CALL\s+(\w+)\s*\(([^)]*)\)\s*;", text):
        kinds = []
        for param in params.split(","):
            param = re.sub(r"\s+", " ", param.strip())
            if param in ("", "void"):
                continue
            found = re.match(r"(.*?)\s*(\*?)\s*(\w+)$", param)
            ctype = (found.group(1) + found.group(2)).replace(" *", "*")
            if ctype not in C_KINDS:
                raise SystemExit(f"check-declarations: {name}: no binding maps the type {ctype!r}; extend the bindings")
            kinds.append(C_KINDS[ctype])
        exports[name] = kinds
    if not exports:
        raise SystemExit(f"check-declarations: no exports found in {path}")
    return exports


def python_exports(bindings):
    sys.dont_write_bytecode = True  # nothing written into the source tree
    sys.path.insert(0, os.path.join(bindings, "python"))
    from korvocomm import _native  # loads no library
    kinds = {_native.TEXT: "text", _native.BUFFER: "buffer", _native.INT: "int", _native.FLAG: "flag"}
    return {name: [kinds.get(t, repr(t)) for t in types] for name, types in _native.EXPORTS.items()}


def csharp_exports(bindings):
    with open(os.path.join(bindings, "dotnet", "src", "NativeMethods.cs"), encoding="utf-8") as f:
        text = f.read()
    exports = {}
    for name, params in re.findall(r"public delegate int (\w+)Function\(([^)]*)\);", text):
        kinds = []
        for param in filter(None, (p.strip() for p in re.sub(r"\s+", " ", params).split(","))):
            ctype = param.rsplit(" ", 1)[0]
            kinds.append(CSHARP_KINDS.get(ctype, repr(ctype)))
        # The loader binds the fields by their names.
        if not re.search(rf"public readonly {name}Function {name};", text):
            kinds.append("(no field)")
        exports[name] = kinds
    return exports


def pascal_exports(bindings):
    with open(os.path.join(bindings, "pascal", "KorvoComm.pas"), encoding="utf-8") as f:
        text = f.read()
    bound = dict((var, name) for var, name in re.findall(r"@(\w+) := Bind\('(\w+)'\);", text))
    exports = {}
    convention = r"\{\$IFDEF MSWINDOWS\}stdcall\{\$ELSE\}cdecl\{\$ENDIF\};"
    for name, params, called in re.findall(rf"^  (\w+): function\(([^)]*)\): Integer;(?:(?=\s*({convention})))?", text, re.M):
        kinds = []
        for group in filter(None, (g.strip() for g in re.sub(r"\s+", " ", params).split(";"))):
            names, ptype = group.split(":")
            kinds += [PASCAL_KINDS.get(ptype.strip(), repr(ptype.strip()))] * len(names.split(","))
        if not called:
            kinds.append("(no calling convention)")
        if bound.get(name) != name:
            kinds.append("(not bound)")
        exports[name] = kinds
    return exports


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    header = header_exports(sys.argv[1])
    problems = []
    for binding, read in (("python", python_exports), ("dotnet", csharp_exports), ("pascal", pascal_exports)):
        declared = read(sys.argv[2])
        for name, kinds in header.items():
            if name not in declared:
                problems.append(f"{binding}: {name} is not declared")
            elif declared[name] != kinds:
                problems.append(f"{binding}: {name} has ({', '.join(declared[name])}), "
                                f"the header ({', '.join(kinds)})")
        problems += [f"{binding}: {name} is not in the header" for name in declared if name not in header]
    for problem in problems:
        print("check-declarations:", problem)
    if problems:
        return 1
    print(f"check-declarations: {len(header)} exports, declared alike by python, dotnet and pascal")
    return 0


if __name__ == "__main__":
    sys.exit(main())
