// The runtime services used by the commands: child processes, archives,
// dates, the file test, pauses and format conversions.
#pragma once

#include "orbs_archive.h"
#include "orbs_converter.h"
#include "orbs_file.h"
#include "orbs_subproc.h"
#include "orbs_time.h"
