#pragma once
// The commands of tarnlow-cli: one function each, found by name in a table.

#include <span>
#include <string_view>

#include "cli/options.h"

namespace tarnlow::cli {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,
  kExitUsage = 2,
  kExitChaptersFailed = 3,  // the book was saved, but some chapters have no text
  kExitInterrupted = 130,   // a second Ctrl+C ended the run
};

struct Command {
  std::string_view name;
  int (*run)(const CliOptions& options);
};

std::span<const Command> Commands();

// fetch URL: one page as the program sees it, printed as UTF-8.
int FetchCommand(const CliOptions& options);

// contents URL: the contents command; prints the save name, then one
// "title TAB url" line per chapter.
int ContentsCommand(const CliOptions& options);
// preview URL: one chapter page's extracted text, as the text marks give it.
int PreviewCommand(const CliOptions& options);
// get URL: the contents command, the chapter command and the book; prints
// the book file's path, and the chapters that failed on standard error.
int GetCommand(const CliOptions& options);
// batch [URL...]: the given addresses (the stored list left as it is), or
// the stored list, run one by one; prints one line per saved book, and the
// tasks and chapters that failed on standard error.
int BatchCommand(const CliOptions& options);
// update BOOK: brings a book saved with its record up to date; prints the
// book file's path when it was updated or had nothing new.
int UpdateCommand(const CliOptions& options);

// The whole program: parses, dispatches, returns the exit status.
int RunCli(const std::vector<std::string_view>& args);

}  // namespace tarnlow::cli
