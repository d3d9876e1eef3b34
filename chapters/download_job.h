#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/back_off.h"
#include "app/clean_rule_set.h"
#include "app/records.h"
#include "chapters/chapter_cache.h"
#include "chapters/clean_rules.h"
#include "fetch/fetch_page.h"

namespace tarnlow {

struct App;

// The chapter command: checks that the download folder can take the book,
// fetches every chapter whose text is still empty on a worker pool, shows
// the progress every 200 ms, honours cancel and window closing, and saves
// the book. True when the book file was written; app.lastRun says more.
// `taskNumber` is the 1-based batch task, 0 outside a batch.
bool DownloadChapters(App& app, int taskNumber);

// What a chapter run reads, fixed when it starts: the work items read these
// and the window model, and never wait on any other thread.
struct ChapterRun {
  int retryCount = 0;
  int delayMs = 0;
  int lineMode = 0;
  bool autoText = false;  // 自动识别正文
  std::string textBegin;  // the text marks
  std::string textEnd;
  std::string saveName;  // named in the failure lines
  std::shared_ptr<const CleanRuleSet> rules;
  RuleFaultHandler onRuleFault;  // names a skipped rule; may be empty
  // Per chapter (0-based): the typed text marks were not on its page. Each
  // work item writes only its own element; the run owns the vector.
  std::vector<char>* marksMissing = nullptr;
  // With Resume on: where fetched pages are kept and taken from, and how many
  // chapters were taken from it. Null with Resume off.
  ChapterCache* cache = nullptr;
  std::atomic<int>* cachedCount = nullptr;
  // With BackOff on: the per-host slowing down. Null with BackOff off.
  BackOff* backOff = nullptr;
};
ChapterRun CaptureChapterRun(App& app);

// Whether a chapter page can be the chapter: an empty answer, or one whose
// content coding could not be undone, is retried and then counts as failed.
bool UsableChapterPage(const FetchResult& page);

// The work item of one chapter (1-based), run on a worker thread.
void FetchChapter(App& app, int chapterNumber, const ChapterRun& run);

}  // namespace tarnlow
