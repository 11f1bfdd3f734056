"""Parameter maps of examples/python/traxis/sweep.py: every engine gives the sequential table to
the byte, a failed point does not stop the others, an interrupted sweep resumes where it stopped.

Needs TRAXIS_LIBRARY (libtx as a shared object), TRAXIS_LORENZ_SO (examples/python/lorenz.c
compiled) and TRAXIS_RUN_LYAPUNOV (the program); CTest sets all three.  The Dask engine is tested
where the distributed package is installed.
"""
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python"))
from traxis import sweep, tasks  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "examples", "lyapunov")
RUN_LYAPUNOV = os.environ.get("TRAXIS_RUN_LYAPUNOV")
LORENZ_SO = os.environ.get("TRAXIS_LORENZ_SO")
warnings.filterwarnings("ignore", category=DeprecationWarning)  # from Dask's tornado
try:
    import distributed
except ImportError:
    distributed = None
NO_DASK = f"the Dask engine is not tested: no distributed package for {sys.executable}"

# Short runs: the tests compare engines, not exponents.
PARAM_LCE = """eps 1e-6
lyap_dt 1
trans_steps 5
lyap_steps 30
n_exponents 3
param_index 0
sweep_end 1
sweep_step 0.1
dimension 1
threshold 0.005
"""


def program_task(work, scratch=None):
    with open(os.path.join(work, "param.lce"), "w") as f:
        f.write(PARAM_LCE)
    inputs = [os.path.join(EXAMPLE, "system.st"), os.path.join(work, "param.lce")]
    return sweep.Program(RUN_LYAPUNOV, ["1", "unused"], inputs=inputs, scratch=scratch,
                         output="out.lce", columns=["a_out", "lambda1", "lambda2", "lambda3", "D"])


def lorenz_task(steps=40, method="variational"):
    model = sweep.Model(LORENZ_SO, "lorenz", 3, params="lorenz_par",
                        names=["sigma", "rho", "beta"], jac="lorenz_jac")
    return sweep.Library(model, [1.0, 1.0, 1.0],
                         sweep.Lyapunov(3, eps=1e-7, dt=0.5, transient=10, steps=steps,
                                        method=method))


def read(path):
    with open(path) as f:
        return f.read()


@unittest.skipUnless(RUN_LYAPUNOV and LORENZ_SO, "TRAXIS_RUN_LYAPUNOV or TRAXIS_LORENZ_SO not set")
class Engines(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="sweep-test-")
        cls.cluster = None
        if distributed is not None:
            cls.cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1,
                                                   dashboard_address=None,
                                                   silence_logs=40)

    @classmethod
    def tearDownClass(cls):
        if cls.cluster is not None:
            cls.cluster.close()
        shutil.rmtree(cls.work)

    def engines(self, task, grid, name, engines):
        """The table of every engine, which must be the sequential one to the byte."""
        tables = {}
        for engine in ("sequential",) + engines:
            # processes take the points three at a time: chunks of 3 and 1
            result = sweep.run(task, grid, os.path.join(self.work, f"{name}-{engine}"), engine,
                               workers=2, scheduler=self.cluster if engine == "dask" else None,
                               per_task=3 if engine == "processes" else 1)
            self.assertTrue(result.complete, result)
            self.assertEqual(result.computed, len(grid))
            tables[engine] = read(result.table)
        for engine in engines:
            self.assertEqual(tables[engine], tables["sequential"], engine)
        if "dask" not in engines:
            print(NO_DASK, file=sys.stderr)
        return result, tables["sequential"]

    def available(self, *engines):
        return tuple(e for e in engines if e != "dask" or self.cluster is not None)

    def test_program_map_is_the_same_on_every_engine(self):
        grid = sweep.Grid(("a", [0.6, 0.9]), ("b", [0.1, 0.2]))
        result, table = self.engines(program_task(self.work), grid, "program",
                                     self.available("processes", "threads", "dask"))
        rows = [line.split() for line in table.splitlines()]
        self.assertEqual(rows[0], ["#", "a", "b", "a_out", "lambda1", "lambda2", "lambda3", "D"])
        # the grid's values reached the program, which reports a with "%f"
        self.assertEqual([(r[0], r[1], r[2]) for r in rows[1:]],
                         [("0.6", "0.1", "0.600000"), ("0.6", "0.2", "0.600000"),
                          ("0.9", "0.1", "0.900000"), ("0.9", "0.2", "0.900000")])
        # each point got its own seed from its values, whatever the order of computation
        with open(os.path.join(result.directory, "points", "3", "system.st")) as f:
            self.assertIn(f"&msc 1 0 {sweep.point_seed(0, (0.9, 0.2))}", f.read())
        png = result.heatmap("lambda1")
        if png:
            with open(png, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

    def test_library_map_is_the_same_on_every_engine(self):
        # the threads run their handles at once: each has the model's parameters of its thread
        grid = sweep.Grid(("rho", [28.0, 35.0]), ("sigma", [10.0, 12.0]))
        _, table = self.engines(lorenz_task(), grid, "library",
                                self.available("threads", "processes", "dask"))
        # Liouville: the exponents of the variational equations sum to the trace
        # -(sigma + 1 + beta), in bits, whatever the length of the run
        for line in table.splitlines()[1:]:
            rho, sigma, *exponents = map(float, line.split())
            self.assertAlmostEqual(sum(exponents), -(sigma + 1.0 + 8.0 / 3.0) / math.log(2.0),
                                   delta=1e-5)

    def test_threads_refuse_parameters_shared_by_all_threads(self):
        source = os.path.join(self.work, "shared.c")
        with open(source, "w") as f:
            f.write("double par[1];\n"
                    "void rhs(double t, double *y, double *f) { f[0] = -par[0] * y[0]; }\n")
        so = os.path.join(self.work, "shared.so")
        if subprocess.run(["cc", "-shared", "-fPIC", "-o", so, source]).returncode != 0:
            self.skipTest("no C compiler")
        task = sweep.Library(sweep.Model(so, "rhs", 1, params="par", names=["k"]), [1.0],
                             sweep.State(1.0))
        grid = sweep.Grid(("k", [1.0, 2.0]))
        with self.assertRaisesRegex(ValueError, "_Thread_local"):
            sweep.run(task, grid, os.path.join(self.work, "shared"), "threads", workers=2)
        result = sweep.run(task, grid, os.path.join(self.work, "shared"), "processes", workers=2)
        values = [float(line.split()[1]) for line in read(result.table).splitlines()[1:]]
        for k, y in zip((1.0, 2.0), values):
            self.assertAlmostEqual(y, math.exp(-k), delta=1e-6)


class Files(unittest.TestCase):
    def test_state_file_edits_touch_only_the_named_records(self):
        text = ("model a with b\n&var a 0.5 -3 0\n&par a 0.6 0\n&par b 0.1 0\n"
                "&pph 0 0 1 -3 3 -3 3\n&num t_end 100\n&msc 1 0 4711\n")
        edited = tasks.edit_state_file(text, {"b": 0.25, "t_end": 50.0}, seed=17)
        self.assertEqual(edited, text.replace("b 0.1", "b 0.25").replace("100", "50.0")
                         .replace("4711", "17"))
        # a name is found only where a record starts, and must be found
        with self.assertRaisesRegex(KeyError, "with"):
            tasks.edit_state_file(text, {"with": 1.0})
        self.assertEqual(tasks.edit_pair_file("eps 1e-6\nlyap_dt 1\n", {"lyap_dt": 0.5}),
                         "eps 1e-6\nlyap_dt 0.5\n")
        self.assertEqual(tasks.numbers(" a=0.6\n LCEs=  0.1  -nan \n D_lyap=2 \n"),
                         ["0.6", "0.1", "-nan", "2"])


@unittest.skipUnless(LORENZ_SO, "TRAXIS_LORENZ_SO not set")
class Analyses(unittest.TestCase):
    def test_variational_spectrum_of_lorenz_from_its_jacobian(self):
        task = sweep.Library(lorenz_task().model, [1.0, 1.0, 1.0],
                             sweep.Lyapunov(3, dt=0.1, transient=200, steps=5000,
                                            method="variational"), rel_tol=1e-10)
        point = sweep.Grid(("rho", [28.0])).point(0)
        exponents = [float(v) * math.log(2.0) for v in task.run(point, None)]
        # Sprott's figures 0.9056, 0, -14.5723
        for got, published in zip(exponents, (0.9056, 0.0, -14.5723)):
            self.assertAlmostEqual(got, published, delta=0.01)


@unittest.skipUnless(RUN_LYAPUNOV and LORENZ_SO, "TRAXIS_RUN_LYAPUNOV or TRAXIS_LORENZ_SO not set")
class Failures(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="sweep-test-")
        self.addCleanup(shutil.rmtree, self.work)

    def test_a_refused_setting_fails_its_point_only_and_is_retried(self):
        scratch = os.path.join(self.work, "scratch")
        task = program_task(self.work, scratch)
        grid = sweep.Grid(("param.lce:lyap_dt", [0.5, 0.0, 1.0]))
        out = os.path.join(self.work, "map")
        result = sweep.run(task, grid, out, "threads", workers=2)
        self.assertEqual(len(result.failed), 1)
        point, error = result.failed[0]
        self.assertEqual(point.values, (0.0,))
        self.assertIn("run_lyapunov exited with status 1", error)
        self.assertIn("lyap_dt", error)
        lines = read(result.table).splitlines()
        self.assertTrue(lines[1].startswith("# incomplete: 1 points failed"))
        self.assertEqual(lines[3].split()[1:], ["nan"] * 5)
        for line in (lines[2], lines[4]):
            self.assertTrue(all(math.isfinite(float(v)) for v in line.split()))
        self.assertIn("param.lce:lyap_dt = 0.0", read(os.path.join(out, "failures.txt")))
        self.assertEqual(os.listdir(scratch), [])  # the points ran there and left nothing
        again = sweep.run(task, grid, out, "sequential")
        self.assertEqual((again.computed, len(again.failed)), (1, 1))
        # a directory holds one sweep: another grid is refused, not mixed in
        with self.assertRaisesRegex(ValueError, "another sweep"):
            sweep.run(task, sweep.Grid(("param.lce:lyap_dt", [0.5])), out)

    def test_library_failures_and_a_hanging_program_are_reported(self):
        # a NaN parameter makes the library refuse the integration
        result = sweep.run(lorenz_task(), sweep.Grid(("rho", [28.0, math.nan, 35.0])),
                           os.path.join(self.work, "library"))
        self.assertEqual([(p.index, e) for p, e in result.failed],
                         [(1, "TraxisError: TXVarIntegrate: Step size too small (code 31)")])
        png = result.heatmap("lambda1")  # a curve with a gap
        if png:
            with open(png, "rb") as f:
                self.assertEqual(f.read(4), b"\x89PNG")
        # so stiff at a = 1e30 that the program would crawl for hours: stopped and reported
        task = program_task(self.work)
        task.timeout = 0.5
        result = sweep.run(task, sweep.Grid(("a", [1e30])), os.path.join(self.work, "hang"))
        self.assertEqual(result.failed[0][1], "run_lyapunov did not finish within 0.5 s")

    def test_an_interrupted_sweep_computes_only_what_is_missing(self):
        task, grid = lorenz_task(steps=400), sweep.Grid(("rho", sweep.linspace(24.0, 34.0, 6)))
        reference = sweep.run(task, grid, os.path.join(self.work, "reference"))
        out = os.path.join(self.work, "map")
        sweep.describe(task, grid, out)
        journal = os.path.join(out, "results.txt")
        run = subprocess.Popen([sys.executable, "-m", "traxis.sweep", "run", out, "--engine",
                                "sequential"], env=dict(os.environ, PYTHONPATH=sweep.PACKAGE),
                               stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not (os.path.exists(journal) and read(journal).count("\n") >= 2):
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.005)
        run.send_signal(signal.SIGKILL)
        run.wait()
        done = read(journal).count("\n")
        self.assertLess(done, len(grid))
        with open(journal, "a") as f:  # a line cut short by the kill
            f.write(f"{len(grid) - 1}\tok\t0.5 0.")
        result = sweep.run(task, grid, out)
        self.assertEqual(result.computed, len(grid) - done)
        self.assertEqual(read(result.table), read(reference.table))

    def test_batch_scripts_compute_every_point_and_merge_to_the_same_table(self):
        task = program_task(self.work)
        grid = sweep.Grid(("a", [0.6, 0.9]), ("b", [0.1, 0.2, 0.3]))
        reference = read(sweep.run(task, grid, os.path.join(self.work, "reference")).table)
        tasks = sweep.write_batch(task, grid, os.path.join(self.work, "parallel"), per_task=4)
        for line in read(tasks).splitlines():  # as GNU parallel runs them
            subprocess.run(["bash", "-c", line], check=True)
        script = sweep.write_batch(task, grid, os.path.join(self.work, "slurm"), "slurm",
                                   per_task=2)
        self.assertIn("#SBATCH --array=0-2", read(script))
        for k in range(3):  # as the array's tasks
            subprocess.run(["bash", script], check=True,
                           env=dict(os.environ, SLURM_ARRAY_TASK_ID=str(k)))
        for name in ("parallel", "slurm"):
            merged = sweep.merge(os.path.join(self.work, name))
            self.assertTrue(merged.complete)
            self.assertEqual(read(merged.table), reference, name)
        # Submitted again: a share recomputes its own missing points only, and a split into
        # other shares sees the points computed under the first one.
        parts = os.path.join(self.work, "slurm", "parts")
        os.remove(os.path.join(parts, "1-of-3.txt"))
        for k in range(3):
            subprocess.run(["bash", script], check=True,
                           env=dict(os.environ, SLURM_ARRAY_TASK_ID=str(k)))
        self.assertEqual(sorted(os.listdir(parts)), ["0-of-3.txt", "1-of-3.txt", "2-of-3.txt"])
        self.assertEqual(len(read(os.path.join(parts, "1-of-3.txt")).splitlines()), 2)
        script = sweep.write_batch(task, grid, os.path.join(self.work, "slurm"), "slurm",
                                   per_task=3)
        for k in range(2):
            subprocess.run(["bash", script], check=True,
                           env=dict(os.environ, SLURM_ARRAY_TASK_ID=str(k)))
        self.assertEqual(len(os.listdir(parts)), 3)
        self.assertEqual(read(sweep.merge(os.path.join(self.work, "slurm")).table), reference)


if __name__ == "__main__":
    unittest.main()
