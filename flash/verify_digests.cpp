#include "flash/verify_digests.h"

#include <utility>

#include "base/log_text.h"
#include "database/lookups.h"

namespace {

struct DigestCheck {
  const std::string DigestTexts::*shown;
  const std::string DigestExpectation::*expected;
  DigestVerdict VerificationRecord::*verdict;
  const char* manualOk;
  const char* manualFail;
};

const DigestCheck kManualChecks[] = {
    {&DigestTexts::md5, &DigestExpectation::md5, &VerificationRecord::md5, "Manual MD5 check OK",
     "Manual MD5 check FAIL"},
    {&DigestTexts::sha1, &DigestExpectation::sha1, &VerificationRecord::sha1,
     "Manual SHA1 check OK", "Manual SHA1 check FAIL"},
    {&DigestTexts::crc, &DigestExpectation::crc, &VerificationRecord::crc,
     "Manual AGI CRC check OK", "Manual AGI CRC check FAIL"},
};

// Writes the verdict's line and keeps the verdict for the run's report.
void Verdict(JobContext& ctx, DigestVerdict& record, bool ok, const char* okText,
             const char* failText) {
  ctx.host.AppendLine(ok ? okText : failText, ok ? LogColour::Purple : LogColour::Red);
  record = ok ? DigestVerdict::Ok : DigestVerdict::Fail;
}

// Each typed text against the digest as shown, whole and character for character.
void VerifyManual(JobContext& ctx, const DigestTexts& shown, const DigestExpectation& typed,
                  VerificationRecord& record) {
  for (const DigestCheck& check : kManualChecks) {
    const std::string& expected = typed.*check.expected;
    if (expected.empty())
      continue;
    Verdict(ctx, record.*check.verdict, expected == shown.*check.shown, check.manualOk,
            check.manualFail);
  }
}

void VerifyAuto(JobContext& ctx, const DigestTexts& shown, VerificationRecord& record) {
  const HashSettings& settings = ctx.database.settings;
  DumpDigests digests;
  digests.md5Text = shown.md5;
  digests.sha1Text = shown.sha1;
  digests.crcText = shown.crc;
  uint8_t flags = 0;
  const std::string mainName = MainHashName(settings);
  for (auto [mode, verdict] : {std::pair{settings.md5Mode, &VerificationRecord::md5},
                               std::pair{settings.sha1Mode, &VerificationRecord::sha1},
                               std::pair{settings.crcMode, &VerificationRecord::crc}})
    if (mode == HashMode::Main)
      record.*verdict = DigestVerdict::Main;
  if (!FindDumpHash(ctx.database, digests, settings, flags)) {
    ctx.host.AppendLine(LogText("Defailt hash (%s) check database FAIL", {mainName}),
                        LogColour::Red);
    return;
  }
  ctx.host.AppendLine(LogText("Defailt hash (%s) match: %s", {mainName, digests.description}),
                      LogColour::Purple);
  record.matched = true;
  record.description = digests.description;
  if (settings.md5Mode == HashMode::Checked)
    Verdict(ctx, record.md5, flags & MD5Agrees, "MD5 check OK", "MD5 check FAIL");
  if (settings.sha1Mode == HashMode::Checked)
    Verdict(ctx, record.sha1, flags & SHA1Agrees, "SHA1 check OK", "SHA1 check FAIL");
  if (settings.crcMode == HashMode::Checked)
    Verdict(ctx, record.crc, flags & CrcAgrees, "AGI CRC check OK", "AGI CRC check FAIL");
}

}  // namespace

DigestExpectation ExpectationOf(const JobSelection& selection) {
  return {selection.hashCheckMode, selection.ManualMD5, selection.ManualSHA1, selection.ManualCRC};
}

VerificationRecord VerifyDigests(JobContext& ctx, const DigestTexts& shown,
                                 const DigestExpectation& expected) {
  VerificationRecord record;
  record.mode = expected.mode;
  if (record.mode == HashCheckMode::Manual)
    VerifyManual(ctx, shown, expected, record);
  else
    VerifyAuto(ctx, shown, record);
  return record;
}
