// The model's program-wide variables: filled from "system.st", read by the callbacks.
#include "model.h"

extern "C" {

double par[kModelParams];
double num[kModelSettings];
double force_on = 0.0;
double force_off = 0.0;
double force = 0.0;
double mnoise[kModelDim];
long lidum = 0;

}
