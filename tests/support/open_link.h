// Opening the programmer as identification does, for tests of the connection alone.
#pragma once

#include "app/window_ops.h"
#include "programmer/programmer_link.h"

// OpenProgrammerLink, its failure shown in `window` with the programmer's caption.
inline bool OpenAndTell(ProgrammerLink& link, const UsbBinder& bind, WindowOps& window,
                        LinkStatus& status) {
  status = OpenProgrammerLink(link, bind);
  if (status != LinkStatus::Ok)
    window.ShowMessage(LinkStatusText(status), kProgrammerCaption);
  return status == LinkStatus::Ok;
}
inline bool OpenAndTell(ProgrammerLink& link, const UsbBinder& bind, WindowOps& window) {
  LinkStatus status = LinkStatus::Ok;
  return OpenAndTell(link, bind, window, status);
}
