/* The Lorenz system as a C right-hand side for Python: build it as a shared object,
 *     cc -O2 -shared -fPIC -o lorenz.so lorenz.c
 * and load it with traxis.c_function("./lorenz.so", "lorenz").  The parameters live in
 * lorenz_par, which Python reaches with ctypes: (c_double * 3).in_dll(so, "lorenz_par").
 * Each thread has its own copy, so that threads computing different parameters on handles of
 * their own do not disturb each other (ctypes finds the calling thread's copy). */
_Thread_local double lorenz_par[3] = {10.0, 28.0, 8.0 / 3.0}; /* sigma, rho, beta */

void lorenz(double t, double *y, double *f) {
    (void)t;
    f[0] = lorenz_par[0] * (y[1] - y[0]);
    f[1] = y[0] * (lorenz_par[1] - y[2]) - y[1];
    f[2] = y[0] * y[1] - lorenz_par[2] * y[2];
}

/* J[k][i] = df_k / dy_i */
void lorenz_jac(double t, double *y, double **J) {
    (void)t;
    J[0][0] = -lorenz_par[0];
    J[0][1] = lorenz_par[0];
    J[0][2] = 0.0;
    J[1][0] = lorenz_par[1] - y[2];
    J[1][1] = -1.0;
    J[1][2] = -y[0];
    J[2][0] = y[1];
    J[2][1] = y[0];
    J[2][2] = -lorenz_par[2];
}
