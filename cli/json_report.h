// The run's report as one JSON object (its shape: flashwrendel-cli.1, JSON).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "run/run_report.h"

// The name the report gives a log line's colour.
const char* ColourName(LogColour colour);
// [{"block": N, "reason": TEXT}], one per reconnection
nlohmann::ordered_json RetriesJson(const std::vector<RetryRecord>& retries);
// null, or {"reason": WORD, "errno": N or null, "detail": TEXT}
nlohmann::ordered_json FailureJson(const std::optional<JobFailure>& failure);
// {"id": "001:007", "bus": 1, "device": 7, "port": "1-2.3" or null}
nlohmann::ordered_json ProgrammerJson(const ProgrammerPlace& place);

nlohmann::ordered_json ReportJson(const RunReport& report, const std::string& database,
                                  int exitCode);
