// What cycles, fit and response share in reading a record: the file or
// standard input, the chosen columns, and the lines that report them.
#include <cmath>

#include "cli_common.h"
#include "decimal.h"
#include "measured_commands.h"
#include "stdio_text_file.h"
#include "system_services.h"

namespace quorix::cli {

void AddRecordInput(CLI::App& command, RecordInput& input, const std::string& fileHelp) {
  command.add_option("FILE", input.path, fileHelp)->required();
  command.add_option("--u-column", input.columns.displacement,
                     "the displacement's column: its number (from 1) or its name in the header (case ignored, "
                     "with or without a unit such as [mm]); default: the column whose name says displacement "
                     "(disp..., u, stroke, deflection), else the first numeric one");
  command.add_option("--F-column", input.columns.force,
                     "the force's column, as --u-column; default: the column whose name says force (force, load, "
                     "F), else the first numeric one besides the displacement's");
}

void AddDeadBandOption(CLI::App& command, double& deadBand, const std::string& help) {
  // CLI::Range lets NaN through: every comparison with it is false.
  const CLI::Validator share(
      [](std::string& text) {
        double value = 0.0;
        const auto [end, ec] = decimal::ReadDouble(text, value);
        if (ec == std::errc() && end == text.data() + text.size() && value >= 1e-6 && value <= 0.5) return std::string();
        return "Value " + text + " not in range 0.000001 to 0.500000";
      },
      "FLOAT in [1e-06 - 0.5]");
  command.add_option("--dead-band", deadBand, help)->check(share)->capture_default_str();
}

measured::Record ReadRecordInput(const RecordInput& input, measured::Columns columns) {
  if (input.path == "-") {
    const auto in = platform::BorrowInputFile(Settings().in, "standard input");
    return measured::ReadRecord(*in, columns, input.columns);
  }
  platform::SystemServices services;
  return measured::ReadRecordFile(services, input.path, columns, input.columns);
}

std::string DescribeColumns(const measured::Record& r) {
  if (!r.header && r.columns == 2 && r.displacement.number == 1 && r.force.number == 2 && !r.decimalComma) return {};
  std::string out;
  const auto line = [&](const char* what, const measured::RecordColumn& c) {
    if (c.number == 0) return;
    out += std::string(what) + ": column " + std::to_string(c.number);
    if (!c.name.empty()) out += " \"" + c.name + "\"";
    if (!c.unit.empty()) out += " (" + c.unit + ")";
    out += '\n';
  };
  line("displacement", r.displacement);
  line("force", r.force);
  if (r.decimalComma) out += "decimal commas\n";
  return out;
}

}  // namespace quorix::cli
