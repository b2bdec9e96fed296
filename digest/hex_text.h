// Digest bytes as text, the way every digest of the tool is shown and compared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Each byte as two lower-case hexadecimal digits, high half first.
std::string LowerHexText(const uint8_t* bytes, size_t count);
