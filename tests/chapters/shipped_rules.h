#pragma once
// The rule set the program ships (data/cleantxt.list.utf8), read the way the
// program reads its cleantxt.list: GBK with CR LF line breaks.

#include <memory>

#include "chapters/clean_rules.h"

namespace tarnlow::test {

std::shared_ptr<const CleanRuleSet> ShippedRules();

}  // namespace tarnlow::test
