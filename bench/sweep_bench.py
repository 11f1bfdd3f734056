"""Parameter maps on this machine's cores and on Dask: the speed-up of a 2-D Lyapunov map against
the sequential engine, and what each engine adds to every point.

    sweep_bench.py LIBTX LORENZ_SO [points per side] [intervals per point]

The map is the Lorenz system over rho x sigma, three exponents by TXLyapCalc at every point (one
long C call with the interpreter's lock released, so threads run in parallel).  The overhead per
point is measured on points that do almost nothing (the state after 0.001 time units).  The
1-minute load average is printed with the figures: on a machine shared with other jobs the
speed-up means little when it is above ~0.5.
"""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                                "python"))


def load():
    return os.getloadavg()[0]


def local_cluster(workers):
    try:
        import distributed
    except ImportError:
        return None
    return distributed.LocalCluster(n_workers=workers, threads_per_worker=1,
                                    dashboard_address=None, silence_logs=40)


def timed(sweep, task, grid, work, engine, workers=None, scheduler=None, per_task=1):
    directory = tempfile.mkdtemp(dir=work)
    start = time.perf_counter()
    result = sweep.run(task, grid, directory, engine, workers=workers, scheduler=scheduler,
                       progress=False, per_task=per_task)
    elapsed = time.perf_counter() - start
    if not result.complete:
        raise SystemExit(f"sweep_bench: {engine}: {result}")
    with open(result.table) as f:
        return elapsed, f.read()


def program_task(sweep, program, work):
    example = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                           "lyapunov")
    lce = os.path.join(work, "param.lce")
    with open(os.path.join(example, "param.lce")) as f, open(lce, "w") as out:
        out.write(f.read().replace("trans_steps 100", "trans_steps 0")
                  .replace("lyap_steps 2000", "lyap_steps 1"))
    return sweep.Program(program, ["1", "unused"], inputs=[os.path.join(example, "system.st"), lce],
                         output="out.lce", columns=[None, "lambda1", "lambda2", "lambda3", "D"])


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]  # run.sh may pass benchmark flags
    os.environ["TRAXIS_LIBRARY"] = os.path.abspath(args[0])
    lorenz = os.path.abspath(args[1])
    side = int(args[2]) if len(args) > 2 else 10
    steps = int(args[3]) if len(args) > 3 else 10000
    from traxis import sweep
    cores = os.cpu_count() or 1
    model = sweep.Model(lorenz, "lorenz", 3, params="lorenz_par", names=["sigma", "rho", "beta"])
    lyapunov = sweep.Library(model, [1.0, 1.0, 1.0],
                             sweep.Lyapunov(3, eps=1e-7, dt=0.1, transient=100, steps=steps),
                             rel_tol=1e-10)
    grid = sweep.Grid(("rho", sweep.linspace(24.0, 44.0, side)),
                      ("sigma", sweep.linspace(8.0, 16.0, side)))
    with tempfile.TemporaryDirectory() as work:
        print(f"Lyapunov map {side} x {side} (Lorenz, {steps} intervals of 0.1 per point), "
              f"{cores} cores, load {load():.2f} before")
        sequential, reference = timed(sweep, lyapunov, grid, work, "sequential")
        per_point = sequential / len(grid)
        print(f"  {'sequential':<22} {sequential:7.2f} s   {1e3 * per_point:7.1f} ms per point")
        cluster = None
        for engine in ("threads", "processes", "dask"):
            extra = {}
            if engine == "dask":  # started last: processes fork faster without its threads
                start = time.perf_counter()
                cluster = local_cluster(cores)
                if cluster is None:
                    print("  (no distributed package: the Dask engine is not measured)")
                    break
                print(f"  (a LocalCluster of {cores} workers starts in "
                      f"{time.perf_counter() - start:.2f} s, not counted below)")
                extra = {"scheduler": cluster}
            elapsed, table = timed(sweep, lyapunov, grid, work, engine, cores, **extra)
            same = "same table" if table == reference else "TABLE DIFFERS"
            print(f"  {engine + f' ({cores} workers)':<22} {elapsed:7.2f} s   "
                  f"speed-up {sequential / elapsed:4.2f}   {same}")
        print(f"  load {load():.2f} after")

        tiny = sweep.Library(model, [1.0, 1.0, 1.0], sweep.State(0.001))
        n = 1000
        small = sweep.Grid(("rho", sweep.linspace(20.0, 40.0, n)))
        print(f"Time per point of {n} points of a few microseconds each, by points per call")
        runs = [("sequential", {}, 1), ("threads", {}, 1), ("processes", {}, 1),
                ("processes", {}, 50)]
        if cluster:
            runs += [("dask", {"scheduler": cluster}, 1), ("dask", {"scheduler": cluster}, 50)]
        for engine, extra, per_task in runs:
            workers = None if engine == "sequential" else cores
            elapsed, _ = timed(sweep, tiny, small, work, engine, workers, per_task=per_task,
                               **extra)
            print(f"  {engine:<12} {per_task:3d} per call {1e3 * elapsed / n:7.3f} ms per point")
        if cluster is not None:
            cluster.close()
        program = os.environ.get("TRAXIS_RUN_LYAPUNOV")
        if program:
            print("Time per point of 200 runs of run_lyapunov of one interval each "
                  "(start-up, files, process)")
            task = program_task(sweep, program, work)
            grid = sweep.Grid(("a", sweep.linspace(0.5, 1.5, 200)))
            elapsed, _ = timed(sweep, task, grid, work, "sequential")
            print(f"  {'sequential':<12} {1e3 * elapsed / len(grid):7.3f} ms per point")


if __name__ == "__main__":
    main()
