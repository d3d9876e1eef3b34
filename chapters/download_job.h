#pragma once

namespace tarnlow {

struct App;

// The chapter command: fetches every chapter whose text is still empty on a
// worker pool, shows the progress every 200 ms, honours cancel and window
// closing, and saves the book. True when the book file was written.
// `taskNumber` is the 1-based batch task, 0 outside a batch.
bool DownloadChapters(App& app, int taskNumber);

// Settings a chapter run reads, fixed when the run starts.
struct ChapterRunSettings {
  int retryCount = 0;
  int delayMs = 0;
  int lineMode = 0;
  bool autoText = false;
};

// The work item of one chapter (1-based), run on a worker thread.
void FetchChapter(App& app, int chapterNumber, const ChapterRunSettings& settings);

}  // namespace tarnlow
