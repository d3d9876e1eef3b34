#pragma once
// Running many books unattended from the stored task list (setting Webs).

#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

struct App;

// The lines of `editText` (split at "\r\n") that are web addresses with a
// path, unchanged; other lines are dropped without a word.
std::vector<std::string> ValidBatchLines(std::string_view editText);

// The dialog's 开始处理: valid lines become the coming tasks and the stored
// list (each address + "||"). With `run` false (the right click) the list is
// only stored.
void AcceptBatchList(App& app, std::string_view editText, bool run);

// The stored list, one address a line.
std::string StoredBatchText(App& app);

// What the batch dialog shows when it opens: the stored list one address a
// line, plus the address box's address when it is not among them.
std::string BatchDialogText(App& app);

// Runs the accepted tasks one after the other, on the command thread:
// contents, then chapters, with batch mode on; the stored list shrinks as
// tasks end; log.log is written at the end. Shows "任务无效！" when there are
// no tasks.
void RunBatchTasks(App& app);

}  // namespace tarnlow
