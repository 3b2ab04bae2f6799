#pragma once
// The help texts of zrpa: the usage, and one text per subcommand with examples.
#include <string>

std::string ZrpaUsage();
// The help of aCommand; empty when there is no such command.
std::string ZrpaCommandHelp(const std::string& aCommand);
