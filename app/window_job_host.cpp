#include "app/window_job_host.h"

void WindowJobHost::ShowDigest(DigestKind digest, const std::string& text) {
  switch (digest) {
    case DigestKind::MD5:
      window.SetText(Control::MD5_result, text);
      return;
    case DigestKind::SHA1:
      window.SetText(Control::SHA1_result, text);
      return;
    case DigestKind::CRC:
      window.SetText(Control::CRC_result, text);
      return;
  }
}
