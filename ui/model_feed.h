#pragma once
// Carries the window model's change announcements to the UI thread. The
// model calls its subscriber on a thread of its own; the changes are merged
// here and at most one event is pending at any time, so nine workers
// updating list items cannot flood the event loop: however many deliveries
// come while the UI thread is busy, it renders once, from the model's state
// at that moment.

#include <QObject>

#include <functional>
#include <mutex>

#include "app/window_model.h"

namespace tarnlow::ui {

class ModelFeed {
 public:
  using Render = std::function<void(const ChangeSet&)>;

  // Made on the UI thread; `render` runs there. Subscribes at once (the
  // first delivery names everything).
  ModelFeed(WindowModel& model, Render render);
  // Unsubscribes; a render still pending is dropped.
  ~ModelFeed();
  ModelFeed(const ModelFeed&) = delete;
  ModelFeed& operator=(const ModelFeed&) = delete;

  // Renders now what has gathered, instead of waiting for the posted event.
  void Flush();

 private:
  void Deliver(const ChangeSet& changes);  // model's thread

  WindowModel& m_model;
  Render m_render;
  QObject m_uiContext;

  std::mutex m_mutex;
  ChangeSet m_pending;
  bool m_posted = false;
};

// Merges `more` into `into`: the union of changes, boxes and items; a whole
// list change makes the item list moot.
void MergeChanges(ChangeSet& into, const ChangeSet& more);

}  // namespace tarnlow::ui
