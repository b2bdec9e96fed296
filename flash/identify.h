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
// and, on a two-bank module, at the first block of bank 0). 0 or 0xFF, its Red line
// written.
uint8_t SelectBankForBlock(JobContext& ctx, int index);

// The same without the line, for a caller that may try again.
enum class BankPosition { Ok, AddressFailed, BankFailed };
BankPosition PositionForBlock(const FlashSession& session, int index);
void ShowPositionFailure(JobContext& ctx, BankPosition position);
// The first block of the bank that holds block `index`: the device is only ever told
// "address 0 of a bank".
int BankStart(const FlashSession& session, int index);
