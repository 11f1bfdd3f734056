"""What a Python right-hand side costs per evaluation: the same Lorenz trajectory integrated
once with a Python callable and once with the C function of lorenz.c loaded from a shared object.
Both do the same arithmetic, so they take the same steps; the difference in time divided by the
number of evaluations is the price of one call from C into Python.

    python3 callback_cost.py path/to/lorenz.so [t_end]
"""
import sys
import time

import traxis

SIGMA, RHO, BETA = 10.0, 28.0, 8.0 / 3.0


def main():
    so = sys.argv[1]
    t_end = float(sys.argv[2]) if len(sys.argv) > 2 else 200.0
    evaluations = 0

    def lorenz(t, y, p):
        nonlocal evaluations
        evaluations += 1
        x, v, z = y
        return [SIGMA * (v - x), x * (RHO - z) - v, x * v - BETA * z]

    timings = {}
    for name, rhs in (("python", lorenz), ("c", traxis.c_function(so, "lorenz"))):
        best = float("inf")
        for _ in range(3):
            with traxis.System(rhs, order=3, y=[1.0, 1.0, 1.0], rel_tol=1e-10) as s:
                start = time.perf_counter()
                y = s.integrate(t_end)
                best = min(best, time.perf_counter() - start)
        timings[name] = (best, y)
    evaluations //= 3
    (tp, yp), (tc, yc) = timings["python"], timings["c"]
    print(f"Lorenz to t = {t_end:g} at RelTol 1e-10: {evaluations} evaluations")
    print(f"  Python right-hand side: {tp:8.3f} s  ({1e6 * tp / evaluations:6.2f} us per evaluation)")
    print(f"  C right-hand side (.so): {tc:7.3f} s  ({1e6 * tc / evaluations:6.2f} us per evaluation)")
    print(f"  cost of the Python call: {1e6 * (tp - tc) / evaluations:.2f} us per evaluation, "
          f"{tp / tc:.0f} times slower; same end state: {yp == yc}")


if __name__ == "__main__":
    main()
