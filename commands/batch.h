#pragma once
// Running many books unattended from the stored task list (setting Webs).

#include <string>
#include <string_view>
#include <vector>

#include "app/app.h"

namespace tarnlow {

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

// Whether a copied text is offered as a new task by the clipboard watcher:
// one line, a web address with a path (not a bare site), neither in the
// address box nor in the stored list.
bool IsNewBatchAddress(App& app, std::string_view text);

// Appends the address to the stored list (address + "||"); false, and
// nothing written, when the list holds it already or the file cannot be
// written.
bool AddBatchAddress(App& app, std::string_view address);
// Where the tasks of a batch run come from.
enum class BatchSource {
  Stored,  // the stored list (Webs), which shrinks as tasks end
  Given,   // addresses given for this run only: the stored list is left alone
};

// What became of one batch task.
struct BatchTaskResult {
  std::string address;        // GBK
  bool listed = false;        // the contents command found the chapter list
  ChapterRunReport chapters;  // the chapter run, when listed
};

// Runs the accepted tasks one after the other, on the command thread:
// contents, then chapters, with batch mode on; log.log is written at the
// end. Shows "任务无效！" when there are no tasks. Returns one result per task
// that ran, in order.
std::vector<BatchTaskResult> RunBatchTasks(App& app, BatchSource source = BatchSource::Stored);

}  // namespace tarnlow
