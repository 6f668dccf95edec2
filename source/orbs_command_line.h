// Entry logic shared by the service executable and its tests.
#pragma once

#include "orbs_sub_processes.h"

// Runs the command of argv[1] from the table.  Returns -1 without argument
// and 0 on success; every other outcome ends the process with exit().
int runCommandLine(int argc, char** argv, SubProcessTable table);
