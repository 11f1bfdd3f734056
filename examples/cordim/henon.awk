# 20 000 points of the Henon map (a = 1.4, b = 0.3) as "x y" lines, after 1000 steps that settle
# onto the attractor.
BEGIN {
  x = 0.1; y = 0.1
  for (i = -1000; i < 20000; ++i) {
    xn = 1 - 1.4 * x * x + y; y = 0.3 * x; x = xn
    if (i >= 0) printf "%.9f %.9f\n", x, y
  }
}
