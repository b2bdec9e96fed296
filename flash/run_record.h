// The identification's record for the run's report, made where identification learns it.
#pragma once

#include <string>

#include "flash/flash_session.h"
#include "flash/job_results.h"

// What identification found in the database: the session holds the standard values it
// assumed for a module or chip the database does not know.
struct IdentifiedAs {
  bool module = false;    // the module type is in the database
  bool chipRead = false;  // the chip ID was read (not in the fixed china-sharp mode)
  bool chip = false;      // the chip ID is in the database
  std::string vendor;     // the vendor of the chip ID's first byte; empty when unknown
};

// The module and chip of a successful identification.
IdentificationRecord IdentificationOf(const FlashSession& session, const IdentifiedAs& known);
