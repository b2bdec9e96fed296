// Connecting to the programmer and identifying the module and chip in it.
#pragma once

#include <cstdint>

struct AppContext;

// 1: session filled, link open and set to the chip's bus width, digests reset.
// 0: a message box was shown or the operator declined to go on; the link is closed.
int ConnectAndIdentify(AppContext& ctx);

// Positions address and bank before block `index` of a read or write (only at block 0
// and, on a two-bank module, at the first block of bank 0). 0 or 0xFF.
uint8_t SelectBankForBlock(AppContext& ctx, int index);
