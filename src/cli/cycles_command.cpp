// quorix-cli cycles: the full cycles of a measured force–displacement
// record, one row each, with the means over the steady cycles.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "cli_common.h"
#include "cycles.h"
#include "json.h"
#include "measured_commands.h"
#include "record.h"

namespace quorix::cli {

namespace {

struct CyclesOptions {
  RecordInput input;
  double deadBand = measured::kDefaultDeadBand;
  bool json = false;
};

// The units of the table's columns, as far as the record names them.
std::string UnitsLine(const measured::Record& record) {
  const std::string& u = record.displacement.unit;
  const std::string& F = record.force.unit;
  std::string out;
  const auto add = [&](const std::string& what) { out += (out.empty() ? "units: " : "; ") + what; };
  if (!u.empty()) add("u+, u-, D, Dy in " + u);
  if (!F.empty()) add("F+, F-, Qd in " + F);
  if (!u.empty() && !F.empty()) add("EDC in " + F + "\u00B7" + u + "; Keff, Kd in " + F + "/" + u);
  return out.empty() ? out : out + "\n";
}

// A figure that does not exist for the cycle (its reason is among the
// notes): a dash, which no reader takes for a number.
constexpr const char* kNone = "\u2014";

std::string FigureText(double value) { return std::isnan(value) ? kNone : ShortestText(value); }

// The isolator's figures of a cycle: D, Qd, Kd, Dy, its amplitude group
// (from 1) and its Keff and EDC over the group's means.
std::vector<std::string> FigureCells(const measured::Cycle& c) {
  return {ShortestText(c.D), FigureText(c.Qd),          FigureText(c.Kd),          FigureText(c.Dy),
          std::to_string(c.group + 1), FigureText(c.KeffRatio), FigureText(c.EDCRatio)};
}

// The column, its name and unit as the JSON's members give them.
JsonObject ColumnObject(const measured::RecordColumn& c) {
  JsonObject object;
  object.Integer("column", static_cast<std::int64_t>(c.number)).String("name", c.name).String("unit", c.unit);
  return object;
}

// The table as its cells' texts, a row each: the header, one row per cycle,
// then the steady means (a row of its own, when there are steady cycles).
std::vector<std::vector<std::string>> TableCells(const measured::CycleTable& table) {
  std::vector<std::vector<std::string>> rows{
      {"cycle", "first", "last", "u+", "u-", "F+", "F-", "EDC", "Keff", "xi_eff", "steady", "D", "Qd", "Kd", "Dy",
       "group", "Keff_ratio", "EDC_ratio"}};
  for (std::size_t i = 0; i < table.cycles.size(); ++i) {
    const measured::Cycle& c = table.cycles[i];
    std::vector<std::string> row{std::to_string(i + 1), std::to_string(c.first + 1), std::to_string(c.last + 1)};
    for (double v : {c.uPlus, c.uMinus, c.FPlus, c.FMinus, c.EDC, c.Keff, c.XiEff}) row.push_back(ShortestText(v));
    row.push_back(c.steady ? "yes" : "no");
    for (std::string& cell : FigureCells(c)) row.push_back(std::move(cell));
    rows.push_back(std::move(row));
  }
  const measured::CycleMeans& m = table.steadyMeans;
  if (m.count > 0) {
    std::vector<std::string> row{"mean of " + std::to_string(m.count) + " steady", "", ""};
    for (double v : {m.uPlus, m.uMinus, m.FPlus, m.FMinus, m.EDC, m.Keff, m.XiEff}) row.push_back(ShortestText(v));
    row.resize(rows.front().size());  // the figures of a cycle have no mean here
    rows.push_back(std::move(row));
  }
  return rows;
}

// The amplitude groups, a line each: the means of the group and its first
// cycle's Keff and EDC over them (in the units the units line names).
std::vector<std::string> GroupLines(const measured::CycleTable& table) {
  static_assert(measured::kGroupTolerance == 0.05, "the line below names the tolerance");
  std::vector<std::string> lines{"amplitude groups: consecutive cycles whose D lies within 5 % of the D of the "
                                 "group's first; Keff_ratio and EDC_ratio are a cycle's Keff and EDC over the means "
                                 "of its group"};
  for (std::size_t g = 0; g < table.groups.size(); ++g) {
    const measured::AmplitudeGroup& group = table.groups[g];
    const std::string cycles = group.first == group.last ? "cycle " + std::to_string(group.first + 1)
                                                         : "cycles " + std::to_string(group.first + 1) + "-" +
                                                               std::to_string(group.last + 1);
    lines.push_back("group " + std::to_string(g + 1) + " (" + cycles + "): means D " + ShortestText(group.D) +
                    ", Keff " + ShortestText(group.Keff) + ", EDC " + ShortestText(group.EDC) +
                    "; its first cycle's Keff " + FigureText(group.firstKeffRatio) + " and EDC " +
                    FigureText(group.firstEDCRatio) + " times the means");
  }
  return lines;
}

// The lines below the table: no steady cycle, the amplitude groups, the
// figures that do not exist and why, the columns read and units.
std::vector<std::string> TableNotes(const measured::CycleTable& table, const measured::Record& record) {
  std::vector<std::string> notes;
  if (table.steadyMeans.count == 0) {
    notes.push_back("no steady cycle (each cycle differs from the one before it in amplitude, centre or EDC by more "
                    "than 2 %, or in peak forces by more than 5 %)");
  }
  for (std::string& line : GroupLines(table)) notes.push_back(std::move(line));
  for (std::string& line : measured::BilinearNotes(table)) notes.push_back(std::move(line));
  for (std::string& line : measured::RatioNotes(table)) notes.push_back(std::move(line));
  const std::string columns = DescribeColumns(record);
  const std::string text = columns.empty() ? "" : columns + UnitsLine(record);
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    notes.push_back(text.substr(at, end - at));
  }
  return notes;
}

// The isolator's figures, arrays per cycle like the other columns (NaN as
// "nan", with the reason in "bilinear_refusal"), and the amplitude groups.
void AddFiguresJson(const measured::CycleTable& table, JsonObject& object) {
  std::vector<double> D, Qd, Kd, Dy, group, KeffRatio, EDCRatio;
  std::vector<std::string> refusals;
  for (const measured::Cycle& c : table.cycles) {
    D.push_back(c.D), Qd.push_back(c.Qd), Kd.push_back(c.Kd), Dy.push_back(c.Dy);
    group.push_back(static_cast<double>(c.group + 1));
    KeffRatio.push_back(c.KeffRatio), EDCRatio.push_back(c.EDCRatio);
    refusals.push_back(measured::BilinearReason(c));
  }
  std::vector<double> firstCycle, lastCycle, meanD, meanKeff, meanEDC, firstKeff, firstEDC;
  for (const measured::AmplitudeGroup& g : table.groups) {
    firstCycle.push_back(static_cast<double>(g.first + 1)), lastCycle.push_back(static_cast<double>(g.last + 1));
    meanD.push_back(g.D), meanKeff.push_back(g.Keff), meanEDC.push_back(g.EDC);
    firstKeff.push_back(g.firstKeffRatio), firstEDC.push_back(g.firstEDCRatio);
  }
  JsonObject groups;
  groups.Numbers("first_cycle", firstCycle).Numbers("last_cycle", lastCycle).Numbers("D", meanD)
      .Numbers("Keff", meanKeff).Numbers("EDC", meanEDC)
      .Numbers("first_Keff_ratio", firstKeff).Numbers("first_EDC_ratio", firstEDC);
  object.Numbers("D", D).Numbers("Qd", Qd).Numbers("Kd", Kd).Numbers("Dy", Dy)
      .Strings("bilinear_refusal", refusals)
      .Numbers("group", group).Numbers("Keff_ratio", KeffRatio).Numbers("EDC_ratio", EDCRatio)
      .Object("groups", groups);
}

void WriteCyclesJson(const measured::CycleTable& table, const measured::Record& record,
                     const std::vector<std::string>& warnings) {
  const measured::CycleMeans& m = table.steadyMeans;
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
  JsonObject object;
  object.Integer("sample_count", static_cast<std::int64_t>(record.u.size()))
      .Numbers("cycle", number).Numbers("first", first).Numbers("last", last)
      .Numbers("uPlus", uPlus).Numbers("uMinus", uMinus).Numbers("FPlus", FPlus).Numbers("FMinus", FMinus)
      .Numbers("EDC", EDC).Numbers("Keff", Keff).Numbers("XiEff", XiEff)
      .Numbers("steady_cycles", steady)
      .Object("steady_means", means);
  AddFiguresJson(table, object);
  object.Integer("counter_clockwise", static_cast<std::int64_t>(table.counterClockwise));
  // The record's columns only where the text report names them: a file of
  // two plain columns keeps the object it always had.
  if (!DescribeColumns(record).empty()) {
    object.Object("displacement", ColumnObject(record.displacement))
        .Object("force", ColumnObject(record.force))
        .Bool("decimal_comma", record.decimalComma);
  }
  // The text report's cells and lines, as it shows them.
  object.StringRows("table", TableCells(table)).Strings("notes", TableNotes(table, record));
  object.Strings("warnings", warnings);
  WriteOut(object.Answer() + "\n");
}

void RunCycles(const CyclesOptions& options) {
  const measured::Record record = ReadRecordInput(options.input);
  const measured::CycleTable table = measured::FindCycles(record.u, record.F, options.deadBand);
  // The table is printed all the same: it shows what the record holds.
  const std::vector<std::string> warnings = measured::TableWarnings(table);
  for (const std::string& w : warnings) std::fprintf(Settings().err, "quorix-cli: warning: %s\n", w.c_str());
  if (options.json) {
    WriteCyclesJson(table, record, warnings);
    return;
  }
  // Standard output is one table, a cycle a row, for a script to read as it
  // is; the steady means and the notes below it go to standard error, where
  // a person at a terminal reads them under the table all the same.
  std::string out, summary;
  for (const std::vector<std::string>& row : TableCells(table)) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) line += (i == 0 ? "" : "\t") + row[i];
    (row.front().starts_with("mean of ") ? summary : out) += line + '\n';
  }
  for (const std::string& note : TableNotes(table, record)) summary += note + '\n';
  WriteOut(out);
  std::fflush(Settings().out);
  std::fputs(summary.c_str(), Settings().err);
}

}  // namespace

void AddCyclesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<CyclesOptions>();
  CLI::App* command = app.add_subcommand(
      "cycles",
      "split a measured force-displacement record into full cycles at displacement reversals and print, per cycle, "
      "u+, u-, the forces F+ and F- there, the dissipated energy EDC (enclosed area), Keff = (F+ - F-)/(u+ - u-) "
      "and xi_eff = EDC/(2 pi Keff d^2), d = (u+ - u-)/2; for an isolator's prototype test D = d, Qd (half the gap "
      "between the two branches' forces where they cross u = 0, interpolated linearly), the equivalent bilinear "
      "loop's Kd = Keff - Qd/D and Dy = D - EDC/(4 Qd) (a dash, with the reason among the notes, where Qd <= 0 or Dy "
      "lies outside (0, D)), the cycle's amplitude group (consecutive cycles whose D lies within 5 % of the "
      "group's first) and its Keff and EDC over the group's means (TAB-separated); their means over the steady cycles and "
      "the notes below the table go to standard error, so that standard output is one table. "
      "FILE (or - for standard input): columns delimited by ';', TAB, ',' or blanks, '.' as the decimal point (or "
      "',' with ';' or TAB), an optional header line of names and after it an optional line of units, '#' "
      "comments; UTF-8 or UTF-16 with its byte-order mark. A record with a header, more than two columns or decimal "
      "commas gets the columns read and their units among the notes. Cycles that run counter-clockwise (negative "
      "EDC) are warned of on standard error");
  AddRecordInput(*command, options->input, "the record, or - for standard input");
  AddDeadBandOption(*command, options->deadBand,
                    "share of the whole displacement range the displacement must move back before a reversal "
                    "counts (noise below it makes no false reversals)");
  command->add_flag("--json", options->json,
                    "print one object: \"schema\", \"sample_count\", arrays per column (\"cycle\", \"first\", "
                    "\"last\": 1-based; \"uPlus\", \"uMinus\", \"FPlus\", \"FMinus\", \"EDC\", \"Keff\", "
                    "\"XiEff\"; \"D\", \"Qd\", \"Kd\", \"Dy\" with \"bilinear_refusal\": why Kd and Dy are \"nan\", \"\" "
                    "where they exist; \"group\": 1-based, \"Keff_ratio\", \"EDC_ratio\"), \"groups\" (arrays "
                    "per amplitude group: \"first_cycle\", \"last_cycle\", the means \"D\", \"Keff\", \"EDC\", "
                    "\"first_Keff_ratio\", \"first_EDC_ratio\"), \"steady_cycles\": the steady cycles' numbers "
                    "(1-based), \"steady_means\", "
                    "\"counter_clockwise\"; for a file with named columns \"displacement\", \"force\", "
                    "\"decimal_comma\"; \"table\" and \"notes\": the text report's cells (a row each) and the "
                    "lines below it; \"warnings\"; a refusal as {\"schema\": ..., \"refusal\": {...}}");
  command->callback([options, command, &exitCode] {
    RunAnswering(exitCode, *command, options->json, [&] { RunCycles(*options); });
  });
}

}  // namespace quorix::cli
