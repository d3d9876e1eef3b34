#include "app/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "app/files.h"
#include "text/codepage.h"

namespace tarnlow {

namespace {
constexpr const char* kLogFileName = "log.log";
}

std::string TimeStamp() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

void AddLogEntry(App& app, std::string_view message) { app.log.AddEntry(message); }

void ClearLog(App& app) { app.log.Clear(); }

void LoadLogFile(App& app) {
  const FileBytes file = ReadFileBytes(app.programDir / kLogFileName);
  std::string text = file.bytes;
  if (const std::size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  app.log.SetText(std::move(text));
  if (file.state == FileBytes::State::Failed) {
    AddNotice(app, UnreadableFileNotice(kLogFileName, file.error));
  }
}

void SaveLogFile(App& app) {
  const std::filesystem::path path = app.programDir / kLogFileName;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int error = errno;
  if (fd >= 0) {
    bool saved = WriteAll(fd, app.log.Text());
    error = errno;
    if (::close(fd) != 0 && saved) {
      saved = false;
      error = errno;
    }
    if (saved) return;
  }
  AddNotice(app,
            Gbk<"无法写入 ">() + kLogFileName + Gbk<"（">() + ErrorText(error) + Gbk<"）。">());
}

void AddNotice(App& app, const std::string& message) {
  if (app.noticeHook) app.noticeHook(message);
  app.log.AddEntry(message + "\r\n\r\n");
  app.model.SetStatus(message, true);
}

const std::string& IdleHelpText() {
  return Gbk<
      "\r\n操作步骤：1、取目录列表          2、取章节文本\r\n\r\n\r\n"
      "也可以用 菜单-批处理 来自动执行。\r\n\r\n"
      "使用开始、结束标记定位，可以提升处理效率和准确率。"
      "监视剪辑版的获取链接，需打开批处理">();
}

const std::string& CancellingText() { return Gbk<"\r\n 正在取消，请稍后...">(); }

std::string ProgressText(const ChapterProgress& p) {
  const auto n = [](int v) { return std::to_string(v); };
  return Gbk<" 任务数量：">() + n(p.taskCount) + "\r\n" + Gbk<" 当前任务：">() + n(p.taskNumber) +
         "\r\n" + Gbk<" 章节列表：">() + n(p.total) + "\r\n" + Gbk<" 剩余未读：">() + n(p.queued) +
         "\r\n" + Gbk<" 正在读取：">() + n(p.reading) + "\r\n" + Gbk<" 已读取数：">() + n(p.done) +
         (p.cached > 0 ? "\r\n" + Gbk<" 来自缓存：">() + n(p.cached) : std::string()) + "\r\n" +
         Gbk<" 读取失败：">() + n(p.failed) +
         Gbk<"   详情查看日志【帮助-日志】，每次执行将覆盖上一次日志记录，注意及时查看！">();
}

}  // namespace tarnlow
