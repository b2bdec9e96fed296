// The run's report as one JSON object (documented in the README, "Command line").
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "app/run_report.h"

nlohmann::ordered_json ReportJson(const RunReport& report, const std::string& database,
                                  int exitCode);
