#include "shadow/owner_registry.h"

#include <algorithm>

namespace penumbrix {

bool OwnerRegistry::Register(QWidget* owner, std::string_view style) {
  for (Entry& entry : m_entries) {
    if (entry.owner == owner) {
      entry.style = style;
      return false;
    }
  }
  std::erase_if(m_entries, [](const Entry& entry) { return entry.owner.isNull(); });
  m_entries.push_back(Entry{owner, std::string(style)});
  return true;
}

std::optional<std::string> OwnerRegistry::StyleOf(const QWidget* owner) const {
  auto it = std::find_if(m_entries.begin(), m_entries.end(),
                         [owner](const Entry& entry) { return entry.owner == owner; });
  if (it == m_entries.end()) return std::nullopt;
  return it->style;
}

}  // namespace penumbrix
