// quorix-cli loop: the closed-form hysteresis loop of one case, as points
// for a script or a plot.
#include <memory>
#include <string>

#include "cli_common.h"
#include "json.h"
#include "views.h"

namespace quorix::cli {

namespace {

struct LoopOptions {
  CaseOptions fields;
  int points = kDefaultLoopPointsPerBranch;
  bool json = false;
};

void RunLoop(LoopOptions& options) {
  const int limit = Settings().maxLoopPoints;
  if (limit > 0 && options.points > limit) {
    throw Refusal("loop of more than " + std::to_string(limit) + " points a branch refused");
  }
  const BoucWenCase bw = SolveCaseWith(options.fields, ResolveCaseOptions(options.fields, true));
  WarnOfFlags(CheckResults(options.fields, bw), bw);
  const BranchIntegralFn integral = BranchIntegralFor(options.fields);
  HysteresisLoop loop = integral != nullptr ? LoopOf(bw, options.points, integral) : LoopOf(bw, options.points);
  // A material's elastic term: its force joins F at every point; the loop's
  // area, the energy, is unchanged (the term returns what it takes).
  AddElasticForces(loop.u, loop.F, options.fields.elastic);

  if (options.json) {
    WriteOut(JsonObject()
                 .Numbers("u", loop.u)
                 .Numbers("F", loop.F)
                 .Numbers("z", loop.z)
                 .Number("DE", bw.DE)
                 .Number("area", ShoelaceArea(loop.u, loop.F))
                 .Answer() +
             "\n");
    return;
  }
  std::string out = "u\tF\tz\n";
  for (std::size_t i = 0; i < loop.u.size(); ++i) {
    out += ShortestText(loop.u[i]) + '\t' + ShortestText(loop.F[i]) + '\t' + ShortestText(loop.z[i]) + '\n';
  }
  WriteOut(out);
}

}  // namespace

void AddLoopCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<LoopOptions>();
  CLI::App* command = app.add_subcommand(
      "loop",
      "print the closed hysteresis loop of one case: loading from (-Umax, -Fa) to (Umax, Fa), then unloading back, "
      "the first point not repeated (TAB-separated u, F, z with a header; no points without a cycle)");
  AddCaseOptions(*command, options->fields, true);
  command->add_option("--points", options->points, "points on each branch, both tips included")
      ->check(CLI::Range(3, 1000000))
      ->capture_default_str();
  command->add_flag("--json", options->json,
                    "print {\"schema\": ..., \"u\": [...], \"F\": [...], \"z\": [...], \"DE\": D, \"area\": A}, A the polygon's "
                    "shoelace area (work around the loop)");
  command->callback([options, command, &exitCode] {
    RunAnswering(exitCode, *command, options->json, [&] { RunLoop(*options); });
  });
}

}  // namespace quorix::cli
