"""The largest Lyapunov exponent of the Lorenz system over rho x sigma, as a heat map.

    cc -O2 -shared -fPIC -o lorenz.so lorenz.c
    python3 lyapunov_map.py lorenz.so [engine] [points per side] [directory]

engine is sequential, threads (the default), processes or dask.  Run it again after an
interruption and it computes only the points still missing.
"""
import os
import sys

from traxis import sweep


def main():
    so = sys.argv[1]
    engine = sys.argv[2] if len(sys.argv) > 2 else "threads"
    side = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    directory = sys.argv[4] if len(sys.argv) > 4 else f"lorenz-map-{side}"
    model = sweep.Model(so, "lorenz", 3, params="lorenz_par", names=["sigma", "rho", "beta"],
                        jac="lorenz_jac")
    task = sweep.Library(model, [1.0, 1.0, 1.0],
                         sweep.Lyapunov(3, eps=1e-7, dt=0.1, transient=100, steps=1000),
                         rel_tol=1e-10)
    grid = sweep.Grid(("rho", sweep.linspace(10.0, 60.0, side)),
                      ("sigma", sweep.linspace(4.0, 20.0, side)))
    result = sweep.run(task, grid, directory, engine)
    print(result)
    png = result.heatmap("lambda1", os.path.join(directory, "lambda1.png"))
    if png:
        print(f"heat map: {png}")


if __name__ == "__main__":
    main()
