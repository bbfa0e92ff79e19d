// quorix-cli cycles: the full cycles of a measured force–displacement
// record, one row each, with the means over the steady cycles.
#include <memory>
#include <string>

#include "cli_common.h"
#include "cycles.h"
#include "json.h"
#include "measured_commands.h"
#include "record.h"
#include "system_services.h"

namespace quorix::cli {

namespace {

struct CyclesOptions {
  std::string path;
  double deadBand = measured::kDefaultDeadBand;
  bool json = false;
};

void RunCycles(const CyclesOptions& options) {
  platform::SystemServices services;
  const measured::Record record = measured::ReadRecordFile(services, options.path);
  const measured::CycleTable table = measured::FindCycles(record.u, record.F, options.deadBand);
  const measured::CycleMeans& m = table.steadyMeans;

  if (options.json) {
    std::vector<double> number, first, last, uPlus, uMinus, FPlus, FMinus, EDC, Keff, XiEff, steady;
    for (std::size_t i = 0; i < table.cycles.size(); ++i) {
      const measured::Cycle& c = table.cycles[i];
      number.push_back(static_cast<double>(i + 1));
      first.push_back(static_cast<double>(c.first + 1));
      last.push_back(static_cast<double>(c.last + 1));
      uPlus.push_back(c.uPlus), uMinus.push_back(c.uMinus), FPlus.push_back(c.FPlus), FMinus.push_back(c.FMinus);
      EDC.push_back(c.EDC), Keff.push_back(c.Keff), XiEff.push_back(c.XiEff);
      if (c.steady) steady.push_back(static_cast<double>(i + 1));
    }
    JsonObject means;
    means.Integer("count", static_cast<std::int64_t>(m.count))
        .Number("uPlus", m.uPlus).Number("uMinus", m.uMinus).Number("FPlus", m.FPlus).Number("FMinus", m.FMinus)
        .Number("EDC", m.EDC).Number("Keff", m.Keff).Number("XiEff", m.XiEff);
    WriteOut(JsonObject()
                 .Integer("points", static_cast<std::int64_t>(record.u.size()))
                 .Numbers("cycle", number).Numbers("first", first).Numbers("last", last)
                 .Numbers("uPlus", uPlus).Numbers("uMinus", uMinus).Numbers("FPlus", FPlus).Numbers("FMinus", FMinus)
                 .Numbers("EDC", EDC).Numbers("Keff", Keff).Numbers("XiEff", XiEff)
                 .Numbers("steady", steady)
                 .Object("steadyMeans", means)
                 .Text() +
             "\n");
    return;
  }
  std::string out = "cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\n";
  for (std::size_t i = 0; i < table.cycles.size(); ++i) {
    const measured::Cycle& c = table.cycles[i];
    out += std::to_string(i + 1) + '\t' + std::to_string(c.first + 1) + '\t' + std::to_string(c.last + 1);
    for (double v : {c.uPlus, c.uMinus, c.FPlus, c.FMinus, c.EDC, c.Keff, c.XiEff}) out += '\t' + ShortestText(v);
    out += c.steady ? "\tyes\n" : "\tno\n";
  }
  if (m.count > 0) {
    out += "mean of " + std::to_string(m.count) + " steady\t\t";
    for (double v : {m.uPlus, m.uMinus, m.FPlus, m.FMinus, m.EDC, m.Keff, m.XiEff}) out += '\t' + ShortestText(v);
    out += "\t\n";
  } else {
    out += "no steady cycle (each cycle differs from the one before it in amplitude, centre or EDC by more than 2 %, "
           "or in peak forces by more than 5 %)\n";
  }
  WriteOut(out);
}

}  // namespace

void AddCyclesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<CyclesOptions>();
  CLI::App* command = app.add_subcommand(
      "cycles",
      "split a measured force-displacement record into full cycles at displacement reversals and print, per cycle, "
      "u+, u-, the forces F+ and F- there, the dissipated energy EDC (enclosed area), Keff = (F+ - F-)/(u+ - u-) "
      "and xi_eff = EDC/(2 pi Keff d^2), d = (u+ - u-)/2, then their means over the steady cycles (TAB-separated). "
      "FILE: two columns, displacement and force, delimited by ';', TAB, ',' or blanks, '.' as the decimal point, "
      "an optional header line, '#' comments");
  command->add_option("FILE", options->path, "the record")->required();
  command->add_option("--dead-band", options->deadBand,
                      "share of the whole displacement range the displacement must move back before a reversal "
                      "counts (noise below it makes no false reversals)")
      ->check(CLI::Range(1e-6, 0.5))
      ->capture_default_str();
  command->add_flag("--json", options->json,
                    "print one object: arrays per column (cycle, first, last: 1-based; uPlus, uMinus, FPlus, FMinus, "
                    "EDC, Keff, XiEff), \"steady\": the steady cycles' numbers, \"steadyMeans\"");
  command->callback([options, &exitCode] { RunReporting(exitCode, [&] { RunCycles(*options); }); });
}

}  // namespace quorix::cli
