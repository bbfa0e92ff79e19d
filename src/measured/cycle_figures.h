// The figures an isolator's prototype test reads off each cycle beside
// Keff and EDC: the characteristic strength Qd, the equivalent bilinear
// loop's Kd and Dy, and the ratios within an amplitude group. Internal to
// the measured room: FindCycles calls them.
#pragma once

#include <vector>

#include "cycles.h"
#include "power_scale.h"

namespace quorix::measured {

// c.D, c.Qd and, where the loop exists, c.Kd and c.Dy, with c.bilinear
// saying which. EDC and Keff are the cycle's own, in the scale of its points
// (cu, cF), in which the arithmetic runs.
void MeasureBilinear(const std::vector<double>& u, const std::vector<double>& F, const Scale& cu, const Scale& cF,
                     double EDC, double Keff, Cycle& c);

// Groups the table's cycles by amplitude (kGroupTolerance) into
// table.groups and gives every cycle its group and its ratios.
void GroupByAmplitude(CycleTable& table);

}  // namespace quorix::measured
