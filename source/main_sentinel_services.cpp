// Entry point of the Sentinel service executable.
#include "orbs_command_line.h"
#include "sentinel_commands.h"

int main(int argc, char** argv) { return runCommandLine(argc, argv, buildSentinelCommandTable()); }
