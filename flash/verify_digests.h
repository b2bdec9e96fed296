#pragma once

struct AppContext;

// Checks the digests shown in the result boxes against the operator's expected texts
// (Manual) or the known dumps of the database (Auto), one log line per compared digest.
void VerifyDigests(AppContext& ctx);
