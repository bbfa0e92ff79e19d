// The subcommands on measured records and displacement histories: cycles,
// fit, response and verify, and the reading of their records that they share.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "record.h"

namespace quorix::cli {

void AddCyclesCommand(CLI::App& app, int& exitCode);
void AddFitCommand(CLI::App& app, int& exitCode);
void AddResponseCommand(CLI::App& app, int& exitCode);
void AddVerifyCommand(CLI::App& app, int& exitCode);

// A record's file (or "-" for standard input) and its chosen columns.
struct RecordInput {
  std::string path;
  measured::ColumnChoice columns;
};

// FILE, --u-column and --F-column on a command.
void AddRecordInput(CLI::App& command, RecordInput& input, const std::string& fileHelp);

// --dead-band, a share of the displacement range in [1e-6, 0.5]; NaN is
// refused as a bad command line too.
void AddDeadBandOption(CLI::App& command, double& deadBand, const std::string& help);

// Reads the file, or standard input for "-", through the platform.
measured::Record ReadRecordInput(const RecordInput& input,
                                 measured::Columns columns = measured::Columns::kDisplacementAndForce);

// Lines that say which columns were read, with their names and units, and
// that decimal commas were, e.g. `displacement: column 2 "Stroke" (mm)`;
// "" for a file of two columns without a header, read as displacement then
// force with decimal points: the record as it was before columns could be
// chosen, whose report stays as it was.
std::string DescribeColumns(const measured::Record& record);

}  // namespace quorix::cli
