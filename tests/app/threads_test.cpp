// Run records, window model and rule list under several threads at once;
// built and run under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/records.h"
#include "app/window_model.h"
#include "chapters/clean_rules.h"
#include "tests/support/support.h"
#include "text/text.h"

namespace tarnlow {
namespace {

using test::Gbk;

TEST(RunLogThreads, NoEntryIsLostAndEachThreadKeepsItsOrder) {
  constexpr int kThreads = 8;
  constexpr int kEntries = 1000;
  RunLog log;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kEntries; ++i)
        log.AddEntry(std::to_string(t) + ":" + std::to_string(i) + "\r\n\r\n");
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::string closing = Gbk("】");
  std::vector<std::string> pieces = Split(log.Text(), Gbk("【"));
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(pieces.front(), "");
  pieces.erase(pieces.begin());
  ASSERT_EQ(pieces.size(), static_cast<std::size_t>(kThreads * kEntries));

  // Newest first: each thread's numbers must appear counting down.
  std::map<int, int> lastSeen;
  for (const std::string& piece : pieces) {
    const int at = Find(piece, closing);
    ASSERT_GT(at, 0) << piece;
    const std::string message = piece.substr(static_cast<std::size_t>(at) - 1 + closing.size());
    const std::size_t colon = message.find(':');
    ASSERT_NE(colon, std::string::npos) << message;
    const int thread = std::stoi(message.substr(0, colon));
    const int number = std::stoi(message.substr(colon + 1));
    auto [it, first] = lastSeen.try_emplace(thread, number);
    if (first) {
      EXPECT_EQ(number, kEntries - 1);
    } else {
      EXPECT_EQ(number, it->second - 1);
      it->second = number;
    }
  }
  EXPECT_EQ(lastSeen.size(), static_cast<std::size_t>(kThreads));
  for (const auto& [thread, number] : lastSeen) EXPECT_EQ(number, 0) << thread;
}

TEST(WindowModelThreads, WorkersTheCommandThreadAndTheWindowShareTheModel) {
  WindowModel model{Recording::On};
  constexpr int kItems = 64;
  for (int i = 0; i < kItems; ++i) model.ListAdd("item");
  std::atomic<int> hookCalls{0};
  model.SetStatusHook([&](const std::string&) { hookCalls.fetch_add(1); });
  model.SetBox(Box::SaveName, "book");
  // The window reads what each delivery names, while the others write.
  std::atomic<int> deliveries{0};
  model.Subscribe([&](const ChangeSet& changes) {
    deliveries.fetch_add(1);
    for (int i : changes.items) (void)model.ListItemAt(i);
    if (changes.Has(Change::Status)) (void)model.Status();
  });

  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&model, w] {
      for (int i = w; i < kItems; i += 4) {
        EXPECT_EQ(model.GetBox(Box::SaveName), "book");
        model.ListSetItemText(i, "done " + std::to_string(i));
        model.ListSelect(i, true);
        model.ListSetTopItem(i);
        model.SetAddressLabel(model.ListItemText(i));
      }
    });
  }
  for (int i = 0; i < 200; ++i) {
    model.SetStatus("progress " + std::to_string(i), false);
    (void)model.ListFirstSelected();
  }
  for (std::thread& worker : workers) worker.join();
  ASSERT_TRUE(model.WaitForDeliveries(std::chrono::seconds(10)));
  model.Subscribe({});

  EXPECT_GE(deliveries.load(), 1);
  EXPECT_EQ(hookCalls.load(), 200);
  EXPECT_EQ(model.StatusHistory().size(), 200u);
  EXPECT_EQ(model.SelectedItems().size(), static_cast<std::size_t>(kItems));
  const std::vector<std::string> items = model.ListItems();
  for (int i = 0; i < kItems; ++i) EXPECT_EQ(items[i], "done " + std::to_string(i));
}

TEST(ChapterListThreads, WorkersWriteTheirOwnTexts) {
  ChapterList chapters;
  constexpr int kChapters = 200;
  for (int i = 0; i < kChapters; ++i) chapters.Append({"t", "http://a/" + std::to_string(i), ""});
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&chapters, w] {
      for (int i = w; i < kChapters; i += 4) {
        EXPECT_FALSE(chapters.HasText(i));
        chapters.SetText(i, "text " + std::to_string(i));
        (void)chapters.Text((i + 1) % kChapters);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  for (int i = 0; i < kChapters; ++i) EXPECT_EQ(chapters.Text(i), "text " + std::to_string(i));
  EXPECT_EQ(chapters.Text(kChapters), "");
}

TEST(CleanRulesThreads, ReadersKeepTheListTheyStartedWith) {
  CleanRules rules;
  rules.Replace({"a"});
  std::atomic<bool> stop{false};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        auto list = rules.Snapshot();
        const std::string expected = list->front() == "a" ? "bc" : "ac";
        EXPECT_EQ(ApplyCleanRules(*list, "abc"), expected);
      }
    });
  }
  for (int i = 0; i < 500; ++i) rules.Replace({i % 2 ? "a" : "b"});
  stop.store(true);
  for (std::thread& reader : readers) reader.join();
}

}  // namespace
}  // namespace tarnlow
