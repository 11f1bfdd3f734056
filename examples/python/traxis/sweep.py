"""Parameter maps: one task computed at every point of a grid over one or two parameters.

    from traxis import sweep
    grid = sweep.Grid(("a", sweep.linspace(0.5, 1.5, 21)), ("b", sweep.linspace(0.0, 0.2, 11)))
    task = sweep.Program("run_lyapunov", ["1", "unused"], inputs=["system.st", "param.lce"],
                         output="out.lce", columns=[None, "lambda1", "lambda2", "lambda3", "D"])
    result = sweep.run(task, grid, "map-ab", engine="processes")
    result.heatmap("lambda1")              # map-ab/lambda1.png

The engine is "sequential", "threads", "processes" (both on this machine's cores, workers of
them) or "dask" (a LocalCluster of workers processes, or the scheduler given).  The merged
table does not depend on the engine or the number of workers.  A rerun into the same directory
computes only the points without a result (failed points again, unless retry_failed=False).

From the shell, for batch jobs written by write_batch and for sweeps described earlier:

    python3 -m traxis.sweep point DIR (INDEX... | --chunk K --chunks N)
    python3 -m traxis.sweep run DIR [--engine E] [--workers N] [--scheduler ADDRESS|FILE]
    python3 -m traxis.sweep merge DIR [--heatmap COLUMN]
"""
import argparse
import os
import sys

from . import engines
from .engines import PACKAGE
from .grid import SEED_LIMIT, Grid, Point, linspace, point_seed
from .heatmap import heatmap
from .progress import Progress
from .store import TABLE, Store
from .tasks import (Library, Lyapunov, Model, PointError, Program, State, compute,
                    compute_all)

__all__ = ["run", "describe", "write_batch", "merge", "Result", "Grid", "Point", "linspace",
           "point_seed", "SEED_LIMIT", "Program", "Library", "Model", "Lyapunov", "State",
           "PointError", "PACKAGE"]


class Result:
    """What a run or a merge left: the table's path, the failed points as (Point, error) pairs,
    the number of points without a result, and how many points this run computed."""

    def __init__(self, store, grid, failed, missing, computed):
        self.directory, self.grid = store.directory, grid
        self.table = store.path(TABLE)
        self.failed, self.missing, self.computed = failed, missing, computed

    @property
    def complete(self):
        return not self.failed and not self.missing

    def heatmap(self, column, png=None):
        """The column over the grid as a PNG (by default DIR/<column>.png); None when no
        plotting program is installed."""
        png = png or os.path.join(self.directory, f"{column}.png")
        return heatmap(self.table, len(self.grid.axes), column, png)

    def __repr__(self):
        return (f"Result({self.table!r}, {len(self.failed)} failed, {self.missing} missing, "
                f"{self.computed} computed)")


def _todo(grid, results, retry_failed):
    return [p for p in grid if not (p.index in results
                                    and (results[p.index][0] or not retry_failed))]


def _prepare(task, grid, store, engine=None, workers=None):
    store.describe(task, grid)
    task.check(grid)
    if (engine == "threads" and isinstance(task, Library) and (workers or os.cpu_count()) > 1
            and not task.model.thread_local()):
        raise ValueError(f"the parameters {task.model.params} of {task.model.path} are shared "
                         "by all threads: declare them _Thread_local, or use processes")


def run(task, grid, directory, engine="sequential", workers=None, scheduler=None,
        progress=None, retry_failed=True, per_task=1):
    """Computes every point of grid not yet done in directory; returns a Result.  progress:
    None draws the bar on a terminal, True and False force it on or off.  per_task points go to
    a worker at once: more than one where a point costs little beside what the engine adds to
    each call (a Dask scheduler handles a few thousand calls a second)."""
    if int(per_task) < 1:
        raise ValueError(f"per_task must be at least 1, not {per_task}")
    per_task = int(per_task)
    store = Store(directory)
    _prepare(task, grid, store, engine, workers)
    results = store.results()
    todo = _todo(grid, results, retry_failed)
    bar = Progress(len(grid), len(grid) - len(todo), enabled=progress)
    computed = 0

    def record(job, outcomes, error):
        nonlocal computed
        points = job[1]
        for point, (ok, text) in zip(points, outcomes or [(False, error)] * len(points)):
            journal(point.index, ok, text)
            results[point.index] = (ok, text)
            computed += 1
            if not ok:
                bar.say(f"sweep: point {point.index} ({point.describe()}) failed: {text}")
            bar.advance()

    try:
        with store.recorder() as journal:
            if todo:
                with engines.executor(engine, workers, scheduler) as (ex, slots):
                    chunks = (todo[k:k + per_task] for k in range(0, len(todo), per_task))
                    engines.drive(ex, slots, compute_all,
                                  ((task, c, store.directory) for c in chunks), record)
    finally:
        bar.finish()  # and the table of what is done, even after an interruption
        failed, missing = store.write_table(task, grid, results)
    return Result(store, grid, failed, missing, computed)


def describe(task, grid, directory):
    """Writes the description of the sweep into directory, for `python3 -m traxis.sweep run`
    (which the same call into an existing directory checks instead)."""
    _prepare(task, grid, Store(directory))


def write_batch(task, grid, directory, scheduler="parallel", per_task=None, python=None,
                options=(), limit=None):
    """Writes the sweep's description and one command per task of per_task points: for
    scheduler "parallel" DIR/tasks.txt (run it with `parallel --jobs N < DIR/tasks.txt`), for
    "slurm" the job-array script DIR/array.sbatch (`sbatch DIR/array.sbatch`; options are more
    #SBATCH lines, limit caps the tasks running at once).  merge(DIR) collects the results.
    python: the interpreter on the nodes (default: this one).  Returns the file's path."""
    store = Store(directory)
    _prepare(task, grid, store)
    if scheduler == "parallel":
        return engines.write_parallel(store.directory, len(grid), per_task or 1, python)
    if scheduler == "slurm":
        return engines.write_slurm(store.directory, len(grid), per_task, python, options, limit)
    raise ValueError(f"unknown scheduler {scheduler!r}: parallel or slurm")


def merge(directory):
    """The table of what the batch jobs (or earlier runs) computed in directory."""
    store = Store(directory)
    task, grid = store.load()
    failed, missing = store.write_table(task, grid, store.results())
    return Result(store, grid, failed, missing, 0)


def compute_points(directory, indices, chunk=None, loaded=None):
    """Computes the points of a described sweep that have no result yet, recording them in a
    part file of their own (the per-point command of batch jobs).  chunk = (K, N) names the
    strided share K of N that indices are; loaded, the sweep's (task, grid) if already read."""
    store = Store(directory)
    task, grid = loaded or store.load()
    skip = None
    if chunk is not None:
        # The other shares of the same split cannot hold these points: a thousand array tasks
        # started again would otherwise each read every part on the shared filesystem.
        k, n = chunk
        skip = {f"{j}-of-{n}" for j in range(n) if j != k}
    done = store.results(skip)
    points = [grid.point(k) for k in indices if not done.get(k, (False,))[0]]
    if not points:
        return 0
    failures = 0
    name = f"{chunk[0]}-of-{chunk[1]}" if chunk is not None else f"{points[0].index}"
    with store.recorder(name) as record:
        for point in points:
            ok, text = compute(task, point, store.directory)
            record(point.index, ok, text)
            if not ok:
                failures += 1
                print(f"point {point.index} ({point.describe()}) failed: {text}", file=sys.stderr)
    return failures


def _summary(result):
    print(f"{result.table}: {len(result.grid)} points, {result.computed} computed now, "
          f"{len(result.failed)} failed, {result.missing} not computed")
    return 0 if result.complete else 1


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m traxis.sweep",
                                     description="Parameter maps: see traxis/sweep.py.")
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("point", help="compute points of a described sweep")
    p.add_argument("directory")
    p.add_argument("indices", nargs="*", type=int)
    p.add_argument("--chunk", type=int, help="with --chunks N: points K, K + N, K + 2N, ...")
    p.add_argument("--chunks", type=int, default=1)
    r = sub.add_parser("run", help="compute the missing points of a described sweep")
    r.add_argument("directory")
    r.add_argument("--engine", default="processes", choices=engines.ENGINES)
    r.add_argument("--workers", type=int)
    r.add_argument("--scheduler", help="Dask scheduler address or scheduler file")
    r.add_argument("--per-task", type=int, default=1, help="points per call of the engine")
    m = sub.add_parser("merge", help="write the table of what has been computed")
    m.add_argument("directory")
    for q in (r, m):
        q.add_argument("--heatmap", metavar="COLUMN", help="also draw DIR/COLUMN.png")
    args = parser.parse_args(argv)

    if args.command == "point":
        task, grid = Store(args.directory).load()
        indices, chunk = list(args.indices), None
        if args.chunk is not None:
            # Strided, so that every task gets points from all over the map: where the cost
            # of a point changes across the map, contiguous chunks would finish far apart.
            if args.indices or not 0 <= args.chunk < args.chunks:
                parser.error("--chunk K needs 0 <= K < --chunks and no point indices")
            chunk = (args.chunk, args.chunks)
            indices = range(args.chunk, len(grid), args.chunks)
        return 1 if compute_points(args.directory, [k for k in indices if k < len(grid)],
                                   chunk, (task, grid)) else 0
    if args.command == "run":
        task, grid = Store(args.directory).load()
        result = run(task, grid, args.directory, args.engine, args.workers, args.scheduler,
                     per_task=args.per_task)
    else:
        result = merge(args.directory)
    if args.heatmap:
        result.heatmap(args.heatmap)
    return _summary(result)


if __name__ == "__main__":
    sys.exit(main())
