// Notes for the run's report, taken where the jobs learn them.
#pragma once

#include <string>

struct AppContext;

// What identification found in the database: the session holds the standard values it
// assumed for a module or chip the database does not know.
struct IdentifiedAs {
  bool module = false;    // the module type is in the database
  bool chipRead = false;  // the chip ID was read (not in the fixed china-sharp mode)
  bool chip = false;      // the chip ID is in the database
  std::string vendor;     // the vendor of the chip ID's first byte; empty when unknown
};

// The module and chip of a successful identification.
void RecordIdentification(AppContext& ctx, const IdentifiedAs& known);
