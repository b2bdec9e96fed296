// Connecting to the programmer and identifying the module and chip in it.
#pragma once

#include <cstdint>

#include "flash/job_context.h"
#include "flash/job_results.h"

// Ok: session filled, link open and set to the chip's bus width, digests reset; the
// outcome holds the module and chip with what the database knew of them. Otherwise why
// not: a message box was shown, the operator declined to go on or asked to stop; the link
// is closed.
IdentifyOutcome ConnectAndIdentify(JobContext& ctx);

// Positions address and bank before block `index` of a read or write (only at block 0
// and, on a two-bank module, at the first block of bank 0). 0 or 0xFF.
uint8_t SelectBankForBlock(JobContext& ctx, int index);
