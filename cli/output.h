#pragma once
// The terminal side of tarnlow-cli: writing to standard output and standard
// error, and noticing when standard output cannot take what is written.

#include <cstdio>
#include <string>
#include <string_view>

namespace tarnlow::cli {

// Writes UTF-8 to a stream and flushes it. A failed write to standard output
// is remembered (StandardOutputError).
void Print(std::FILE* stream, std::string_view utf8);
// Writes GBK text to a stream as UTF-8.
void PrintGbk(std::FILE* stream, const std::string& gbk);

// errno of the first write to standard output that failed (a full disk, a
// closed stream), 0 when none did.
int StandardOutputError();

// Puts /dev/null on standard input, output or error when one is closed, so
// that the next file the program opens does not take its number and receive
// the output meant for the terminal. A closed standard output also counts as
// a failed write (EBADF).
void GuardStandardStreams();

}  // namespace tarnlow::cli
