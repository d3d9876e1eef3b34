// Nine threads changing the items of a 5,000-item list at once: what the
// list box shows in the end is what the model holds, texts, selection and
// top item alike, with no update lost in the merging on the way.

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QTest>

#include <random>
#include <thread>

#include "app/app.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_tests.h"
#include "text/codepage.h"
#include "ui/qt_text.h"

namespace tarnlow::ui::test {

namespace {

constexpr int kItems = 5000;
constexpr int kThreads = 9;
constexpr int kUpdatesPerThread = 1500;

bool ViewMatchesModel(MainWindow& window, WindowModel& model) {
  QListView* list = window.ListBox();
  QAbstractItemModel* rows = list->model();
  const std::vector<ListItem> items = model.ListSnapshot();
  if (rows->rowCount() != static_cast<int>(items.size())) return false;
  for (int row = 0; row < rows->rowCount(); ++row) {
    const QModelIndex index = rows->index(row, 0);
    const ListItem& item = items[static_cast<std::size_t>(row)];
    if (rows->data(index).toString() != ToQt(item.text)) return false;
    if (list->selectionModel()->isSelected(index) != item.selected) return false;
  }
  return true;
}

}  // namespace

void ListFeedTest::itemStormEndsAsTheModelSays() {
  ProgramUnderTest program;
  QVERIFY(program.Create());
  WindowModel& model = program.program().model();
  MainWindow& window = program.window();

  std::vector<std::string> texts;
  for (int i = 0; i < kItems; ++i) texts.push_back(Utf8ToAnsi("第" + std::to_string(i + 1) + "章"));
  model.ListSetAll(texts);
  for (int i : {3, 4, 5, 4000}) model.ListSelect(i, true);

  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&model, t] {
      std::mt19937 random(static_cast<unsigned>(t));
      for (int u = 0; u < kUpdatesPerThread; ++u) {
        const int item = static_cast<int>(random() % kItems);
        model.ListSetItemText(item, Utf8ToAnsi("第" + std::to_string(item + 1) + "章 完成 " +
                                               std::to_string(t) + "/" + std::to_string(u)));
        if (u % 50 == 0) model.ListSelect(item, u % 100 == 0);
        if (u % 200 == 0) model.ListSetTopItem(item);
      }
    });
  }
  // The UI thread keeps rendering while they run.
  QTest::qWait(10);
  for (std::thread& worker : workers) worker.join();
  model.ListSetTopItem(2500);

  QTRY_VERIFY_WITH_TIMEOUT(ViewMatchesModel(window, model), 60000);
  QTRY_COMPARE_WITH_TIMEOUT(window.ListBox()->indexAt(QPoint(2, 2)).row(), 2500, 60000);
}

}  // namespace tarnlow::ui::test
