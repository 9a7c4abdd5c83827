// The author's conditions: named comparisons of two texts from the setup
// script's CONDITIONS section, each with a few action lines that run when it
// holds. They fire by themselves when the wizard enters the page named in
// their trigger (or at Finish), and script items name them to decide whether
// they are carried out.
//
// The section (every value read as the profile reader gives it: 254
// characters at most, a missing key reads as ""):
//   TOTAL   number of conditions (leading decimal digits; none, 0 or a
//           negative number means no conditions; more than kMaxConditions
//           are not read)
//   A<i>    name, compared exactly
//   B<i>    left operand, placeholder-expanded at each evaluation
//   C<i>    operator: "==", "!=", ">", "<", ">=", "=<"
//   D<i>    right operand, like the left one
//   E<i>    trigger: a layout file name ("license.lcd"), or
//           "After Click Finish Button"; empty means never by itself
//   F<i>    number of action lines (at most kMaxActionLines are read)
//   <i><j>  action line j of condition i, both in decimal and written
//           together ("00", "01", ..., "10"); the keys of condition 1 line 11
//           and condition 11 line 1 are the same "111", as the format has it.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kq {

class ProfileReader;

constexpr int kMaxConditions = 30;
// Not a limit of the format, but no script needs more and a damaged one must
// not make the program read thousands of keys for each condition.
constexpr int kMaxActionLines = 100;

// The trigger of the conditions that fire when the user presses Finish.
constexpr char kFinishTrigger[] = "After Click Finish Button";

struct Condition {
    std::string name;
    std::string left;
    std::string op;
    std::string right;
    std::string trigger;
    std::vector<std::string> actions;
};

// What an action line asks for.
enum class ActionKind { kNone, kCancelInstall, kShowMessage };
struct ConditionAction {
    ActionKind kind = ActionKind::kNone;
    std::string message;  // ShowMessage's text, shown as written (no expansion)
};

// "CancelInstall();" exactly cancels; a line holding "ShowMessage" shows the
// text after its first "(" less the line's last two characters (for
// `ShowMessage(Hello);` that is "Hello"); anything else does nothing.
ConditionAction ParseAction(const std::string& line);

// The comparison of two expanded operands: "==" and "!=" compare the bytes,
// the four ordering operators compare the texts' leading numbers (0 for a
// text without one). Only "=<" is less-or-equal; "<=" and any other operator
// are false.
bool Compare(const std::string& left, const std::string& op, const std::string& right);

// The leading number of a text, as the C library's text-to-double conversion
// reads decimal notation: blanks, a sign, digits with an optional point and
// an optional exponent; 0 when there is none. Hexadecimal, "inf" and "nan"
// are not numbers here, as they were not for the system's own library.
double LeadingDouble(const std::string& text);

// Carries out the actions of a condition that holds.
class ConditionActions {
public:
    virtual ~ConditionActions() = default;
    virtual void CancelInstall() = 0;
    // Returns once the user has closed the message.
    virtual void ShowMessage(const std::string& text) = 0;
};

using TextExpander = std::function<std::string(const std::string&)>;

// How one evaluation sees the run: the placeholder expansion of the operands
// (none when empty) and where the actions go (none run when null: the
// install worker evaluates conditions without opening windows).
struct ConditionContext {
    TextExpander expand;
    ConditionActions* actions = nullptr;
};

// The condition list, read once at start-up. Copies are independent (the
// install worker takes one).
class ConditionList {
public:
    // LoadConditions: replaces the list with the script's CONDITIONS section.
    void Load(const ProfileReader& script);

    int Count() const { return static_cast<int>(m_conditions.size()); }
    const Condition& At(int index) const { return m_conditions[static_cast<size_t>(index)]; }

    // EvaluateCondition: true when record `index` holds, after running its
    // actions in order. An index outside the list is false.
    bool Evaluate(int index, const ConditionContext& context = {}) const;
    // IsConditionMet: the test of script items. True for "No Condition", an
    // empty name, or a name no record carries; otherwise the evaluation of
    // the last record of that name (its actions run when it holds).
    bool IsConditionMet(const std::string& name, const ConditionContext& context = {}) const;
    // FireConditions: evaluates, in list order, every record whose trigger is
    // exactly `trigger`; an empty trigger fires nothing.
    void Fire(const std::string& trigger, const ConditionContext& context = {}) const;

private:
    std::vector<Condition> m_conditions;
};

}  // namespace kq
