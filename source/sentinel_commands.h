// The commands of the Sentinel service executable and their table.
#pragma once

#include "orbs_sub_processes.h"

// Product search and download.
int main_scihub_get(const char* parameters);
// Auxiliary files download.
int main_sentinel_auxiliaries(const char* parameters);

// The command table, in registration order.
SubProcessTable buildSentinelCommandTable();
