// Character counts of the database's texts. Names and descriptions are limited in
// characters: UTF-8 text counts code points and is cut between them; text that is not
// valid UTF-8 (some other 8-bit code page) counts and is cut byte by byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates,
// nothing above U+10FFFF. ASCII is valid.
bool IsValidUtf8(std::string_view text);

// Code points of valid UTF-8, bytes of anything else.
size_t CharacterCount(std::string_view text);

// The first `count` characters of `text` (all of it when shorter), counted as above, so
// that a cut never splits a UTF-8 character.
std::string_view FirstCharacters(std::string_view text, size_t count);

// How a message box quotes a key or value: at most its first 200 characters, followed
// by "…" when something was left out.
inline constexpr size_t kMaxQuotedCharacters = 200;
std::string QuotedText(std::string_view text);
