#include "cli/session.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>

#include "app/delay.h"
#include "app/program_dir.h"
#include "app/run_log.h"
#include "chapters/chapter_cache.h"
#include "chapters/clean_rules.h"
#include "commands/commands.h"
#include "text/codepage.h"
#include "text/text.h"

namespace tarnlow::cli {
namespace {

std::atomic<int> g_interrupts{0};

void OnInterrupt(int) {
  // The second Ctrl+C closes the window; a third one is no longer caught.
  if (g_interrupts.fetch_add(1) >= 1) signal(SIGINT, SIG_DFL);
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// How often the command's wait looks at Ctrl+C.
constexpr std::chrono::milliseconds kInterruptPoll{20};

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return Trim(text);
}

// Said only when chapters came from the cache, so that runs without it print
// what they always printed.
std::string CachedText(const ChapterProgress& p) {
  return p.cached > 0 ? ", " + std::to_string(p.cached) + " from cache" : std::string();
}

void ApplyOverrides(App& app, WindowModel& model, const CliOptions& o) {
  if (o.listBegin) model.SetBox(Box::ListBegin, *o.listBegin);
  if (o.listEnd) model.SetBox(Box::ListEnd, *o.listEnd);
  if (o.textBegin) model.SetBox(Box::TextBegin, *o.textBegin);
  if (o.textEnd) model.SetBox(Box::TextEnd, *o.textEnd);
  if (o.name) model.SetBox(Box::SaveName, *o.name);
  if (o.download) app.state.downloadFolder = GbkToPath(*o.download).string();
  if (o.threads) app.state.threadCount = *o.threads;
  if (o.retry) {
    app.state.retryCount = *o.retry;
    model.SetBox(Box::Retry, std::to_string(*o.retry));
  }
  if (o.delayMs) {
    app.state.delayMs = std::max(1, *o.delayMs);
    model.SetBox(Box::DelayMs, std::to_string(app.state.delayMs));
  }
  if (o.lineMode) app.state.lineMode = *o.lineMode;
  if (o.autoText) app.state.autoText = *o.autoText;
  if (o.resume) app.state.resume = *o.resume;
  if (o.backOff) app.state.backOff = *o.backOff;
  if (o.nameFormat) app.state.fileNameFormat = *o.nameFormat;
  if (o.nextPage) model.SetOption(Option::NextPage, *o.nextPage);
  if (o.cleanDubious) model.SetOption(Option::CleanDubious, *o.cleanDubious);
  if (o.keepDubiousWithMarks)
    model.SetOption(Option::KeepDubiousWithMarks, *o.keepDubiousWithMarks);
  if (o.renumber) model.SetOption(Option::Renumber, *o.renumber);
  if (o.autoList) model.SetOption(Option::AutoList, *o.autoList);
}

}  // namespace

Session::Session(const CliOptions& options) {
  m_app = std::make_unique<App>(m_model, m_shell, ProgramDir(options.home));
  m_terminal = isatty(STDERR_FILENO) != 0;
  // Without a window to keep the texts for another try, a book the download
  // folder refuses goes to a file of its own.
  m_app->rescueUnsavedBooks = true;
  m_app->noticeHook = [this](const std::string& notice) { OnNotice(notice); };
  m_model.SetStatusHook([this](const std::string& status) { OnStatus(status); });
  // What the desktop program does at start: rules and settings.
  LoadCleanRules(*m_app);
  ApplyStartupSettings(*m_app);
  m_model.SetTitle(WindowTitle());
  m_model.SetExecuteCaption(CaptionContents());
  ApplyOverrides(*m_app, m_model, options);
  PruneChapterCache(m_app->programDir);

  m_shell.SetMessageHook([](const MessageRecord& m) {
    std::string text = m.text;
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      if (text[i] == '\r' || text[i] == '\n') {
        escaped += "\\n";
      } else {
        escaped += text[i];
      }
    }
    PrintGbk(stderr, m.title + ": " + escaped + "\n");
  });
  m_commands = std::make_unique<CommandThread>(*m_app);

  g_interrupts = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

Session::~Session() {
  signal(SIGINT, SIG_DFL);
  m_commands.reset();
  m_model.SetStatusHook({});
  std::lock_guard lock(m_printMutex);
  EndProgressLocked();
}

bool Session::LibrariesPresent() {
  if (BindDelayLibrary(ExecutableDir())) return true;
  m_shell.ShowMessage(Gbk<"文件丢失，无法继续，请重新下载！">(), Gbk<"警告">(),
                      MessageIcon::Exclamation);
  return false;
}

void Session::Run(const std::function<void()>& command) {
  if (!m_commands->Start(command)) return;
  while (!m_commands->Wait(kInterruptPoll)) {
    const int interrupts = g_interrupts.load();
    if (interrupts >= 1 && !m_cancelSeen) {
      m_cancelSeen = true;
      CancelOrReset(*m_app);
    }
    if (interrupts >= 2) QueryClose(*m_app);
  }
}

void Session::EndProgressLocked() {
  if (m_barShown) {
    std::fputs("\n", stderr);
    m_barShown = false;
  }
  if (m_unprinted && m_unprinted != m_printed) {
    const ChapterProgress& p = *m_unprinted;
    std::fprintf(stderr, "%d/%d chapters, %d reading, %d queued, %d failed%s\n", p.done, p.total,
                 p.reading, p.queued, p.failed, CachedText(p).c_str());
    m_printed = m_unprinted;
  }
  m_unprinted.reset();
}

void Session::OnNotice(const std::string& notice) {
  std::lock_guard lock(m_printMutex);
  m_notices.insert(notice);
  EndProgressLocked();
  PrintGbk(stderr, OneLine(notice) + "\n");
}

// Runs right after each status text is set, on the thread that set it.
void Session::OnStatus(const std::string& status) {
  std::lock_guard lock(m_printMutex);
  if (m_notices.count(status) != 0) return;
  if (const std::optional<ChapterProgress> p = m_model.Progress()) {
    const long long now = NowMs();
    if (m_terminal) {
      const int width = 30;
      const int filled = p->total > 0 ? p->done * width / p->total : width;
      std::fprintf(stderr, "\r[%s%s] %d/%d, reading %d, failed %d%s ",
                   std::string(static_cast<std::size_t>(filled), '#').c_str(),
                   std::string(static_cast<std::size_t>(width - filled), '.').c_str(), p->done,
                   p->total, p->reading, p->failed, CachedText(*p).c_str());
      std::fflush(stderr);
      m_barShown = true;
    } else {
      // At most a line a second; the counts held back are printed when the
      // run moves on, so the last line shows how it ended.
      m_unprinted = *p;
      if (now - m_lastLineMs >= 1000) {
        m_lastLineMs = now;
        EndProgressLocked();
      }
    }
    return;
  }
  EndProgressLocked();
  // Short status texts tell what the command is doing; the help text and the
  // fetched page are not worth a line.
  if (status.size() > 200 || status == IdleHelpText()) return;
  const std::string line = OneLine(status);
  if (line.empty() || line == m_lastShort) return;
  m_lastShort = line;
  PrintGbk(stderr, line + "\n");
}

}  // namespace tarnlow::cli
