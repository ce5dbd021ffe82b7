#pragma once
// The qvtool commands, one family per source file, each registered on the top-level app.

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"

namespace qv {

void AddListCommand(CLI::App& app, CliContext& context);
void AddUpdateCommand(CLI::App& app, CliContext& context);
void AddFlashCommand(CLI::App& app, CliContext& context);
void AddImageCommand(CLI::App& app, CliContext& context);
void AddRegCommand(CLI::App& app, CliContext& context);
void AddI2cCommand(CLI::App& app, CliContext& context);
void AddParamCommand(CLI::App& app, CliContext& context);
// status and hid
void AddStatusCommands(CLI::App& app, CliContext& context);

}  // namespace qv
