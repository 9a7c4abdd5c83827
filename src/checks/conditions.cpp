#include "checks/conditions.h"

#include <cstdlib>

#include "base/profile.h"
#include "base/text.h"

namespace kq {
namespace {

constexpr char kSection[] = "CONDITIONS";
// TOTAL and the action counts are read like every count of the script.
constexpr size_t kCountSize = 100;

std::string ReadItem(const ProfileReader& script, char column, int index) {
    std::string key = std::string(1, column) + std::to_string(index);
    return script.Read(kSection, key.c_str(), kProfileValueSize);
}

int ReadCount(const ProfileReader& script, const std::string& key, int limit) {
    int count = LeadingNumber(script.Read(kSection, key.c_str(), kCountSize));
    if (count < 0) return 0;
    return count > limit ? limit : count;
}

}  // namespace

ConditionAction ParseAction(const std::string& line) {
    ConditionAction action;
    if (line == "CancelInstall();") {
        action.kind = ActionKind::kCancelInstall;
        return action;
    }
    if (line.find("ShowMessage") == std::string::npos) return action;
    action.kind = ActionKind::kShowMessage;
    // A line without "(" gives the whole line, cut the same way.
    size_t open = line.find('(');
    std::string rest = open == std::string::npos ? line : line.substr(open + 1);
    action.message = rest.size() > 2 ? rest.substr(0, rest.size() - 2) : std::string();
    return action;
}

double LeadingDouble(const std::string& text) {
    // Take only what decimal notation allows, so the platforms' libraries
    // (some of which read hexadecimal, infinities and NaN) agree.
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && (text[p] == ' ' || (text[p] >= '\t' && text[p] <= '\r'))) ++p;
    const size_t start = p;
    if (p < n && (text[p] == '+' || text[p] == '-')) ++p;
    size_t digits = 0;
    while (p < n && text[p] >= '0' && text[p] <= '9') ++p, ++digits;
    if (p < n && text[p] == '.') {
        ++p;
        while (p < n && text[p] >= '0' && text[p] <= '9') ++p, ++digits;
    }
    if (digits == 0) return 0.0;
    if (p < n && (text[p] == 'e' || text[p] == 'E')) {
        size_t q = p + 1;
        if (q < n && (text[q] == '+' || text[q] == '-')) ++q;
        if (q < n && text[q] >= '0' && text[q] <= '9') {
            while (q < n && text[q] >= '0' && text[q] <= '9') ++q;
            p = q;
        }
    }
    std::string number = text.substr(start, p - start);
    // Out of range gives +-HUGE_VAL or 0, which still compare sensibly.
    return std::strtod(number.c_str(), nullptr);
}

bool Compare(const std::string& left, const std::string& op, const std::string& right) {
    if (op == "==") return left == right;
    if (op == "!=") return left != right;
    const bool ordering = op == ">" || op == "<" || op == ">=" || op == "=<";
    if (!ordering) return false;
    const double a = LeadingDouble(left);
    const double b = LeadingDouble(right);
    if (op == ">") return a > b;
    if (op == "<") return a < b;
    if (op == ">=") return a >= b;
    return a <= b;
}

void ConditionList::Load(const ProfileReader& script) {
    m_conditions.clear();
    const int total = ReadCount(script, "TOTAL", kMaxConditions);
    for (int i = 0; i < total; ++i) {
        Condition condition;
        condition.name = ReadItem(script, 'A', i);
        condition.left = ReadItem(script, 'B', i);
        condition.op = ReadItem(script, 'C', i);
        condition.right = ReadItem(script, 'D', i);
        condition.trigger = ReadItem(script, 'E', i);
        const int lines = ReadCount(script, "F" + std::to_string(i), kMaxActionLines);
        for (int j = 0; j < lines; ++j) {
            std::string key = std::to_string(i) + std::to_string(j);
            condition.actions.push_back(script.Read(kSection, key.c_str(), kProfileValueSize));
        }
        m_conditions.push_back(std::move(condition));
    }
}

bool ConditionList::Evaluate(int index, const ConditionContext& context) const {
    if (index < 0 || index >= Count()) return false;
    const Condition& condition = At(index);
    auto expand = [&](const std::string& text) { return context.expand ? context.expand(text) : text; };
    if (!Compare(expand(condition.left), condition.op, expand(condition.right))) return false;
    if (context.actions == nullptr) return true;
    for (const std::string& line : condition.actions) {
        ConditionAction action = ParseAction(line);
        switch (action.kind) {
        case ActionKind::kCancelInstall:
            context.actions->CancelInstall();
            break;
        case ActionKind::kShowMessage:
            context.actions->ShowMessage(action.message);
            break;
        case ActionKind::kNone:
            break;
        }
    }
    return true;
}

bool ConditionList::IsConditionMet(const std::string& name, const ConditionContext& context) const {
    if (name.empty() || name == "No Condition") return true;
    // The later of two records with one name decides.
    for (int i = Count() - 1; i >= 0; --i) {
        if (At(i).name == name) return Evaluate(i, context);
    }
    return true;
}

void ConditionList::Fire(const std::string& trigger, const ConditionContext& context) const {
    if (trigger.empty()) return;
    for (int i = 0; i < Count(); ++i) {
        if (At(i).trigger == trigger) Evaluate(i, context);
    }
}

}  // namespace kq
