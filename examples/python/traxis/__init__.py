"""Traxis from Python through ctypes: no compiler step beyond the shared library libtx.so.

    import traxis
    with traxis.System(lambda t, y, p: [y[1], -y[0]], order=2, y=[1.0, 0.0]) as s:
        s.integrate(3.0)          # adaptive 6(5) Runge-Kutta to t = 3
        s.dense(2.5)              # the state at 2.5 from the last step's dense output

The right-hand side is a Python callable rhs(t, y, p) returning the derivatives, with y and p
(the parameters) as lists of floats, or a C function `void f(double t, double *y, double *f)`
taken from a shared object (`traxis.c_function`); the C one avoids the Python call per
evaluation, which costs microseconds (see README.md beside this file).

The library is found through the TRAXIS_LIBRARY environment variable (a path to libtx.so), or
else the system's library search.  Every failure raises TraxisError with the library's code and
message; the library never ends the interpreter, except when TXOpenTraxis itself fails, which
the arguments are checked against beforehand.
"""

import ctypes
import ctypes.util
import math
import os

__all__ = ["TraxisError", "System", "Point", "c_function", "load", "BIFURCATION_NAMES"]

# ---- the C records, field for field as in tx.h (tests/python checks the layout) ----

c_double_p = ctypes.POINTER(ctypes.c_double)


class Traxis_t(ctypes.Structure):
    pass


class TraxisBif_t(ctypes.Structure):
    pass


Traxis = ctypes.POINTER(Traxis_t)
TraxisBif = ctypes.POINTER(TraxisBif_t)
FCN = ctypes.CFUNCTYPE(None, ctypes.c_double, c_double_p, c_double_p)
CUT = ctypes.CFUNCTYPE(ctypes.c_double, ctypes.c_double, c_double_p)
JAC = ctypes.CFUNCTYPE(None, ctypes.c_double, c_double_p, ctypes.POINTER(c_double_p))
OUTPUT = ctypes.CFUNCTYPE(None, Traxis, ctypes.c_void_p)

Traxis_t._fields_ = (
    [(name, c_double_p) for name in ("abs_err", "rel_err", "y5", "y6", "ynp1d2", "yfirst", "ylast",
                                     "y0", "yw", "istate", "ivector", "k")]
    + [("j", ctypes.POINTER(c_double_p)), ("c", ctypes.POINTER(c_double_p)),
       ("output", ctypes.POINTER(ctypes.c_int)), ("form", ctypes.c_char_p),
       ("cp", ctypes.c_char_p)]
    + [(name, ctypes.c_double) for name in (
        "AbsTol", "RelTol", "NewtAbsTol", "NewtRelTol", "LambdaNewtAbsTol", "LambdaNewtRelTol",
        "CutEps", "JacPert", "ParamJacPert", "LambdaPert", "tfirst", "tlast", "h", "hmax",
        "hnoise")]
    + [(name, ctypes.c_int) for name in (
        "order", "nparam", "MaxPoincareSteps", "MaxPeriodSteps", "MaxNewtSteps", "MaxContSteps",
        "CheckBifs", "CutSurfaceDefined", "TerminateOnFatalError", "StepTaken", "ErrorCode")]
    + [("fcn", FCN), ("cut", CUT), ("jac", JAC), ("paramjac", JAC), ("TX", Traxis),
       ("txb", TraxisBif), ("method", ctypes.c_void_p)])

# The leading fields of the bifurcation record, up to the step count; the record goes on in C.
TraxisBif_t._fields_ = (
    [("tx", Traxis), ("order", ctypes.c_int), ("biftype", ctypes.c_int), ("t", ctypes.c_double),
     ("y", c_double_p), ("Phi", ctypes.POINTER(c_double_p)), ("T", ctypes.c_double)]
    + [(name, c_double_p) for name in ("c", "er", "ei", "trans", "tang", "intang", "top", "bot",
                                       "left", "right")]
    + [(name, ctypes.c_double) for name in ("ctop", "cbot", "cleft", "cright", "Ttop", "Tbot",
                                            "Tleft", "Tright")]
    + [("indir", ctypes.c_int), ("cindi", ctypes.c_int * 3), ("steps", ctypes.c_int)])

# Integration methods (TXSetMethod).
METHOD_RK65, METHOD_HIGH_ORDER = 0, 1

BIFURCATION_NAMES = ("NOT DETERMINED", "TORUS", "TRANSCRITICAL", "SADDLE-NODE",
                     "PERIOD DOUBLING", "PITCHFORK", "HOPF")

# ---- the library ----

_lib = None


def load(path=None):
    """Loads libtx (once): from path, else $TRAXIS_LIBRARY, else the system's search."""
    global _lib
    if _lib is not None and path is None:
        return _lib
    path = path or os.environ.get("TRAXIS_LIBRARY") or ctypes.util.find_library("tx")
    if not path:
        raise OSError("libtx.so not found: set TRAXIS_LIBRARY to its path "
                      "(`make shared` builds it in build-shared/lib)")
    lib = ctypes.CDLL(path)
    int_, dbl, p = ctypes.c_int, ctypes.c_double, c_double_p
    for name, res, args in (
            ("TXOpenTraxis", Traxis, [FCN, int_, dbl, dbl]),
            ("TXCloseTraxis", int_, [Traxis]),
            ("TXErrorTraxis", int_, [Traxis]),
            ("TXStrErrorTraxis", ctypes.c_char_p, [Traxis]),
            ("TXStep", int_, [Traxis, p, p]),
            ("TXIntegrate", int_, [Traxis, p, dbl, p]),
            ("TXInterpolate", int_, [Traxis, dbl, p]),
            ("TXSetRelTol", int_, [Traxis, dbl]),
            ("TXSetAbsTol", int_, [Traxis, dbl]),
            ("TXSetMaxStep", int_, [Traxis, dbl]),
            ("TXSetMethod", int_, [Traxis, int_]),
            ("TXIntegrate_With_Noise", int_, [Traxis, p, dbl, p]),
            ("TXLyapCalc", int_, [Traxis, p, p, dbl, dbl, ctypes.c_long, ctypes.c_long, p, int_]),
            ("TXVarCloseTraxis", int_, [Traxis])):
        fn = getattr(lib, name)
        fn.restype, fn.argtypes = res, args
    # Variadic: called with explicit ctypes arguments (the same convention on x86-64 and
    # AArch64 Linux).
    lib.TXVarOpenTraxis.restype = int_
    lib.TXEquiCont.restype = int_
    libc = ctypes.CDLL(None)
    libc.fopen.restype, libc.fopen.argtypes = ctypes.c_void_p, [ctypes.c_char_p, ctypes.c_char_p]
    libc.fflush.argtypes = [ctypes.c_void_p]
    lib.libc = libc
    _lib = lib
    return lib


class TraxisError(RuntimeError):
    """A refused library operation: code and message as TXErrorTraxis and TXStrErrorTraxis."""

    def __init__(self, operation, code, message):
        super().__init__(f"{operation}: {message} (code {code})")
        self.operation, self.code, self.message = operation, code, message


def c_function(path, name):
    """The C right-hand side `name` of the shared object at path, usable as System's rhs."""
    fn = getattr(ctypes.CDLL(os.path.abspath(path)), name)
    return ctypes.cast(fn, FCN)


class Point:
    """One point of a continuation run: the parameter, the state and the eigenvalues there,
    and the bifurcation type (0, or an index into BIFURCATION_NAMES)."""

    __slots__ = ("c", "y", "eigenvalues", "biftype")

    def __init__(self, c, y, eigenvalues, biftype):
        self.c, self.y, self.eigenvalues, self.biftype = c, y, eigenvalues, biftype

    @property
    def stable(self):
        return all(ev.real < 0 for ev in self.eigenvalues)

    @property
    def name(self):
        return BIFURCATION_NAMES[self.biftype] if self.biftype else ""

    def __repr__(self):
        kind = f" {self.name}" if self.biftype else ""
        return f"Point(c={self.c!r}, y={self.y!r}{kind})"


def _silence_stdout(libc):
    """Sends what C writes to standard output to the null device; returns what restores it."""
    import sys
    sys.stdout.flush()
    libc.fflush(None)
    saved = os.dup(1)
    null = os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, 1)
    os.close(null)
    return saved


def _restore_stdout(libc, saved):
    libc.fflush(None)
    os.dup2(saved, 1)
    os.close(saved)


class System:
    """An ODE y' = rhs(t, y, p) with its state (t, y) and parameters p, on one library handle.

    rel_tol and h are the tolerance and first step given to TXOpenTraxis (every other tolerance
    derives from rel_tol); abs_tol and max_step set the two of TXSetAbsTol and TXSetMaxStep.
    """

    _tx = None

    def __init__(self, rhs, order, y, t=0.0, params=(), rel_tol=1e-8, h=0.01, abs_tol=None,
                 max_step=None, method=None):
        self._lib = load()
        order = int(order)
        # TXOpenTraxis ends the process on these instead of returning: refuse them here.
        if order < 1:
            raise ValueError("order must be at least 1")
        if not rel_tol >= 0.0:
            raise ValueError("rel_tol must be a non-negative number")
        if not (h > 0.0 and math.isfinite(h)):
            raise ValueError("h must be a positive finite number")
        if len(y) != order:
            raise ValueError(f"y holds {len(y)} values for order {order}")
        self.order = order
        self._t = ctypes.c_double(t)
        self._y = (ctypes.c_double * order)(*y)
        self._p = (ctypes.c_double * max(1, len(params)))(*params)
        self._np = len(params)
        self._error = None  # an exception raised inside a callback, raised again after the call
        self._fcn = rhs if isinstance(rhs, FCN) else FCN(self._python_rhs(rhs))
        self._tx = self._lib.TXOpenTraxis(self._fcn, order, rel_tol, h)
        self._tx.contents.TerminateOnFatalError = 0
        if abs_tol is not None:
            self._check(self._lib.TXSetAbsTol(self._tx, abs_tol), "TXSetAbsTol")
        if max_step is not None:
            self._check(self._lib.TXSetMaxStep(self._tx, max_step), "TXSetMaxStep")
        if method is not None:
            self._check(self._lib.TXSetMethod(self._tx, method), "TXSetMethod")

    def _python_rhs(self, rhs):
        n, p, np_ = self.order, self._p, self._np

        def fcn(t, y, f):
            try:
                out = rhs(t, y[:n], p[:np_])
                for i in range(n):
                    f[i] = out[i]
            except BaseException as e:  # noqa: B902 - carried to the caller of the operation
                if self._error is None:
                    self._error = e
                for i in range(n):  # a NaN derivative makes the operation fail at once
                    f[i] = math.nan
        return fcn

    # ---- state ----

    @property
    def t(self):
        return self._t.value

    @property
    def y(self):
        return list(self._y)

    @property
    def params(self):
        return list(self._p[:self._np])

    def set_state(self, t, y):
        if len(y) != self.order:
            raise ValueError(f"y holds {len(y)} values for order {self.order}")
        self._t.value = t
        self._y[:] = y

    def set_param(self, index, value):
        self._p[index] = value

    @property
    def handle(self):
        """The Traxis handle (ctypes pointer to Traxis_t) for fields without an operation."""
        return self._handle()

    # ---- operations ----

    def _param_address(self, i):
        return ctypes.c_void_p(ctypes.addressof(self._p) + i * ctypes.sizeof(ctypes.c_double))

    def open_variational(self, jac=None, params=False):
        """Opens the variational sub-handle with the Jacobian jac (a JAC), else with difference
        quotients at JacPert; params=True registers every parameter, differentiated at
        ParamJacPert."""
        tx = self._handle()
        h = tx.contents
        # TXVarOpenTraxis is variadic: a perturbation follows each Jacobian that is not given.
        args = [jac] if jac is not None else [None, ctypes.c_double(h.JacPert)]
        if params:
            args += [ctypes.c_int(self._np), None, ctypes.c_double(h.ParamJacPert)]
            args += [self._param_address(i) for i in range(self._np)]
        else:
            args.append(ctypes.c_int(0))
        self._check(self._lib.TXVarOpenTraxis(tx, *args), "TXVarOpenTraxis")

    def step(self):
        """One accepted adaptive step; returns (t, y)."""
        self._check(self._lib.TXStep(self._handle(), ctypes.byref(self._t), self._y), "TXStep")
        return self.t, self.y

    def integrate(self, t1):
        """Advances the state to exactly t1; returns y there."""
        self._check(self._lib.TXIntegrate(self._handle(), ctypes.byref(self._t), t1, self._y),
                    "TXIntegrate")
        return self.y

    def dense(self, t):
        """The state at t from the dense output of the last step (no new evaluation)."""
        out = (ctypes.c_double * self.order)()
        self._check(self._lib.TXInterpolate(self._handle(), t, out), "TXInterpolate")
        return list(out)

    def trajectory(self, times):
        """The states at the given increasing times, integrating from the current state."""
        return [self.integrate(t) for t in times]

    def lyapunov(self, n=None, eps=1e-8, dt=1.0, transient=100, steps=1000):
        """The n largest Lyapunov exponents in bits per unit time (divide by log2(e) for nats),
        from n neighbours at distance eps renormalised every dt; the first `transient` intervals
        are discarded.  The state advances by (transient + steps) * dt."""
        n = self.order if n is None else n
        out = (ctypes.c_double * max(1, n))()
        self._check(self._lib.TXLyapCalc(self._handle(), ctypes.byref(self._t), self._y, eps, dt,
                                         transient, steps, out, n), "TXLyapCalc")
        return list(out[:n])

    def continue_equilibria(self, param, dc, nrbif=0, max_steps=None, on_point=None,
                            trace=False):
        """Follows the branch of equilibria through the current state (corrected onto it first)
        while parameter `param` (an index into params) varies, with TXEquiCont.

        dc is the signed first step, the length of the predicted move of the state; the step
        adapts below |dc| and turns at folds.  Folds and Hopf points met on the way are located;
        nrbif > 0 stops after that many, else max_steps points are computed (the handle's
        MaxContSteps, 1000, when None).  Returns the Points in order: each accepted point, and each
        located bifurcation (biftype set) just before the first point beyond it; on_point(point)
        is called with each as it comes.  The state and the parameter end at the last point.
        The library's trace on standard output is shown only with trace=True.
        """
        lib = self._lib
        tx = self._handle()
        if not 0 <= param < self._np:
            raise IndexError(f"no parameter {param}")
        h = tx.contents
        # The Jacobians by differences of the Python right-hand side; every parameter registered.
        self.open_variational(params=True)
        if max_steps is not None:
            h.MaxContSteps = int(max_steps)
        points, last_steps = [], [None]
        n = self.order

        def output(txp, user):
            try:
                b = txp.contents.txb.contents
                # A located bifurcation is reported before the point of its step, with the step
                # count of the point before it.
                bif = b.steps == last_steps[0]
                last_steps[0] = b.steps
                point = Point(b.c[param], b.y[:n],
                              [complex(b.er[i], b.ei[i]) for i in range(n)],
                              b.biftype if bif else 0)
                points.append(point)
                if on_point is not None:
                    on_point(point)
            except BaseException as e:  # noqa: B902 - carried to the caller
                if self._error is None:
                    self._error = e

        callback = OUTPUT(output)
        user = lib.libc.fopen(os.devnull.encode(), b"w")
        step = ctypes.c_double(dc)
        c = ctypes.cast(self._param_address(param), c_double_p)
        saved = None if trace else _silence_stdout(lib.libc)
        try:
            ok = lib.TXEquiCont(tx, self._y, c, ctypes.byref(step), ctypes.c_int(nrbif),
                                ctypes.c_int(4), callback, ctypes.c_void_p(user))
        finally:
            if saved is not None:
                _restore_stdout(lib.libc, saved)
            lib.libc.fclose(ctypes.c_void_p(user))
        self._check(ok, "TXEquiCont")
        return points

    def close(self):
        if self._tx:
            self._lib.TXCloseTraxis(self._tx)
            self._tx = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    # ---- helpers ----

    def _handle(self):
        if not self._tx:
            raise ValueError("the system is closed")
        return self._tx

    def _check(self, ok, operation):
        error, self._error = self._error, None
        if error is not None:
            raise error
        if not ok:
            code = self._lib.TXErrorTraxis(self._tx)
            raise TraxisError(operation, code, self._lib.TXStrErrorTraxis(self._tx).decode())
