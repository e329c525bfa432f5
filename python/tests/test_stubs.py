"""The type stubs that ship with the package describe what it has."""

import ast
import inspect
import pathlib

import vorandel_turntable as vt

STUBS = pathlib.Path(vt.__file__).with_suffix(".pyi")


def stub_tree():
    return ast.parse(STUBS.read_text())


def defined(body):
    """Names a stub body defines, with the parameters of functions."""
    names = {}
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.AsyncFunctionDef)):
            args = node.args
            names[node.name] = [a.arg for a in args.posonlyargs + args.args + args.kwonlyargs]
        elif isinstance(node, ast.ClassDef):
            names[node.name] = node
        elif isinstance(node, ast.AnnAssign):
            names[node.target.id] = None
        elif isinstance(node, ast.Assign):
            names[node.targets[0].id] = None
    return names


def parameters(function):
    return [p for p in inspect.signature(function).parameters if p not in ("args", "kwargs")]


def test_every_public_name_and_its_parameters_are_in_the_stubs():
    stubs = defined(stub_tree().body)
    assert sorted(set(vt.__all__) - set(stubs)) == []
    for name in ("open", "tables", "catalogue"):
        assert stubs[name] == parameters(getattr(vt, name)), name


def test_every_public_member_of_table_and_tableinfo_is_in_the_stubs():
    stubs = defined(stub_tree().body)
    for cls in (vt.Table, vt.TableInfo, vt.MoveOutcome):
        members = defined(stubs[cls.__name__].body)
        public = {n for n in dir(cls) if not n.startswith("_")} - set(dir(object))
        if cls is vt.MoveOutcome:
            public = set(cls.__members__)
        assert sorted(public - set(members)) == [], cls.__name__
    table_stub = defined(stubs["Table"].body)
    for name in ("__init__", "rotate", "spin", "rotate_async", "spin_async", "wait"):
        assert table_stub[name] == parameters(getattr(vt.Table, name)), name


def test_every_public_call_and_member_has_a_docstring():
    undocumented = []
    for name in vt.__all__:
        if not (getattr(vt, name).__doc__ or "").strip():
            undocumented.append(name)
    for cls in (vt.Table, vt.TableInfo):
        for name in dir(cls):
            if name.startswith("_"):
                continue
            doc = getattr(cls, name).__doc__ or ""
            # pybind11 puts a function's signature before its text.
            if doc.startswith(name + "("):
                doc = doc.partition("\n")[2]
            if not doc.strip():
                undocumented.append(f"{cls.__name__}.{name}")
    assert undocumented == []
