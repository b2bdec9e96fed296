// The two lines a front end logs once the database is loaded.
#pragma once

#include "flash/job_context.h"

// The database's counts, and which digest is the main hash and which are checked.
void LogDatabaseLoaded(JobContext& ctx);
