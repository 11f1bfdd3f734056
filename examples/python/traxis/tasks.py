"""What a sweep computes at each point: a batch program in a working directory of its own, or an
analysis of a compiled model on a library handle of its own.

Tasks are plain data (to_dict / task_from_dict), so that a worker process, a Dask worker or a
batch job started by a scheduler rebuilds the same task from the sweep's description.
"""
import ctypes
import math
import os
import re
import shutil
import subprocess
import tempfile
import threading

from . import FCN, JAC, System, load

# Fields of each record of a state file: a token equal to a keyword starts the record, and the
# reader consumes its fields as tokens, so an edit must skip them the same way.
_RECORD_FIELDS = {"&var": 4, "&par": 3, "&num": 2, "&pph": 7, "&msc": 3}
_NAMED_RECORDS = ("&var", "&par", "&num")
_SEED_FIELD = 3  # of "&msc": mode, (unused), seed


class PointError(Exception):
    """A point that could not be computed; the message names what went wrong."""


def _words(text):
    """The text split into tokens and the whitespace between them, and the tokens' positions."""
    parts = re.split(r"(\s+)", text)
    return parts, [k for k in range(0, len(parts), 2) if parts[k]]


def edit_state_file(text, values, seed=None):
    """text with the value of each "&var", "&par" or "&num" record named in values replaced, and
    the seed of "&msc" set; KeyError for a name no record has."""
    parts, words = _words(text)
    found = set()
    w = 0
    while w < len(words):
        key = parts[words[w]]
        fields = _RECORD_FIELDS.get(key)
        if fields is None:
            w += 1
            continue
        if key in _NAMED_RECORDS and w + 2 < len(words) and parts[words[w + 1]] in values:
            name = parts[words[w + 1]]
            parts[words[w + 2]] = repr(float(values[name]))
            found.add(name)
        elif key == "&msc" and seed is not None and w + _SEED_FIELD < len(words):
            parts[words[w + _SEED_FIELD]] = str(int(seed))
        w += 1 + fields
    missing = set(values) - found
    if missing:
        raise KeyError(f"no record named {', '.join(sorted(missing))}")
    return "".join(parts)


def edit_pair_file(text, values):
    """text of a "name value ..." parameter file with the named values replaced."""
    parts, words = _words(text)
    found = set()
    for w in range(0, len(words) - 1, 2):
        name = parts[words[w]]
        if name in values:
            parts[words[w + 1]] = repr(float(values[name]))
            found.add(name)
    missing = set(values) - found
    if missing:
        raise KeyError(f"no pair named {', '.join(sorted(missing))}")
    return "".join(parts)


def numbers(text):
    """The numbers of a program's output in order; "name=value" counts as its value."""
    out = []
    for token in text.split():
        token = token.rpartition("=")[2]
        try:
            float(token)
        except ValueError:
            continue
        out.append(token)
    return out


def _last_line(*texts):
    for text in texts:
        lines = [line.strip() for line in (text or "").splitlines() if line.strip()]
        if lines:
            return lines[-1]
    return "no message"


class Program:
    """A batch program run once per point in the directory points/<index> of the sweep, with
    its input files written there first.

    inputs: paths of the files the program reads (their contents are kept in the sweep's
    description, so later edits of the originals cannot mix two maps).  A grid axis named like a
    record of the state file ("a", "t_end") sets that record; "param.lce:lyap_dt" sets a pair
    of another input.  The point's seed goes into the "&msc" record where there is one.
    output: the file whose numbers make the point's row, named by columns (None drops one).
    scratch: where each point runs instead, in a directory removed afterwards ("$TMPDIR", a
    disk of the node: a map of a million points would otherwise put millions of small files on
    a shared filesystem).
    """

    kind = "program"

    def __init__(self, program, args=(), inputs=(), output=None, columns=(),
                 state_file="system.st", timeout=None, input_texts=None, scratch=None):
        found = shutil.which(program) if os.sep not in program else program
        if not found:
            raise FileNotFoundError(f"program {program!r} not found")
        self.program = os.path.abspath(found)
        self.args = [str(a) for a in args]
        self.inputs = dict(input_texts or {})
        for path in inputs:
            with open(path) as f:
                self.inputs[os.path.basename(path)] = f.read()
        if not output:
            raise ValueError("name the output file whose numbers make the row")
        self.output = output
        self.columns = list(columns)
        if not any(self.columns):
            raise ValueError("name at least one column of the output")
        self.state_file = state_file
        self.timeout, self.scratch = timeout, scratch

    @property
    def names(self):
        return [c for c in self.columns if c]

    def files(self, point):
        """The input files of the point: name -> text."""
        edits = {}
        for name, value in point.params.items():
            file, _, key = name.rpartition(":")
            edits.setdefault(file or self.state_file, {})[key] = value
        texts = dict(self.inputs)
        if self.state_file in texts:
            edits.setdefault(self.state_file, {})
        for file, values in edits.items():
            if file not in texts:
                raise PointError(f"{file} is not among the program's inputs")
            try:
                if file == self.state_file:
                    texts[file] = edit_state_file(texts[file], values, point.seed)
                else:
                    texts[file] = edit_pair_file(texts[file], values)
            except KeyError as e:
                raise PointError(f"{file}: {e.args[0]}") from None
        return texts

    def run(self, point, workdir):
        if not self.scratch:
            here = os.path.join(workdir, "points", str(point.index))
            os.makedirs(here, exist_ok=True)
            return self._run_in(here, point)
        scratch = os.path.expandvars(self.scratch)
        os.makedirs(scratch, exist_ok=True)
        with tempfile.TemporaryDirectory(prefix=f"point-{point.index}-", dir=scratch) as here:
            return self._run_in(here, point)

    def _run_in(self, here, point):
        for name, text in self.files(point).items():
            with open(os.path.join(here, name), "w") as f:
                f.write(text)
        output = os.path.join(here, self.output)
        if os.path.exists(output):  # never read the output of an earlier attempt
            os.remove(output)
        name = os.path.basename(self.program)
        try:
            with open(os.path.join(here, "stdout.txt"), "w") as log:
                done = subprocess.run([self.program] + self.args, cwd=here, stdout=log,
                                      stderr=subprocess.PIPE, text=True, timeout=self.timeout)
        except subprocess.TimeoutExpired:
            raise PointError(f"{name} did not finish within {self.timeout} s") from None
        if done.returncode != 0:
            with open(os.path.join(here, "stdout.txt")) as f:
                said = _last_line(done.stderr, f.read())
            raise PointError(f"{name} exited with status {done.returncode}: {said}")
        try:
            with open(output) as f:
                found = numbers(f.read())
        except OSError:
            raise PointError(f"{name} wrote no {self.output}") from None
        if len(found) != len(self.columns):
            raise PointError(f"{self.output} holds {len(found)} numbers, "
                             f"{len(self.columns)} expected")
        return [v for v, c in zip(found, self.columns) if c]

    def check(self, grid):
        """Raises now, not at every point, when the grid names what the inputs lack."""
        self.files(next(iter(grid)))

    def to_dict(self):
        return {"kind": self.kind, "program": self.program, "args": self.args,
                "input_texts": self.inputs, "output": self.output, "columns": self.columns,
                "state_file": self.state_file, "timeout": self.timeout, "scratch": self.scratch}


# ---- compiled models on library handles ----

_objects = {}
_objects_lock = threading.Lock()


def _shared_object(path):
    with _objects_lock:
        if path not in _objects:
            _objects[path] = ctypes.CDLL(path)
        return _objects[path]


class Model:
    """A model compiled to a shared object: the right-hand side rhs,
    `void rhs(double t, double *y, double *f)`, optionally its Jacobian,
    `void jac(double t, double *y, double **J)`, and its parameters as a C array of doubles
    named params, whose entries the grid addresses by names.

    Each point sets the parameters of the thread that computes it: for the thread engine, the
    array must be thread-local (`_Thread_local double par[3];`), so that threads do not overwrite
    each other's values; ctypes finds each thread's copy.
    """

    def __init__(self, path, rhs, order, params=None, names=(), jac=None):
        self.path = os.path.abspath(path)
        self.rhs, self.order, self.params, self.jac = rhs, int(order), params, jac
        self.names = list(names)
        if self.names and not params:
            raise ValueError("parameter names without the params array")

    def function(self, name, kind):
        return ctypes.cast(getattr(_shared_object(self.path), name), kind)

    def parameters(self):
        """This thread's parameter array."""
        so = _shared_object(self.path)
        return (ctypes.c_double * max(1, len(self.names))).in_dll(so, self.params)

    def set_parameters(self, values):
        if not values:
            return
        array = self.parameters()
        for name, value in values.items():
            if name not in self.names:
                raise PointError(f"the model has no parameter {name!r}")
            array[self.names.index(name)] = value

    def _in_new_thread(self, read):
        found = []
        t = threading.Thread(target=lambda: found.append(read()))
        t.start()
        t.join()
        return found[0]

    def initial_values(self):
        """The parameters as the shared object initialises them (a new thread's copy)."""
        return self._in_new_thread(lambda: list(self.parameters()[:len(self.names)]))

    def thread_local(self):
        """Whether each thread has its own parameter array."""
        here = ctypes.addressof(self.parameters())
        return self._in_new_thread(lambda: ctypes.addressof(self.parameters())) != here

    def to_dict(self):
        return {"path": self.path, "rhs": self.rhs, "order": self.order, "params": self.params,
                "names": self.names, "jac": self.jac}


def variational_lyapunov(system, n, dt, transient, steps):
    """The n largest exponents (bits per unit time) from the variational equations: the
    fundamental matrix carries n orthonormal directions over each interval dt and is
    reorthonormalised after it.  Uses the handle's variational sub-handle, opened with
    difference Jacobians when no Jacobian was given."""
    lib = load()
    tx = system.handle
    h = tx.contents
    if not h.TX:
        system.open_variational()
    order = system.order
    rows = [(ctypes.c_double * order)() for _ in range(order)]
    phi = (ctypes.POINTER(ctypes.c_double) * order)(
        *[ctypes.cast(r, ctypes.POINTER(ctypes.c_double)) for r in rows])
    t, y = ctypes.c_double(system.t), (ctypes.c_double * order)(*system.y)
    # The n directions one after the other, as the library's GSR orthonormalises them in place.
    v = (ctypes.c_double * (order * n))(*[float(i == k) for k in range(n) for i in range(order)])
    norm, scratch = (ctypes.c_double * n)(), (ctypes.c_double * order)()
    pad = [0.0] * (order - n)
    sums = [0.0] * n
    for interval in range(transient + steps):
        for i in range(order):
            rows[i][:] = v[i::order] + pad
        end = ctypes.c_double(t.value + dt)
        system._check(lib.TXVarIntegrate(tx, ctypes.byref(t), end, y, phi), "TXVarIntegrate")
        v[:] = [rows[i][k] for k in range(n) for i in range(order)]
        lib.GSR(v, norm, order, scratch, n)
        lengths = list(norm)
        if not all(x > 0.0 and math.isfinite(x) for x in lengths):
            raise PointError(f"a direction collapsed or overflowed at t = {t.value:g}")
        if interval >= transient:
            sums = [s + math.log(x) for s, x in zip(sums, lengths)]
    system.set_state(t.value, list(y))
    return [s / (steps * dt * math.log(2.0)) for s in sums]


class Lyapunov:
    """The n largest Lyapunov exponents in bits per unit time, largest first: with the
    library's neighbouring trajectories (TXLyapCalc), or from the variational equations with the
    model's Jacobian (method="variational")."""

    kind = "lyapunov"

    def __init__(self, n, eps=1e-8, dt=1.0, transient=100, steps=1000, method="neighbours"):
        if method not in ("neighbours", "variational"):
            raise ValueError(f"unknown method {method!r}")
        self.n, self.eps, self.dt = int(n), float(eps), float(dt)
        self.transient, self.steps, self.method = int(transient), int(steps), method

    @property
    def columns(self):
        return [f"lambda{k + 1}" for k in range(self.n)]

    def run(self, system):
        if self.method == "variational":
            found = variational_lyapunov(system, self.n, self.dt, self.transient, self.steps)
        else:
            found = system.lyapunov(self.n, self.eps, self.dt, self.transient, self.steps)
        return sorted(found, reverse=True)

    def to_dict(self):
        return {"kind": self.kind, "n": self.n, "eps": self.eps, "dt": self.dt,
                "transient": self.transient, "steps": self.steps, "method": self.method}


class State:
    """The state at time t1."""

    kind = "state"

    def __init__(self, t1, names=None):
        self.t1, self.names = float(t1), names

    def run(self, system):
        return system.integrate(self.t1)

    @property
    def columns(self):
        return self.names

    def to_dict(self):
        return {"kind": self.kind, "t1": self.t1, "names": self.names}


_ANALYSES = {cls.kind: cls for cls in (Lyapunov, State)}


class Library:
    """An analysis of a compiled model on a library handle opened for the point, from the
    state y at time t; rel_tol and h are those of TXOpenTraxis.  params: values of the model's
    parameters off the grid, by name; the others keep the values the shared object gives them.
    Every point sets all of them, so that no point sees what an earlier one left."""

    kind = "library"

    def __init__(self, model, y, analysis, t=0.0, rel_tol=1e-8, h=0.01, params=None):
        self.model, self.analysis = model, analysis
        self.params = dict(zip(model.names, model.initial_values())) if model.names else {}
        self.params.update({k: float(v) for k, v in (params or {}).items()})
        if set(self.params) - set(model.names):
            raise ValueError(f"the model has no parameter "
                             f"{', '.join(sorted(set(self.params) - set(model.names)))}")
        self.y, self.t, self.rel_tol, self.h = [float(v) for v in y], float(t), rel_tol, h
        if len(self.y) != model.order:
            raise ValueError(f"y holds {len(self.y)} values for order {model.order}")
        if isinstance(analysis, Lyapunov) and not 1 <= analysis.n <= model.order:
            raise ValueError(f"{analysis.n} exponents of a system of order {model.order}")
        if isinstance(analysis, State) and analysis.names is None:
            analysis.names = [f"y{i + 1}" for i in range(model.order)]

    @property
    def names(self):
        return list(self.analysis.columns)

    def run(self, point, workdir):
        m = self.model
        m.set_parameters(dict(self.params, **point.params))
        with System(m.function(m.rhs, FCN), m.order, self.y, t=self.t, rel_tol=self.rel_tol,
                    h=self.h) as s:
            if m.jac:
                s.open_variational(m.function(m.jac, JAC))
            return [repr(float(v)) for v in self.analysis.run(s)]

    def check(self, grid):
        unknown = [n for n in grid.names if n not in self.model.names]
        if unknown:
            raise ValueError(f"the model has no parameter {', '.join(map(repr, unknown))}")

    def to_dict(self):
        return {"kind": self.kind, "model": self.model.to_dict(), "y": self.y, "t": self.t,
                "rel_tol": self.rel_tol, "h": self.h, "params": self.params,
                "analysis": self.analysis.to_dict()}


def task_from_dict(d):
    d = dict(d)
    kind = d.pop("kind")
    if kind == Program.kind:
        return Program(**d)
    if kind == Library.kind:
        analysis = dict(d.pop("analysis"))
        d["analysis"] = _ANALYSES[analysis.pop("kind")](**analysis)
        d["model"] = Model(**d["model"])
        return Library(**d)
    raise ValueError(f"unknown task kind {kind!r}")


def compute_all(task, points, workdir):
    """compute for each of the points, in a list: one call of an engine."""
    return [compute(task, point, workdir) for point in points]


def compute(task, point, workdir):
    """(True, the row's values as text) or (False, the error on one line)."""
    try:
        return True, " ".join(task.run(point, workdir))
    except Exception as e:  # noqa: B902 - any failure of one point is that point's result
        message = str(e) or type(e).__name__
        if not isinstance(e, (PointError, OSError)):
            message = f"{type(e).__name__}: {message}"
        return False, " / ".join(message.splitlines())[:1000]
