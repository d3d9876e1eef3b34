#pragma once
// Byte-text operations on GBK text. Positions are 1-based byte positions,
// -1 means "not found". A byte of 0x80 or more is the lead byte of a
// double-byte character: no match ever begins on its trail byte.

#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

// First occurrence of `sought` at or after `start` (start <= 0: from the
// beginning). An empty `sought` gives 1 when anything is left to search.
int Find(std::string_view text, std::string_view sought, int start = 0, bool ignoreCase = false);

// Last occurrence lying wholly within the first start - 1 bytes (start <= 0:
// the whole text). An empty `sought` gives 1 when that part is not empty.
int FindLast(std::string_view text, std::string_view sought, int start = 0,
             bool ignoreCase = false);

std::string Left(std::string_view text, int n);
std::string Right(std::string_view text, int n);
// n bytes from the 1-based `start`; a start outside the text gives "".
std::string Middle(std::string_view text, int start, int n);

// Removes ASCII spaces and full-width spaces (A1 A1) at both ends.
std::string Trim(std::string_view text);
std::string ToLower(std::string_view text);
// Without the spaces and tabs at both ends: for protocol and settings text,
// where a full-width space is part of the value.
std::string_view TrimBlanks(std::string_view text);
// Every byte A-Z lowered, with no regard to double-byte characters: for
// protocol text (header names, content types), never for page text.
std::string AsciiLower(std::string_view text);

// Leading optionally signed decimal number after leading white space; 0 when
// there is none. Values beyond the range of long long saturate.
long long ToInteger(std::string_view text);

// Integer rule of the settings file: optional sign, then digits, where the
// full-width digits (A3 B0 .. A3 B9) count as digits; anything else stops.
// The sign is an ASCII "+" or "-"; no white space is skipped.
long long SettingToInteger(std::string_view text);

// maxCount -1: no limit. Empty pieces are kept except a trailing one; an
// empty text or maxCount 0 gives no pieces, an empty delimiter the whole text.
std::vector<std::string> Split(std::string_view text, std::string_view delimiter,
                               int maxCount = -1);

// The text between the marks; `start` is a 0-based byte index. Marks are
// searched without regard to ASCII case unless caseSensitive. strip drops CR
// and LF, turns tabs into spaces and trims the result.
std::string TextBetween(std::string_view text, std::string_view startMark, std::string_view endMark,
                        int start = 0, bool caseSensitive = false, bool strip = false);

}  // namespace tarnlow
