// The subcommands on measured records: cycles and fit.
#pragma once

#include <CLI/CLI.hpp>

namespace quorix::cli {

void AddCyclesCommand(CLI::App& app, int& exitCode);
void AddFitCommand(CLI::App& app, int& exitCode);

}  // namespace quorix::cli
