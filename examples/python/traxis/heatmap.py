"""A picture of one column of a merged table: a heat map over two parameters, a curve over one.

matplotlib draws it where it is installed, else gnuplot; with neither, the caller is told how
to plot the table.
"""
import math
import os
import shutil
import subprocess


def read_table(path):
    """(column names, rows of floats) of a merged table."""
    with open(path) as f:
        lines = f.read().splitlines()
    names = lines[0][2:].split()
    rows = [[float(v) for v in line.split()] for line in lines if not line.startswith("#")]
    return names, rows


def heatmap(table, axes, column, png):
    """Draws column of the table over its first one or two columns (the grid's axes) into png;
    returns png, or None after saying why nothing was drawn."""
    names, rows = read_table(table)
    if column not in names[axes:]:
        raise ValueError(f"no column {column!r} in {table}: {' '.join(names[axes:])}")
    k = names.index(column)
    try:
        _matplotlib(names, rows, axes, k, png)
        return png
    except ImportError:
        pass
    if shutil.which("gnuplot"):
        _gnuplot(table, names, axes, k, png)
        return png
    print(f"neither matplotlib nor gnuplot is installed: no picture; plot column {k + 1} of "
          f"{table} over {'columns 1 and 2' if axes == 2 else 'column 1'}")
    return None


def _matplotlib(names, rows, axes, k, png):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7, 5.5) if axes == 2 else (7, 4))
    if axes == 1:
        ax.plot([r[0] for r in rows], [r[k] for r in rows], ".-")
        ax.set_xlabel(names[0])
        ax.set_ylabel(names[k])
    else:
        xs = sorted({r[0] for r in rows})
        ys = sorted({r[1] for r in rows})
        grid = [[math.nan] * len(xs) for _ in ys]
        column_of = {x: i for i, x in enumerate(xs)}
        row_of = {y: i for i, y in enumerate(ys)}
        for r in rows:
            grid[row_of[r[1]]][column_of[r[0]]] = r[k]
        mesh = ax.pcolormesh(xs, ys, grid, shading="nearest", cmap="viridis")
        fig.colorbar(mesh, ax=ax, label=names[k])
        ax.set_xlabel(names[0])
        ax.set_ylabel(names[1])
    fig.tight_layout()
    fig.savefig(png, dpi=100)
    plt.close(fig)


def _gnuplot(table, names, axes, k, png):
    quoted = "'" + os.path.abspath(table).replace("'", "''") + "'"
    out = "'" + os.path.abspath(png).replace("'", "''") + "'"
    script = ["set terminal png size 800,600", f"set output {out}",
              f"set xlabel '{names[0]}'"]
    if axes == 1:
        script += [f"set ylabel '{names[k]}'",
                   f"plot {quoted} using 1:{k + 1} with linespoints notitle"]
    else:
        script += [f"set ylabel '{names[1]}'", f"set cblabel '{names[k]}'", "set view map",
                   f"plot {quoted} using 1:2:{k + 1} with image notitle"]
    subprocess.run(["gnuplot"], input="\n".join(script) + "\n", text=True, check=True)
