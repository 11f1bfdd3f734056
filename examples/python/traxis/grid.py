"""Grids of one or two parameters, and the seed of each point.

A point's seed comes from its parameter values and the grid's seed alone, so a map gives the same
numbers whichever engine computes it, in whatever order, and a finer grid through the same values
repeats them.
"""
import hashlib
from collections import namedtuple

# The programs' random generator takes seeds of magnitude up to this; larger ones wrap badly.
SEED_LIMIT = 161803398


class Point(namedtuple("Point", "index values seed names")):
    """One point of a grid: its index in grid order, its parameter values and its seed."""

    __slots__ = ()

    @property
    def params(self):
        return dict(zip(self.names, self.values))

    def describe(self):
        return ", ".join(f"{n} = {v!r}" for n, v in zip(self.names, self.values))


def point_seed(seed, values):
    """A seed in 1 ... SEED_LIMIT from the grid's seed and the point's values."""
    text = " ".join([str(int(seed))] + [repr(float(v)) for v in values])
    digest = hashlib.sha256(text.encode()).digest()
    return 1 + int.from_bytes(digest[:8], "little") % SEED_LIMIT


def linspace(first, last, n):
    """n values from first to last inclusive, rounded to 12 digits so that decimal steps stay
    decimal (0.15, not 0.15000000000000002) in the files and tables."""
    n = int(n)
    if n < 1:
        raise ValueError("linspace needs at least one value")
    if n == 1:
        return [float(first)]
    return [float(f"{first + (last - first) * k / (n - 1):.12g}") for k in range(n)]


class Grid:
    """The points of one or two parameter axes, each axis a (name, values) pair; the points run
    through the last axis fastest (row-major), which is the order of the merged table."""

    def __init__(self, *axes, seed=0):
        if not 1 <= len(axes) <= 2:
            raise ValueError("a grid has one or two axes")
        self.axes = []
        for axis in axes:
            name, values = axis
            values = [float(v) for v in values]
            if not values:
                raise ValueError(f"axis {name!r} has no values")
            self.axes.append((str(name), values))
        if len(self.axes) == 2 and self.axes[0][0] == self.axes[1][0]:
            raise ValueError(f"both axes are {self.axes[0][0]!r}")
        self.seed = int(seed)

    @property
    def names(self):
        return tuple(name for name, _ in self.axes)

    @property
    def shape(self):
        return tuple(len(values) for _, values in self.axes)

    def __len__(self):
        size = 1
        for n in self.shape:
            size *= n
        return size

    def point(self, index):
        if not 0 <= index < len(self):
            raise IndexError(f"no point {index} in a grid of {len(self)}")
        if len(self.axes) == 1:
            values = (self.axes[0][1][index],)
        else:
            i, j = divmod(index, len(self.axes[1][1]))
            values = (self.axes[0][1][i], self.axes[1][1][j])
        return Point(index, values, point_seed(self.seed, values), self.names)

    def __iter__(self):
        return (self.point(k) for k in range(len(self)))

    def to_dict(self):
        return {"axes": [[name, values] for name, values in self.axes], "seed": self.seed}

    @classmethod
    def from_dict(cls, d):
        return cls(*d["axes"], seed=d["seed"])
