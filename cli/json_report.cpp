#include "cli/json_report.h"

#include <cstdio>

using json = nlohmann::ordered_json;

namespace {

std::string HexByte(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02x", value);
  return text;
}

const char* Name(DigestVerdict verdict) {
  switch (verdict) {
    case DigestVerdict::Main:
      return "main";
    case DigestVerdict::Ok:
      return "ok";
    case DigestVerdict::Fail:
      return "fail";
    case DigestVerdict::NotCompared:
      break;
  }
  return "not compared";
}

json DigestsJson(const std::optional<DigestTexts>& d) {
  if (!d)
    return nullptr;
  return {{"md5", d->md5}, {"sha1", d->sha1}, {"crc", d->crc}};
}

json VerificationJson(const std::optional<VerificationRecord>& v) {
  if (!v)
    return nullptr;
  return {{"mode", v->mode == HashCheckMode::Manual ? "manual" : "auto"},
          {"matched", v->matched ? json(v->description) : json(nullptr)},
          {"md5", Name(v->md5)},
          {"sha1", Name(v->sha1)},
          {"crc", Name(v->crc)},
          {"failed", v->Failed()}};
}

// Where and how the flash differed, in numbers (the terminal shows the same as lines).
json DifferenceJson(const std::optional<FlashDifference>& d) {
  if (!d)
    return nullptr;
  json ranges = json::array();
  for (const BlockRange& r : d->ranges) ranges.push_back({r.first, r.last});
  json lanes = json::object();
  for (const Lane lane : {Lane::kEven, Lane::kOdd}) {
    json bits = json::array();
    for (int bit = 0; bit < 8; ++bit) {
      const auto& counts = d->bitCounts[static_cast<size_t>(lane)][static_cast<size_t>(bit)];
      bits.push_back({{"bit", bit},
                      {"read_1_file_0", counts[static_cast<size_t>(Direction::kReadOne)]},
                      {"read_0_file_1", counts[static_cast<size_t>(Direction::kReadZero)]}});
    }
    lanes[lane == Lane::kEven ? "even" : "odd"] = bits;
  }
  json line = nullptr;
  if (d->fit != DataLineFit::kNone)
    line = {{"lanes", d->fit == DataLineFit::kBothLanes ? "both"
                      : d->fitLane == Lane::kEven       ? "even"
                                                        : "odd"},
            {"bit", d->fitBit},
            {"reads", d->fitDirection == Direction::kReadOne ? 1 : 0}};
  return {{"first_offset", d->firstOffset},
          {"first_block", d->firstBlock},
          {"first_bank", d->twoBanks ? json(d->firstBank) : json(nullptr)},
          {"bytes", d->differingBytes},
          {"blocks", d->differingBlocks},
          {"ranges", ranges},
          {"more_ranges", d->moreRanges},
          {"bits", lanes},
          {"data_line", line}};
}

}  // namespace

json RetriesJson(const std::vector<RetryRecord>& retries) {
  json list = json::array();
  for (const RetryRecord& retry : retries)
    list.push_back({{"block", retry.block}, {"reason", retry.reason}});
  return list;
}

json FailureJson(const std::optional<JobFailure>& failure) {
  if (!failure)
    return nullptr;
  return {{"reason", FailureWord(failure->reason)},
          {"errno", failure->error != 0 ? json(failure->error) : json(nullptr)},
          {"detail", failure->detail}};
}

const char* ColourName(LogColour colour) {
  switch (colour) {
    case LogColour::Red:
      return "red";
    case LogColour::Purple:
      return "purple";
    case LogColour::Green:
      break;
  }
  return "green";
}

json ProgrammerJson(const ProgrammerPlace& place) {
  return {{"id", BusDeviceText(place)},
          {"bus", place.bus},
          {"device", place.device},
          {"port", place.port.empty() ? json(nullptr) : json(place.port)}};
}

json ReportJson(const RunReport& report, const std::string& database, int exitCode) {
  json out = {{"exit_code", exitCode}, {"database", database}};
  out["programmer"] = report.programmer ? ProgrammerJson(*report.programmer) : json(nullptr);
  json found = json::array();
  for (const ProgrammerPlace& place : report.programmersFound)
    found.push_back(ProgrammerJson(place));
  out["programmers_found"] = found;
  out["module"] = nullptr;
  out["chip"] = nullptr;
  if (const auto& id = report.identification) {
    out["module"] = {{"type", HexByte(id->moduleId)},
                     {"size_mb", id->sizeMB},
                     {"banks", id->dualBank ? 2 : 1},
                     {"blocks", id->blockCount},
                     {"known", id->moduleKnown}};
    json chip = {{"id", nullptr},
                 {"name", id->chipKnown ? json(id->chipName) : json(nullptr)},
                 {"vendor", id->vendor.empty() ? json(nullptr) : json(id->vendor)},
                 {"bus_width", id->busWidth},
                 {"write_mode", id->writeMode},
                 {"known", id->chipKnown}};
    if (id->chipRead)
      chip["id"] = HexByte(id->chipId[0]) + " " + HexByte(id->chipId[1]) + " " +
                   HexByte(id->chipId[2]) + " " + HexByte(id->chipId[3]);
    out["chip"] = chip;
  }

  out["identify_retries"] = RetriesJson(report.identifyRetries);
  out["connection"] = nullptr;
  if (const auto& failure = report.connection)
    out["connection"] = {{"reason", ConnectWord(failure->reason)}, {"detail", failure->detail}};

  json jobs = json::array();
  const JobResult* lastDigests = nullptr;
  for (const JobRecord& job : report.jobs) {
    const JobResult& r = job.result;
    json entry = {{"name", job.name},
                  {"file", job.file.empty() ? json(nullptr) : json(job.file)},
                  {"result", OutcomeWord(job)},
                  {"failure", FailureJson(job.Failure())},
                  {"retries", RetriesJson(r.retries)},
                  {"bytes", r.bytes},
                  {"seconds", job.seconds},
                  {"mb_per_s", job.seconds > 0 ? r.bytes / job.seconds / 1e6 : 0.0}};
    if (job.name == "read" || job.name == "check" || job.name == "verify" || job.name == "reread") {
      entry["mismatch"] = r.mismatch;
      entry["difference"] = DifferenceJson(r.difference);
      entry["digests"] = DigestsJson(r.digests);
      entry["verification"] = VerificationJson(r.verification);
      // The second read vouches for the read before it; what was verified is the read's.
      if (r.digests && job.name != "reread")
        lastDigests = &r;
    }
    jobs.push_back(entry);
  }
  out["jobs"] = jobs;
  // The digests and their verification of the last read, check or verify that computed
  // them.
  out["digests"] = lastDigests ? DigestsJson(lastDigests->digests) : json(nullptr);
  out["verification"] = lastDigests ? VerificationJson(lastDigests->verification) : json(nullptr);

  json messages = json::array();
  for (const ShownMessage& message : report.messages)
    messages.push_back({{"caption", message.caption}, {"text", message.text}});
  out["messages"] = messages;

  json log = json::array();
  for (const LoggedLine& line : report.log)
    log.push_back({{"time", line.time}, {"colour", ColourName(line.colour)}, {"text", line.text}});
  out["log"] = log;
  return out;
}
