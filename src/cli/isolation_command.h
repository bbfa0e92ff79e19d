// What the isolation subcommands share: their options, the number texts of
// the report, the refusals as bad command lines, and the properties' JSON.
#pragma once

#include <functional>
#include <string>

#include "cli_common.h"
#include "isolation.h"
#include "json.h"

namespace quorix::cli {

namespace iso = quorix::isolation;

struct IsolationOptions {
  CaseOptions fields;
  std::string bearings = "1";
  bool json = false;
  // at, bounds
  std::string D;
  // design, bounds
  std::string W, mass, g, S1, spectrum, code = "asce7", Dmin, Dmax;
  // design: the map sampled at this many displacements (0: not sampled)
  std::string mapPoints = "0";
  // bounds
  std::string lambdaMin, lambdaMax, as = "none";
};

// A number shown in the text report: six significant digits.
std::string Six(double value);
// Runs work with every Refusal of the room turned into a bad command line.
void Refusing(const std::function<void()>& work);
Case CaseOfOptions(IsolationOptions& options);
double Bearings(const IsolationOptions& options);
JsonObject PropertiesJson(const iso::Properties& p);
// "bilinear" (and "bilinear_refusal" where there is none) for N bearings.
void AddBilinear(JsonObject& o, const iso::Properties& bearing, double N);
std::string BilinearLines(const iso::Properties& bearing, double N);

void RunDesign(IsolationOptions& options);
void AddIsolationInverseCommand(CLI::App& isolation, int& exitCode);
void RunBounds(IsolationOptions& options);

}  // namespace quorix::cli
