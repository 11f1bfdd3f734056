"""What a Python right-hand side costs per evaluation.  The Lorenz trajectory is integrated once
with a Python callable and once with the C function of lorenz.c loaded from a shared object: both
do the same arithmetic, so they take the same steps, and the difference in time divided by the
number of evaluations is the price of going through Python.  A third run with a right-hand side
that does no arithmetic at all shows how much of that is the call itself.

    python3 callback_cost.py path/to/lorenz.so [t_end]
"""
import sys
import time

import traxis

SIGMA, RHO, BETA = 10.0, 28.0, 8.0 / 3.0


class Counted:
    """A right-hand side that counts its evaluations."""

    def __init__(self, f):
        self.f, self.n = f, 0

    def __call__(self, t, y, p):
        self.n += 1
        return self.f(t, y, p)


def lorenz(t, y, p):
    x, v, z = y
    return [SIGMA * (v - x), x * (RHO - z) - v, x * v - BETA * z]


def constant(t, y, p):
    return [1.0, 1.0, 1.0]


def best_time(rhs, t_end, repeats=3, max_step=None):
    """Shortest of a few integrations to t_end, and the end state."""
    best = float("inf")
    for _ in range(repeats):
        with traxis.System(rhs, order=3, y=[1.0, 1.0, 1.0], rel_tol=1e-10,
                           max_step=max_step) as s:
            start = time.perf_counter()
            y = s.integrate(t_end)
            best = min(best, time.perf_counter() - start)
    return best, y


def main():
    so = sys.argv[1]
    t_end = float(sys.argv[2]) if len(sys.argv) > 2 else 200.0
    counted = Counted(lorenz)
    best_time(counted, t_end, repeats=1)
    evaluations = counted.n
    tp, yp = best_time(lorenz, t_end)
    tc, yc = best_time(traxis.c_function(so, "lorenz"), t_end)
    trivial = Counted(constant)
    best_time(trivial, 1.0, repeats=1, max_step=1e-4)  # a straight line: steps held short
    tt, _ = best_time(constant, 1.0, max_step=1e-4)
    us = 1e6 / evaluations
    print(f"Lorenz to t = {t_end:g} at RelTol 1e-10: {evaluations} evaluations, same end state "
          f"from Python and C: {yp == yc}")
    print(f"  Python right-hand side:   {tp:7.3f} s   {tp * us:6.2f} us per evaluation")
    print(f"  C right-hand side (.so):  {tc:7.3f} s   {tc * us:6.2f} us per evaluation")
    print(f"  the call alone (a Python right-hand side without arithmetic): "
          f"{1e6 * tt / trivial.n:.2f} us per evaluation")
    print(f"  cost of Python: {(tp - tc) * us:.2f} us per evaluation, {tp / tc:.0f} times the C run")


if __name__ == "__main__":
    main()
