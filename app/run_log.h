#pragma once
// The run log file (log.log) and the status texts shared by the commands.

#include <string>
#include <string_view>

#include "app/app.h"

namespace tarnlow {

// Local time as "HH:MM:SS".
std::string TimeStamp();

// Puts "【" + TimeStamp() + "】" + message in front of the log.
void AddLogEntry(App& app, std::string_view message);
void ClearLog(App& app);
// log.log in the program directory: bytes up to the first zero byte. A
// log.log that cannot be read counts as missing, with a notice.
void LoadLogFile(App& app);
// Replaces log.log with the log's bytes. A failure is noticed and changes
// nothing else.
void SaveLogFile(App& app);

// Tells the user something that needs no answer (a file that could not be
// read, a clean rule skipped): the front end's notice hook, an entry in
// front of the run log, and the status panel with the caret at its end.
// Any thread.
void AddNotice(App& app, const std::string& message);

const std::string& IdleHelpText();    // the help text of the idle window
const std::string& CancellingText();  // "\r\n 正在取消，请稍后..."

// The progress block of a chapter run, seven lines, made from its counts.
std::string ProgressText(const ChapterProgress& progress);

}  // namespace tarnlow
