// Builds log lines from the system's message patterns. Each placeholder (%s, %d, %x,
// %X, %c) takes the next argument, already turned into text, and the argument is put in
// literally: a path holding "%" is never read as a format. A "%" followed by anything
// else stays as it is ("Reading %d%" keeps its trailing percent sign).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

std::string LogText(const std::string& pattern, std::initializer_list<std::string> args);

// Lower-case hexadecimal without leading zeros, as "%x" prints.
std::string Hex(uint32_t value);
// Upper-case hexadecimal without leading zeros, as "%X" prints.
std::string HexUpper(uint32_t value);
