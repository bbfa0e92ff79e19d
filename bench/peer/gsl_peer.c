/* The default sweep (Umax/Uy from 0.1 to 10.0 by 0.1, Complementary loop
 * integrals, n = 3 unless given as the first argument) in exact mathematics,
 * as an engineer would write it with GSL: gsl_sf_hyperg_2F1 for every
 * F(1, b; 1 + b; t), with Pfaff's transformation below -1 where GSL's series
 * needs |t| < 1, and Brent's root solver for Za to a bracket of 1e-12.
 * Prints the 101 rows as quorix-cli sweep does (TAB-separated, CR LF), so
 * the two programs can be timed side by side as whole processes. */
#include <gsl/gsl_errno.h>
#include <gsl/gsl_roots.h>
#include <gsl/gsl_sf_hyperg.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

static const double kZaUpperBound = 0.999999999999;

/* F(1, b; 1 + b; t); below -1, F(1, b; 1 + b; t) = F(1, 1; 1 + b; t/(t - 1))/(1 - t). */
static double PeerF(double b, double t) {
  if (t < -1.0) return gsl_sf_hyperg_2F1(1.0, 1.0, 1.0 + b, t / (t - 1.0)) / (1.0 - t);
  return gsl_sf_hyperg_2F1(1.0, b, 1.0 + b, t);
}

struct Parameters {
  double n, w, u;
};

static double Amplitude(double x, const struct Parameters* p) {
  const double b = 1.0 / p->n;
  const double xn = pow(x, p->n);
  return 0.5 * x * (PeerF(b, p->w * xn) + PeerF(b, xn));
}

static double Residual(double x, void* parameters) {
  const struct Parameters* p = parameters;
  return Amplitude(x, p) - p->u;
}

int main(int argc, char** argv) {
  const double n = argc > 1 ? strtod(argv[1], NULL) : 3.0;
  const double beta = 0.1, gamma = 0.9, alpha = 0.10, fy = 2.86, uy = 0.111;
  const double from = 0.1, to = 10.0, step = 0.1;
  gsl_set_error_handler_off();
  gsl_root_fsolver* solver = gsl_root_fsolver_alloc(gsl_root_fsolver_brent);
  printf("Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE\r\n");
  const int last = (int)nearbyint((to - from) / step);
  for (int i = 0; i <= last; ++i) {
    struct Parameters p = {n, beta - gamma, step * i + from};
    double za = 1.0;
    if (p.u <= Amplitude(kZaUpperBound, &p)) {
      gsl_function f = {&Residual, &p};
      gsl_root_fsolver_set(solver, &f, 0.0, kZaUpperBound);
      int status = GSL_CONTINUE;
      for (int k = 0; k < 100 && status == GSL_CONTINUE; ++k) {
        gsl_root_fsolver_iterate(solver);
        status = gsl_root_test_interval(gsl_root_fsolver_x_lower(solver), gsl_root_fsolver_x_upper(solver), 1e-12, 0.0);
      }
      za = gsl_root_fsolver_root(solver);
    }
    const double zc = za == 1.0 ? kZaUpperBound : za;
    const double b1 = 1.0 / n, b2 = 2.0 / n, xn = pow(zc, n);
    const double fha = (1.0 - alpha) * fy * za, fela = alpha * fy * p.u;
    const double kcd = (0.5 * zc * PeerF(b2, p.w * xn) + PeerF(b1, p.w * xn)) * zc;
    const double kda = (PeerF(b1, xn) - 0.5 * zc * PeerF(b2, xn)) * zc;
    const double deOverFhUy = (2.0 * p.u - kcd - kda) * 2.0;
    const double deOverFyUy = (1.0 - alpha) * deOverFhUy;
    printf("%.2f\t%.9f\t%.9f\t%.9f\t%.9f\t%.9f\t%.9f\t%.9f\t%.9f\t%.9f\r\n", p.u, za, fha, fela, fha + fela, kcd, kda,
           deOverFyUy, deOverFhUy, deOverFyUy * fy * uy);
  }
  gsl_root_fsolver_free(solver);
  return 0;
}
