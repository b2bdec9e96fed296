#include "run/database_lines.h"

#include <string>

#include "base/log_text.h"
#include "database/flash_database.h"

namespace {

// ", MD5 check", ", MD5 NOT check", or nothing for the main hash.
std::string HashSuffix(HashMode mode, const char* name) {
  if (mode == HashMode::Main)
    return "";
  const std::string prefix = std::string(", ") + name;
  return mode == HashMode::Checked ? prefix + " check" : prefix + " NOT check";
}

}  // namespace

void LogDatabaseLoaded(JobContext& ctx) {
  const std::string stamp = ctx.Now();  // one time for both lines
  const FlashDatabase& db = ctx.database;
  ctx.host.AppendLine(
      LogText("[%s] Program started. Module types %d, vendors %d, chips %d, "
              "dumps hash's %d in database.",
              {stamp, std::to_string(db.moduleCount), std::to_string(db.vendorCount),
               std::to_string(db.chipCount), std::to_string(db.dumpHashCount)}),
      LogColour::Green);
  const HashSettings& hs = db.settings;
  ctx.host.AppendLine(LogText("[%s] %s main hash%s%s%s",
                              {stamp, MainHashName(hs), HashSuffix(hs.md5Mode, "MD5"),
                               HashSuffix(hs.sha1Mode, "SHA1"), HashSuffix(hs.crcMode, "AGI CRC")}),
                      LogColour::Green);
}
