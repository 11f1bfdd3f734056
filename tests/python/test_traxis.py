"""The ctypes module of examples/python against closed forms and published figures.

Needs the shared library: TRAXIS_LIBRARY=path/to/libtx.so python3 test_traxis.py; with
TRAXIS_LORENZ_SO naming examples/python/lorenz.c built as a shared object, the C right-hand side
is tested too.  `make check-python` sets both.
"""
import ctypes
import math
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python"))
import traxis  # noqa: E402

LN2 = math.log(2.0)
LORENZ_SO = os.environ.get("TRAXIS_LORENZ_SO")


def oscillator(t, y, p):
    return [y[1], -y[0]]


class Integration(unittest.TestCase):
    def test_oscillator_follows_cos_and_dense_output_fills_the_last_step(self):
        for method in (traxis.METHOD_RK65, traxis.METHOD_HIGH_ORDER):
            with self.subTest(method=method), traxis.System(
                    oscillator, order=2, y=[1.0, 0.0], rel_tol=1e-11, method=method) as s:
                for t1 in (0.5, 3.0, 2 * math.pi, 20.0):
                    x, v = s.integrate(t1)
                    self.assertEqual(s.t, t1)
                    self.assertAlmostEqual(x, math.cos(t1), delta=1e-9)
                    self.assertAlmostEqual(v, -math.sin(t1), delta=1e-9)
                t0, _ = s.t, s.step()
                mid = 0.5 * (t0 + s.t)
                self.assertAlmostEqual(s.dense(mid)[0], math.cos(mid), delta=1e-9)

    def test_parameters_reach_the_right_hand_side(self):
        # y' = -k y with k = 3: y(1) = e^-3
        with traxis.System(lambda t, y, p: [-p[0] * y[0]], order=1, y=[1.0], params=[3.0],
                           rel_tol=1e-12) as s:
            self.assertAlmostEqual(s.integrate(1.0)[0], math.exp(-3.0), delta=1e-11)

    def test_refusals_raise_and_leave_the_interpreter_alive(self):
        with traxis.System(oscillator, order=2, y=[1.0, 0.0]) as s:
            s.integrate(1.0)
            with self.assertRaises(traxis.TraxisError) as e:
                s.integrate(0.5)  # backwards
            self.assertEqual(e.exception.code, 7)
            self.assertEqual(s.t, 1.0)
            # this process defines no model(): noise-driven integration is refused, not a crash
            lib, t, y = traxis.load(), ctypes.c_double(1.0), (ctypes.c_double * 2)(1.0, 0.0)
            self.assertEqual(lib.TXIntegrate_With_Noise(s.handle, ctypes.byref(t), 2.0, y), 0)
            self.assertEqual(lib.TXErrorTraxis(s.handle), 35)
        with self.assertRaises(traxis.TraxisError) as e:
            traxis.System(oscillator, order=2, y=[1.0, 0.0], method=7)
        self.assertEqual(e.exception.code, 36)
        for bad in (dict(order=0, y=[]), dict(order=1, y=[1.0], h=0.0),
                    dict(order=1, y=[1.0], rel_tol=math.nan), dict(order=2, y=[1.0])):
            with self.assertRaises(ValueError):
                traxis.System(oscillator, **bad)

    def test_an_exception_in_the_right_hand_side_comes_back_from_the_operation(self):
        def rhs(t, y, p):
            if t > 0.5:
                raise KeyError("from the model")
            return [1.0]
        with traxis.System(rhs, order=1, y=[0.0]) as s:
            with self.assertRaises(KeyError):
                s.integrate(1.0)
            s.set_state(0.0, [0.0])
            self.assertAlmostEqual(s.integrate(0.25)[0], 0.25, delta=1e-12)


class Lyapunov(unittest.TestCase):
    def test_linear_system_gives_its_rates(self):
        with traxis.System(lambda t, y, p: [-y[0], -2.0 * y[1]], order=2, y=[1.0, 1.0],
                           rel_tol=1e-10) as s:
            exps = s.lyapunov(n=2, eps=1e-6, dt=0.5, transient=0, steps=20)
        self.assertAlmostEqual(exps[0] * LN2, -1.0, delta=1e-6)
        self.assertAlmostEqual(exps[1] * LN2, -2.0, delta=1e-6)

    @unittest.skipUnless(LORENZ_SO, "TRAXIS_LORENZ_SO not set")
    def test_lorenz_spectrum_from_a_c_right_hand_side(self):
        rhs = traxis.c_function(LORENZ_SO, "lorenz")
        with traxis.System(rhs, order=3, y=[1.0, 1.0, 1.0], rel_tol=1e-10) as s:
            exps = [e * LN2 for e in s.lyapunov(n=3, eps=1e-7, dt=0.1, transient=200, steps=5000)]
        # the sum is the trace -(sigma + 1 + beta); Sprott's figures 0.9056, 0, -14.5723
        self.assertAlmostEqual(sum(exps), -(10.0 + 1.0 + 8.0 / 3.0), delta=1e-3)
        self.assertAlmostEqual(exps[0], 0.9056, delta=0.02)
        self.assertAlmostEqual(exps[1], 0.0, delta=0.01)
        self.assertAlmostEqual(exps[2], -14.5723, delta=0.03)


def fitzhugh_nagumo(t, y, p):
    current, a, b, eps = p
    v, w = y
    return [v - v ** 3 / 3.0 - w + current, eps * (v + a - b * w)]


class Continuation(unittest.TestCase):
    def test_fitzhugh_nagumo_hopf_points_where_the_trace_vanishes(self):
        # trace 1 - v^2 - eps b = 0 at v = -+sqrt(1 - eps b); I from the equilibrium conditions
        a, b, eps = 0.7, 0.8, 0.08
        seen = []
        with traxis.System(fitzhugh_nagumo, order=2, y=[-1.2, -0.62], params=[0.0, a, b, eps],
                           rel_tol=1e-12) as s:
            points = s.continue_equilibria(0, 0.05, nrbif=2, on_point=seen.append)
        self.assertEqual(seen, points)
        hopf = [p for p in points if p.biftype]
        self.assertEqual([p.name for p in hopf], ["HOPF", "HOPF"])
        for p, sign in zip(hopf, (-1.0, 1.0)):
            v = sign * math.sqrt(1.0 - eps * b)
            self.assertAlmostEqual(p.y[0], v, delta=1e-6)
            self.assertAlmostEqual(p.c, v ** 3 / 3.0 - v + (v + a) / b, delta=1e-6)
            self.assertAlmostEqual(abs(p.eigenvalues[0].real), 0.0, delta=1e-6)
        # every point is an equilibrium, stable outside the two Hopf points (marginal on them)
        for p in points:
            f = fitzhugh_nagumo(0.0, p.y, [p.c, a, b, eps])
            self.assertLess(max(abs(x) for x in f), 1e-8)
            if all(p.c != h.c for h in hopf):
                self.assertEqual(p.stable, not hopf[0].c < p.c < hopf[1].c)

    def test_cusp_folds_at_their_closed_form(self):
        with traxis.System(lambda t, y, p: [p[0] + y[0] - y[0] ** 3, -y[1]], order=2,
                           y=[-1.2, 0.0], params=[-1.0], rel_tol=1e-12) as s:
            folds = [p for p in s.continue_equilibria(0, 0.05, nrbif=2) if p.biftype]
        fold = 2.0 / (3.0 * math.sqrt(3.0))
        self.assertEqual([p.name for p in folds], ["SADDLE-NODE", "SADDLE-NODE"])
        self.assertAlmostEqual(folds[0].c, fold, delta=1e-6)
        self.assertAlmostEqual(folds[1].c, -fold, delta=1e-4)
        self.assertAlmostEqual(folds[0].y[0], -1.0 / math.sqrt(3.0), delta=1e-4)

    def test_an_exception_in_the_output_comes_back(self):
        def stop(point):
            raise RuntimeError("enough")
        with traxis.System(fitzhugh_nagumo, order=2, y=[-1.2, -0.62],
                           params=[0.0, 0.7, 0.8, 0.08]) as s:
            with self.assertRaisesRegex(RuntimeError, "enough"):
                s.continue_equilibria(0, 0.05, max_steps=3, on_point=stop)
            with self.assertRaises(IndexError):
                s.continue_equilibria(4, 0.05)


if __name__ == "__main__":
    unittest.main()
