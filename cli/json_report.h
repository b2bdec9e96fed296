// The run's report as one JSON object (its shape: flashwrendel-cli.1, JSON).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "app/run_report.h"

// The names the report gives a job's result and a log line's colour.
const char* OutcomeName(JobOutcome outcome);
const char* ColourName(LogColour colour);
// {"id": "001:007", "bus": 1, "device": 7, "port": "1-2.3" or null}
nlohmann::ordered_json ProgrammerJson(const ProgrammerPlace& place);

nlohmann::ordered_json ReportJson(const RunReport& report, const std::string& database,
                                  int exitCode);
