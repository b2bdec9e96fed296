// The programmer's request/answer protocol, one operation per command. Every operation
// returns 0 when all its transfers were whole and 0xFF at the first one that was not;
// nothing is sent after a failed transfer.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "programmer/programmer_link.h"

inline constexpr uint8_t kCommandOk = 0;
inline constexpr uint8_t kCommandFailed = 0xFF;

// Bank byte of the bank commands.
inline constexpr uint8_t kBankFirst = 1;
inline constexpr uint8_t kBankSecond = 0;

uint8_t FlashReset(const ProgrammerLink& link);                                     // 01
uint8_t SetAddress(const ProgrammerLink& link, uint8_t a3, uint8_t a2, uint8_t a1,  // 10 a3..a0
                   uint8_t a0);
// 11 (write mode 0 and 2) or A0 (write mode 1), then the block with a 5000 ms timeout, then
// one status byte. After a non-zero status the 11-byte error answer is read, and
// `errorAnswer` (when given) gets what the operator is to see of it: its text, or "Can't
// read write error answer" when it did not come whole. It is left alone otherwise.
uint8_t WriteBlock(const ProgrammerLink& link, const uint8_t* buffer, uint8_t lengthHigh,
                   uint8_t lengthLow, uint8_t writeMode, std::string* errorAnswer = nullptr);
uint8_t ReadBlock(const ProgrammerLink& link, uint8_t* buffer, uint8_t lengthHigh,
                  uint8_t lengthLow);                                             // 12
uint8_t GetVersion(const ProgrammerLink& link, std::array<uint8_t, 2>& version);  // 13
uint8_t EraseInit(const ProgrammerLink& link, uint8_t bank);                      // 14 bb
uint8_t GetModuleType(const ProgrammerLink& link, uint8_t& type);                 // 16
uint8_t SetBus8(const ProgrammerLink& link);                                      // 17
uint8_t SetBus16(const ProgrammerLink& link);                                     // 18
uint8_t ChipSelect(const ProgrammerLink& link, uint8_t bank);                     // 23 bb
uint8_t GetChipId(const ProgrammerLink& link, std::array<uint8_t, 4>& id);        // 36
uint8_t EraseStart(const ProgrammerLink& link, uint8_t bank);                     // 50 bb
uint8_t ErasePoll(const ProgrammerLink& link, uint8_t bank, uint8_t& state);      // 51 bb
uint8_t EraseCheck(const ProgrammerLink& link, uint8_t bank, uint8_t& state);     // 52 bb
// One raw write cycle on the chip bus: 60 ah al ax ay dl dh. Returns the library result.
int BusWrite(const ProgrammerLink& link, uint32_t address, uint16_t data);
// Reads n (1..255) raw bytes from the address last set. Returns the library result.
int BusRead(const ProgrammerLink& link, uint8_t* buffer, uint8_t n);

// The text of an 11-byte write error answer: "(%x-%x) (%x-%x) (%x-%x) (%x-%x) %x # %x, %x".
std::string WriteErrorAnswerText(const std::array<uint8_t, 11>& answer);
