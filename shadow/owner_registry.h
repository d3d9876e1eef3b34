#pragma once
// The owners that have a shadow, each with its own copy of the style text
// that chooses the shadow's picture.

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace penumbrix {

class OwnerRegistry {
 public:
  // Records owner's style. For an owner already present only the style
  // changes and the result is false. Otherwise the entries of owners that no
  // longer exist are dropped, owner is appended and the result is true.
  bool Register(QWidget* owner, std::string_view style);

  // The style recorded for owner, or nothing when owner has no entry.
  std::optional<std::string> StyleOf(const QWidget* owner) const;

  std::size_t Size() const { return m_entries.size(); }

 private:
  struct Entry {
    // Becomes null when the owner is destroyed, so a later window that
    // happens to get the same address is never mistaken for it.
    QPointer<QWidget> owner;
    std::string style;
  };
  std::vector<Entry> m_entries;
};

}  // namespace penumbrix
