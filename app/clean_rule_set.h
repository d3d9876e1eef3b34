#pragma once
// The user's clean-up rules as loaded from cleantxt.list, each compiled once,
// and the holder the program keeps them in.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "text/regex.h"

namespace tarnlow {

using CleanRuleTexts = std::vector<std::string>;  // GBK, in file order

// A rule list with every rule compiled once, for all the chapters and all the
// threads that apply it. Read like the list of rule texts it was made from.
class CleanRuleSet {
 public:
  using const_iterator = CleanRuleTexts::const_iterator;
  using iterator = const_iterator;
  using value_type = std::string;

  CleanRuleSet() = default;
  explicit CleanRuleSet(CleanRuleTexts rules);

  const CleanRuleTexts& Texts() const { return m_texts; }
  operator const CleanRuleTexts&() const { return m_texts; }  // NOLINT: reads as the list
  const_iterator begin() const { return m_texts.begin(); }
  const_iterator end() const { return m_texts.end(); }
  std::size_t size() const { return m_texts.size(); }
  bool empty() const { return m_texts.empty(); }
  const std::string& operator[](std::size_t i) const { return m_texts[i]; }
  const std::string& front() const { return m_texts.front(); }
  friend bool operator==(const CleanRuleSet& a, const CleanRuleTexts& b) { return a.m_texts == b; }

  // Rule i compiled; null when it does not compile (or is empty).
  const RegexPattern* Pattern(std::size_t i) const { return m_patterns[i].get(); }

 private:
  CleanRuleTexts m_texts;
  std::vector<std::shared_ptr<const RegexPattern>> m_patterns;
};

// The rule set is immutable once built and replaced as a whole, so a worker
// keeps the set it started with while the user saves a new one.
class CleanRules {
 public:
  using List = CleanRuleTexts;

  std::shared_ptr<const CleanRuleSet> Snapshot() const;
  // Compiles the rules (outside the lock) and puts the new set in place.
  void Replace(List rules);

 private:
  mutable std::mutex m_mutex;
  std::shared_ptr<const CleanRuleSet> m_set = std::make_shared<const CleanRuleSet>();
};

// The rules that a run had to skip, so that the run can name each of them
// once: those that do not compile and those that ran out of time on some
// chapter. Any thread may add.
class SkippedRules {
 public:
  void Add(std::size_t rule);
  // Rule numbers (0-based, in the set's order), ascending, each once.
  std::vector<std::size_t> Rules() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::size_t> m_rules;
};

}  // namespace tarnlow
