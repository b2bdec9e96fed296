// Connecting to the programmer and identifying the module and chip in it.
#pragma once

#include <cstdint>

#include "flash/job_context.h"
#include "flash/job_results.h"

// 1: session filled, link open and set to the chip's bus width, digests reset; `found`
// (when given) gets the module and chip with what the database knew of them.
// 0: a message box was shown or the operator declined to go on; the link is closed.
int ConnectAndIdentify(JobContext& ctx, IdentificationRecord* found = nullptr);

// Positions address and bank before block `index` of a read or write (only at block 0
// and, on a two-bank module, at the first block of bank 0). 0 or 0xFF.
uint8_t SelectBankForBlock(JobContext& ctx, int index);
