"""A progress bar on standard error: points done, rate and time left.

On a terminal the bar is redrawn in place; into a file or pipe a line is written every half
minute, so that short sweeps stay quiet and a log of a long one shows where it stands.
"""
import sys
import time


def duration(seconds):
    seconds = int(round(seconds))
    if seconds >= 3600:
        return f"{seconds // 3600}h{seconds % 3600 // 60:02d}m"
    if seconds >= 60:
        return f"{seconds // 60}m{seconds % 60:02d}s"
    return f"{seconds}s"


class Progress:
    WIDTH = 24

    def __init__(self, total, done=0, stream=None, enabled=None, label="sweep"):
        self.stream = stream or sys.stderr
        tty = hasattr(self.stream, "isatty") and self.stream.isatty()
        self.tty = tty
        self.enabled = tty if enabled is None else enabled
        self.interval = 0.2 if tty else 30.0
        self.total, self.done, self.resumed, self.label = total, done, done, label
        self.start = self.last = time.monotonic()
        self.shown = False

    def line(self, now):
        computed, elapsed = self.done - self.resumed, now - self.start
        filled = self.WIDTH * self.done // max(1, self.total)
        text = (f"{self.label} [{'#' * filled}{'.' * (self.WIDTH - filled)}] "
                f"{self.done}/{self.total} points")
        if computed and elapsed > 0:
            rate = computed / elapsed
            text += f", {rate:.3g} points/s, {duration((self.total - self.done) / rate)} left"
        return text

    def advance(self, n=1):
        self.done += n
        now = time.monotonic()
        if self.enabled and (now - self.last >= self.interval or self.done == self.total):
            self.last = now
            self._draw(self.line(now))

    def say(self, text):
        """A message of its own line, not run into the bar."""
        if self.tty and self.shown:
            self.stream.write("\r\033[K")
        self.stream.write(text + "\n")
        if self.tty and self.shown:
            self.stream.write(self.line(time.monotonic()))
        self.stream.flush()

    def finish(self):
        if self.tty and self.shown:
            self.stream.write("\n")
            self.stream.flush()

    def _draw(self, text):
        self.stream.write(("\r" + text + "\033[K") if self.tty else text + "\n")
        self.stream.flush()
        self.shown = True
