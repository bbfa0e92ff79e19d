// The subcommands on measured records and displacement histories: cycles,
// fit and response.
#pragma once

#include <CLI/CLI.hpp>

namespace quorix::cli {

void AddCyclesCommand(CLI::App& app, int& exitCode);
void AddFitCommand(CLI::App& app, int& exitCode);
void AddResponseCommand(CLI::App& app, int& exitCode);

}  // namespace quorix::cli
