#include "app/clean_rule_set.h"

#include <algorithm>
#include <utility>

namespace tarnlow {

CleanRuleSet::CleanRuleSet(CleanRuleTexts rules) : m_texts(std::move(rules)) {
  m_patterns.reserve(m_texts.size());
  for (const std::string& rule : m_texts)
    m_patterns.push_back(rule.empty() ? nullptr : RegexPattern::Compile(rule, 0, false));
}

std::shared_ptr<const CleanRuleSet> CleanRules::Snapshot() const {
  std::lock_guard lock(m_mutex);
  return m_set;
}

void CleanRules::Replace(List rules) {
  auto set = std::make_shared<const CleanRuleSet>(std::move(rules));
  std::lock_guard lock(m_mutex);
  m_set = std::move(set);
}

void SkippedRules::Add(std::size_t rule) {
  std::lock_guard lock(m_mutex);
  const auto at = std::lower_bound(m_rules.begin(), m_rules.end(), rule);
  if (at == m_rules.end() || *at != rule) m_rules.insert(at, rule);
}

std::vector<std::size_t> SkippedRules::Rules() const {
  std::lock_guard lock(m_mutex);
  return m_rules;
}

}  // namespace tarnlow
