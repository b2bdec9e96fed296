// Notes for the run's report, taken where the jobs learn them.
#pragma once

struct AppContext;

// The module and chip of a successful identification, with whether the database knows
// them or the operator accepted a standard assumption.
void RecordIdentification(AppContext& ctx);
