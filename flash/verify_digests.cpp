#include "flash/verify_digests.h"

#include "app/app_context.h"
#include "app/log_text.h"
#include "database/lookups.h"

namespace {

struct DigestCheck {
  Control result;
  const std::string JobSelection::*expected;
  const char* manualOk;
  const char* manualFail;
};

const DigestCheck kManualChecks[] = {
    {Control::MD5_result, &JobSelection::ManualMD5, "Manual MD5 check OK", "Manual MD5 check FAIL"},
    {Control::SHA1_result, &JobSelection::ManualSHA1, "Manual SHA1 check OK",
     "Manual SHA1 check FAIL"},
    {Control::CRC_result, &JobSelection::ManualCRC, "Manual AGI CRC check OK",
     "Manual AGI CRC check FAIL"},
};

void Verdict(AppContext& ctx, bool ok, const char* okText, const char* failText) {
  ctx.log.AppendLine(ok ? okText : failText, ok ? LogColour::Purple : LogColour::Red);
}

void VerifyManual(AppContext& ctx) {
  for (const DigestCheck& check : kManualChecks) {
    const std::string& expected = ctx.selection.*check.expected;
    if (expected.empty())
      continue;
    Verdict(ctx, expected == ctx.window.Text(check.result), check.manualOk, check.manualFail);
  }
}

void VerifyAuto(AppContext& ctx) {
  const HashSettings& settings = ctx.database.settings;
  DumpDigests digests;
  digests.md5Text = ctx.window.Text(Control::MD5_result);
  digests.sha1Text = ctx.window.Text(Control::SHA1_result);
  digests.crcText = ctx.window.Text(Control::CRC_result);
  uint8_t flags = 0;
  const std::string mainName = MainHashName(settings);
  if (!FindDumpHash(ctx.database, digests, settings, flags)) {
    ctx.log.AppendLine(LogText("Defailt hash (%s) check database FAIL", {mainName}),
                       LogColour::Red);
    return;
  }
  ctx.log.AppendLine(LogText("Defailt hash (%s) match: %s", {mainName, digests.description}),
                     LogColour::Purple);
  if (settings.md5Mode == HashMode::Checked)
    Verdict(ctx, flags & MD5Agrees, "MD5 check OK", "MD5 check FAIL");
  if (settings.sha1Mode == HashMode::Checked)
    Verdict(ctx, flags & SHA1Agrees, "SHA1 check OK", "SHA1 check FAIL");
  if (settings.crcMode == HashMode::Checked)
    Verdict(ctx, flags & CrcAgrees, "AGI CRC check OK", "AGI CRC check FAIL");
}

}  // namespace

void VerifyDigests(AppContext& ctx) {
  if (ctx.selection.hashCheckMode == HashCheckMode::Manual)
    VerifyManual(ctx);
  else
    VerifyAuto(ctx);
}
