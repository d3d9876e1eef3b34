#include "ui/model_feed.h"

#include <algorithm>
#include <utility>

namespace tarnlow::ui {

void MergeChanges(ChangeSet& into, const ChangeSet& more) {
  into.changes |= more.changes;
  into.boxes |= more.boxes;
  if (into.Has(Change::List)) {
    into.items.clear();
    return;
  }
  if (more.items.empty()) return;
  std::vector<int> merged;
  merged.reserve(into.items.size() + more.items.size());
  std::set_union(into.items.begin(), into.items.end(), more.items.begin(), more.items.end(),
                 std::back_inserter(merged));
  into.items = std::move(merged);
}

ModelFeed::ModelFeed(WindowModel& model, Render render)
    : m_model(model), m_render(std::move(render)) {
  m_model.Subscribe([this](const ChangeSet& changes) { Deliver(changes); });
}

ModelFeed::~ModelFeed() { m_model.Subscribe({}); }

void ModelFeed::Deliver(const ChangeSet& changes) {
  {
    std::lock_guard lock(m_mutex);
    MergeChanges(m_pending, changes);
    if (m_posted) return;
    m_posted = true;
  }
  QMetaObject::invokeMethod(
      &m_uiContext, [this] { Flush(); }, Qt::QueuedConnection);
}

void ModelFeed::Flush() {
  ChangeSet changes;
  {
    std::lock_guard lock(m_mutex);
    changes = std::exchange(m_pending, ChangeSet{});
    m_posted = false;
  }
  if (changes.changes != 0) m_render(changes);
}

}  // namespace tarnlow::ui
