#include "flash/verify_digests.h"

#include <utility>

#include "app/app_context.h"
#include "app/log_text.h"
#include "database/lookups.h"

namespace {

struct DigestCheck {
  Control result;
  const std::string JobSelection::*expected;
  DigestVerdict VerificationRecord::*verdict;
  const char* manualOk;
  const char* manualFail;
};

const DigestCheck kManualChecks[] = {
    {Control::MD5_result, &JobSelection::ManualMD5, &VerificationRecord::md5, "Manual MD5 check OK",
     "Manual MD5 check FAIL"},
    {Control::SHA1_result, &JobSelection::ManualSHA1, &VerificationRecord::sha1,
     "Manual SHA1 check OK", "Manual SHA1 check FAIL"},
    {Control::CRC_result, &JobSelection::ManualCRC, &VerificationRecord::crc,
     "Manual AGI CRC check OK", "Manual AGI CRC check FAIL"},
};

// Writes the verdict's line and keeps the verdict for the run's report.
void Verdict(AppContext& ctx, DigestVerdict& record, bool ok, const char* okText,
             const char* failText) {
  ctx.log.AppendLine(ok ? okText : failText, ok ? LogColour::Purple : LogColour::Red);
  record = ok ? DigestVerdict::Ok : DigestVerdict::Fail;
}

void VerifyManual(AppContext& ctx, VerificationRecord& record) {
  for (const DigestCheck& check : kManualChecks) {
    const std::string& expected = ctx.selection.*check.expected;
    if (expected.empty())
      continue;
    Verdict(ctx, record.*check.verdict, expected == ctx.window.Text(check.result), check.manualOk,
            check.manualFail);
  }
}

void VerifyAuto(AppContext& ctx, VerificationRecord& record) {
  const HashSettings& settings = ctx.database.settings;
  DumpDigests digests;
  digests.md5Text = ctx.window.Text(Control::MD5_result);
  digests.sha1Text = ctx.window.Text(Control::SHA1_result);
  digests.crcText = ctx.window.Text(Control::CRC_result);
  uint8_t flags = 0;
  const std::string mainName = MainHashName(settings);
  for (auto [mode, verdict] : {std::pair{settings.md5Mode, &VerificationRecord::md5},
                               std::pair{settings.sha1Mode, &VerificationRecord::sha1},
                               std::pair{settings.crcMode, &VerificationRecord::crc}})
    if (mode == HashMode::Main)
      record.*verdict = DigestVerdict::Main;
  if (!FindDumpHash(ctx.database, digests, settings, flags)) {
    ctx.log.AppendLine(LogText("Defailt hash (%s) check database FAIL", {mainName}),
                       LogColour::Red);
    return;
  }
  ctx.log.AppendLine(LogText("Defailt hash (%s) match: %s", {mainName, digests.description}),
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

void VerifyDigests(AppContext& ctx) {
  VerificationRecord& record = ctx.report.verification.emplace();
  record.mode = ctx.selection.hashCheckMode;
  if (record.mode == HashCheckMode::Manual)
    VerifyManual(ctx, record);
  else
    VerifyAuto(ctx, record);
}
