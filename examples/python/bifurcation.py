"""Bifurcation diagrams of equilibria from Python, with TXEquiCont and Python right-hand sides.

- FitzHugh-Nagumo, v' = v - v^3/3 - w + I, w' = eps (v + a - b w), continued in the current I:
  the rest state loses stability in a Hopf bifurcation and regains it in a second one (for
  a = 0.7, b = 0.8, eps = 0.08 at v = -+sqrt(1 - eps b), I = 0.3313 and 1.4187).
- The cusp x' = c + x - x^3 (with a decaying y' = -y beside it), continued in c: an S-shaped
  branch with two folds at c = -+2 / (3 sqrt 3), the middle part unstable.

    python3 bifurcation.py [out.png]

Draws both with matplotlib where it is installed (bifurcation.png by default); otherwise, and
always on standard output, lists the bifurcations found.
"""
import sys

import traxis


def fitzhugh_nagumo(t, y, p):
    current, a, b, eps = p
    v, w = y
    return [v - v ** 3 / 3.0 - w + current, eps * (v + a - b * w)]


def cusp(t, y, p):
    return [p[0] + y[0] - y[0] ** 3, -y[1]]


def branch(rhs, y, params, dc, steps):
    """The points of a continuation run of that many steps, in order, bifurcations included."""
    with traxis.System(rhs, order=len(y), y=y, params=params, rel_tol=1e-10) as s:
        return s.continue_equilibria(0, dc, max_steps=steps)


def draw(ax, points, title, xlabel, ylabel):
    # Consecutive points of equal stability form one line: solid stable, dashed unstable.
    run = []
    for p in [q for q in points if not q.biftype] + [None]:
        if run and (p is None or p.stable != run[-1].stable):
            ax.plot([q.c for q in run], [q.y[0] for q in run], "k-" if run[-1].stable else "k--",
                    linewidth=1.5)
            run = run[-1:]
        if p is not None:
            run.append(p)
    for p in points:
        if p.biftype:
            ax.plot(p.c, p.y[0], "o", markersize=7, label=f"{p.name} at {p.c:.4f}")
    ax.set_title(title)
    ax.set_xlabel(xlabel)
    ax.set_ylabel(ylabel)
    ax.legend(loc="best", fontsize=8)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "bifurcation.png"
    runs = [
        (branch(fitzhugh_nagumo, [-1.2, -0.62], [0.0, 0.7, 0.8, 0.08], 0.05, 90),
         "FitzHugh-Nagumo rest state", "current I", "v"),
        (branch(cusp, [-1.2, 0.0], [-1.0], 0.05, 100), "Cusp x' = c + x - x^3", "c", "x"),
    ]
    for points, title, xlabel, _ in runs:
        print(f"{title}: {len(points)} points")
        for p in points:
            if p.biftype:
                print(f"  {p.name:12s} {xlabel} = {p.c:.6f}  state = "
                      + " ".join(f"{v:.6f}" for v in p.y))
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no drawing")
        return
    fig, axes = plt.subplots(1, 2, figsize=(11, 4.5))
    for ax, (points, title, xlabel, ylabel) in zip(axes, runs):
        draw(ax, points, title, xlabel, ylabel)
    fig.tight_layout()
    fig.savefig(out, dpi=110)
    print(f"wrote {out}")


if __name__ == "__main__":
    main()
