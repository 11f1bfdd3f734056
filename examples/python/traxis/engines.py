"""Where the points of a sweep are computed.

Every engine is a concurrent.futures executor (Dask's through Client.get_executor), so one loop
drives them all: it keeps a few points per worker in flight and records each result as it
arrives.  For schedulers without Dask, write_batch writes the same per-point command as a GNU
parallel input or a Slurm job-array script.
"""
import concurrent.futures as cf
import contextlib
import logging
import math
import multiprocessing
import os
import shlex
import sys
import threading

ENGINES = ("sequential", "threads", "processes", "dask")
PACKAGE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))  # where traxis is found


class Inline(cf.Executor):
    """Runs each call at submission: the sequential engine."""

    def submit(self, fn, *args, **kwargs):
        future = cf.Future()
        try:
            future.set_result(fn(*args, **kwargs))
        except Exception as e:  # noqa: B902 - handed to the caller through the future
            future.set_exception(e)
        return future


def _dask_client(scheduler, workers):
    """(client, what to close): a LocalCluster of `workers` processes for scheduler None, else
    the scheduler at an address, in a scheduler file, or a Cluster or Client given."""
    try:
        from distributed import Client, LocalCluster
    except ImportError:
        raise RuntimeError("the Dask engine needs the distributed package "
                           "(Debian: apt-get install python3-distributed)") from None
    if scheduler is None:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                               dashboard_address=None, silence_logs=logging.ERROR)
        client = Client(cluster)
        return client, [client, cluster]
    if isinstance(scheduler, str):
        if scheduler.endswith(".json") and os.path.exists(scheduler):
            client = Client(scheduler_file=scheduler)
        else:
            client = Client(scheduler)
        return client, [client]
    if isinstance(scheduler, Client):
        return scheduler, []
    client = Client(scheduler)  # a Cluster
    return client, [client]


@contextlib.contextmanager
def executor(engine, workers=None, scheduler=None):
    """(executor, number of points it computes at once) for the engine."""
    if engine not in ENGINES:
        raise ValueError(f"unknown engine {engine!r}: one of {', '.join(ENGINES)}")
    workers = int(workers or os.cpu_count() or 1)
    closing = []
    if engine == "sequential":
        ex, slots = Inline(), 1
    elif engine == "threads":
        ex, slots = cf.ThreadPoolExecutor(workers), workers
    elif engine == "processes":
        # A fork of a process that runs threads (a Dask client, say) may deadlock in the child;
        # a fork server avoids that but needs the main script importable (not so from stdin).
        method = "fork" if threading.active_count() == 1 else "forkserver"
        ex = cf.ProcessPoolExecutor(workers, mp_context=multiprocessing.get_context(method))
        slots = workers
    else:
        client, closing = _dask_client(scheduler, workers)
        ex = client.get_executor(pure=False)
        slots = max(1, sum(client.nthreads().values()))
    try:
        yield ex, slots
    except BaseException:
        try:
            ex.shutdown(wait=False, cancel_futures=True)
        except TypeError:
            ex.shutdown(wait=False)  # Dask's, which cancels what is left
        raise
    else:
        ex.shutdown(wait=True)
    finally:
        for thing in closing:
            thing.close()


def drive(ex, slots, fn, jobs, on_result, depth=2):
    """Calls fn(*job) for every job on the executor, at most depth * slots at a time, and
    on_result(job, value, None) as each returns, or on_result(job, None, error text) when the
    call raised (a Dask worker that died on it, say).  A broken process pool ends the loop with
    BrokenExecutor: which job killed the worker is not known."""
    jobs = iter(jobs)
    pending = {}

    def fill():
        while len(pending) < depth * slots:
            job = next(jobs, None)
            if job is None:
                return
            pending[ex.submit(fn, *job)] = job

    fill()
    while pending:
        done, _ = cf.wait(pending, return_when=cf.FIRST_COMPLETED)
        for future in done:
            job = pending.pop(future)
            try:
                value = future.result()
            except cf.BrokenExecutor:
                raise
            except Exception as e:  # noqa: B902 - the job's result
                on_result(job, None, f"{type(e).__name__}: {e}".replace("\n", " / "))
            else:
                on_result(job, value, None)
        fill()


# ---- batch scripts for schedulers without Dask ----

SLURM_MAX_ARRAY = 1000  # Slurm's default MaxArraySize is 1001


def _point_command(directory, python):
    """The per-point command as a shell line, finding this package and the library."""
    env = [f"PYTHONPATH={shlex.quote(PACKAGE)}"]
    if os.environ.get("TRAXIS_LIBRARY"):
        env.append(f"TRAXIS_LIBRARY={shlex.quote(os.path.abspath(os.environ['TRAXIS_LIBRARY']))}")
    return " ".join(env + [shlex.quote(python or sys.executable), "-m", "traxis.sweep", "point",
                           shlex.quote(directory)])


def write_parallel(directory, size, per_task=1, python=None):
    """DIR/tasks.txt: one command line per task of per_task points, for
    `parallel --jobs N < DIR/tasks.txt`; returns its path."""
    command = _point_command(directory, python)
    tasks = math.ceil(size / per_task)
    path = os.path.join(directory, "tasks.txt")
    with open(path, "w") as f:
        for chunk in range(tasks):
            f.write(f"{command} --chunk {chunk} --chunks {tasks}\n")
    return path


def write_slurm(directory, size, per_task=None, python=None, options=(), limit=None):
    """DIR/array.sbatch: a job array with one task per per_task points (by default as few as
    keeps the array within Slurm's default size limit); options are further #SBATCH lines
    ("--time=01:00:00"), limit caps the tasks running at once.  Returns its path."""
    per_task = per_task or math.ceil(size / SLURM_MAX_ARRAY)
    tasks = math.ceil(size / per_task)
    logs = os.path.join(directory, "logs")
    os.makedirs(logs, exist_ok=True)
    lines = ["#!/bin/bash", "#SBATCH --job-name=traxis-sweep",
             f"#SBATCH --array=0-{tasks - 1}" + (f"%{limit}" if limit else ""),
             "#SBATCH --ntasks=1", "#SBATCH --cpus-per-task=1",
             f"#SBATCH --output={logs}/%a.out"]
    lines += [f"#SBATCH {o}" for o in options]
    lines += [f"# {size} points, {per_task} per task; afterwards merge them with",
              f"#   python3 -m traxis.sweep merge {shlex.quote(directory)}",
              "set -eu",
              f"{_point_command(directory, python)} --chunk \"$SLURM_ARRAY_TASK_ID\" "
              f"--chunks {tasks}"]
    path = os.path.join(directory, "array.sbatch")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    os.chmod(path, 0o755)
    return path
