"""The directory of a sweep: its description, the results as they come, the merged table.

    sweep.json     the task and the grid; a rerun must describe the same sweep
    results.txt    one line per computed point: index, "ok" or "failed", values or error
    parts/*.txt    the same lines from batch jobs started outside (one file per job)
    table.txt      the merged table in grid order, rewritten at the end of every run
    failures.txt   each failed point with its parameters and error
    points/<k>/    the working directory of point k (program tasks)

Lines are appended with a single write each, so an interruption loses at most the point that
was being computed; a line without its line end is ignored when the results are read.
"""
import glob
import json
import os

from .grid import Grid
from .tasks import task_from_dict

DESCRIPTION, JOURNAL, PARTS = "sweep.json", "results.txt", "parts"
TABLE, FAILURES = "table.txt", "failures.txt"


def _canonical(d):
    return json.dumps(d, sort_keys=True, indent=1)


class Store:
    def __init__(self, directory):
        self.directory = os.path.abspath(directory)

    def path(self, *names):
        return os.path.join(self.directory, *names)

    def describe(self, task, grid):
        """Writes the description, or checks that the one there is the same sweep."""
        text = _canonical({"task": task.to_dict(), "grid": grid.to_dict()})
        os.makedirs(self.directory, exist_ok=True)
        try:
            with open(self.path(DESCRIPTION)) as f:
                if f.read() != text:
                    raise ValueError(f"{self.directory} holds the results of another sweep: "
                                     "choose another directory or remove it")
            return
        except FileNotFoundError:
            pass
        _write_atomically(self.path(DESCRIPTION), text)

    def load(self):
        """The task and the grid of the sweep described here."""
        try:
            with open(self.path(DESCRIPTION)) as f:
                d = json.load(f)
        except FileNotFoundError:
            raise FileNotFoundError(f"{self.directory} holds no sweep ({DESCRIPTION})") from None
        return task_from_dict(d["task"]), Grid.from_dict(d["grid"])

    def results(self, skip=None):
        """index -> (ok, text) from the journal and the parts; a success stands over a failure
        of the same point, whichever came later.  Parts whose base name is in skip are not read.
        """
        found = {}
        parts = sorted(glob.glob(self.path(PARTS, "*.txt")))
        if skip:
            parts = [p for p in parts if os.path.basename(p)[:-len(".txt")] not in skip]
        for name in [self.path(JOURNAL)] + parts:
            try:
                with open(name) as f:
                    lines = f.read().split("\n")[:-1]  # the last piece has no line end
            except FileNotFoundError:
                continue
            for line in lines:
                fields = line.split("\t", 2)
                if len(fields) != 3 or fields[1] not in ("ok", "failed") or "\t" in fields[2]:
                    continue
                try:
                    index = int(fields[0])
                except ValueError:
                    continue
                ok = fields[1] == "ok"
                if ok or not found.get(index, (False,))[0]:
                    found[index] = (ok, fields[2])
        return found

    def recorder(self, name=None):
        """A Recorder appending to the journal, or to parts/<name>.txt."""
        if name is None:
            path = self.path(JOURNAL)
        else:
            os.makedirs(self.path(PARTS), exist_ok=True)
            path = self.path(PARTS, f"{name}.txt")
        return Recorder(path)

    def write_table(self, task, grid, results):
        """The merged table and the failure list; returns the points that failed, as
        (point, error) pairs, and how many have no result at all."""
        columns = task.names
        lines = ["# " + " ".join(list(grid.names) + columns)]
        rows, failed, missing = [], [], 0
        for point in grid:
            ok, text = results.get(point.index, (False, None))
            if ok and len(text.split()) != len(columns):
                ok, text = False, f"{len(text.split())} values for {len(columns)} columns"
            if not ok:
                if text is None:
                    missing += 1
                else:
                    failed.append((point, text))
                text = " ".join(["nan"] * len(columns))
            rows.append(" ".join([repr(v) for v in point.values] + [text]))
        if failed or missing:
            lines.append(f"# incomplete: {len(failed)} points failed ({FAILURES}), "
                         f"{missing} not computed")
        _write_atomically(self.path(TABLE), "\n".join(lines + rows) + "\n")
        _write_atomically(self.path(FAILURES), "".join(
            f"{p.index}\t{p.describe()}\t{error}\n" for p, error in failed))
        return failed, missing


class Recorder:
    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_APPEND | os.O_CREAT, 0o644)
        # A line cut short by an interruption gets a tab and its line end, which marks it as
        # unreadable instead of joining it to the next line.
        size = os.fstat(self.fd).st_size
        if size and os.pread(self.fd, 1, size - 1) != b"\n":
            os.write(self.fd, b"\t\n")

    def __call__(self, index, ok, text):
        line = f"{index}\t{'ok' if ok else 'failed'}\t{text}\n"
        os.write(self.fd, line.encode())

    def close(self):
        os.close(self.fd)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def _write_atomically(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)
