#include "checks/conditions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ini_text.h"

namespace {

using kq::ActionKind;
using kq::ConditionContext;
using kq::ConditionList;
using kq::IniText;

struct CompareCase {
    const char* left;
    const char* op;
    const char* right;
    bool holds;
};

TEST(ConditionCompareTest, OperatorSemantics) {
    const CompareCase cases[] = {
        // Equality is byte-wise: letter case, blanks and number spelling count.
        {"abc", "==", "abc", true},
        {"abc", "==", "ABC", false},
        {"10", "==", "10.0", false},
        {"", "==", "", true},
        {"abc", "!=", "ABC", true},
        {"abc", "!=", "abc", false},
        // Ordering is numeric: 10 > 9 although "10" < "9" as texts.
        {"10", ">", "9", true},
        {"9", ">", "10", false},
        {"9", "<", "10", true},
        {"10.0", ">=", "10", true},
        {"9.5", ">=", "10", false},
        {"10", "=<", "10", true},
        {"11", "=<", "10", false},
        // Leading numbers: blanks skipped, the rest after the number ignored,
        // no number reads as 0.
        {"  12abc", ">", "11.9xyz", true},
        {"abc", ">", "xyz", false},
        {"abc", ">=", "xyz", true},
        {"abc", "<", "1", true},
        {"-5", "<", "", true},
        {"1e3", ">", "999", true},
        {".5", ">", "0.4", true},
        {"1e", "=<", "1", true},  // an exponent without digits is not part of the number
        // Hexadecimal, infinities and NaN are not numbers here.
        {"0x10", "<", "1", true},
        {"inf", "=<", "0", true},
        {"nan", ">=", "0", true},
        // Only "=<" is less-or-equal; anything else is false.
        {"1", "<=", "2", false},
        {"1", "=>", "0", false},
        {"1", "", "1", false},
        {"1", "= =", "1", false},
        {"1", "== ", "1", false},
    };
    for (const CompareCase& c : cases)
        EXPECT_EQ(kq::Compare(c.left, c.op, c.right), c.holds) << c.left << " " << c.op << " " << c.right;
}

struct ActionCase {
    const char* line;
    ActionKind kind;
    const char* message;
};

TEST(ConditionActionTest, LinesAndShowMessageText) {
    const ActionCase cases[] = {
        {"CancelInstall();", ActionKind::kCancelInstall, ""},
        {"CancelInstall()", ActionKind::kNone, ""},
        {" CancelInstall();", ActionKind::kNone, ""},
        {"ShowMessage(Hello there);", ActionKind::kShowMessage, "Hello there"},
        {"ShowMessage(<ProductName> (beta));", ActionKind::kShowMessage, "<ProductName> (beta)"},
        // The text starts after the first "(" and loses the last two characters.
        {"ShowMessage(a(b));", ActionKind::kShowMessage, "a(b)"},
        {"ShowMessage(Hello)", ActionKind::kShowMessage, "Hell"},
        {"x(ShowMessage y);", ActionKind::kShowMessage, "ShowMessage y"},
        {"ShowMessage();", ActionKind::kShowMessage, ""},
        {"ShowMessage(", ActionKind::kShowMessage, ""},
        {"ShowMessage", ActionKind::kShowMessage, "ShowMessa"},  // no "(": the whole line, cut the same way
        {"showmessage(x);", ActionKind::kNone, ""},
        {"", ActionKind::kNone, ""},
    };
    for (const ActionCase& c : cases) {
        kq::ConditionAction action = kq::ParseAction(c.line);
        EXPECT_EQ(action.kind, c.kind) << c.line;
        EXPECT_EQ(action.message, c.message) << c.line;
    }
}

// Records what the conditions asked for.
class RecordingActions : public kq::ConditionActions {
public:
    void CancelInstall() override { log.push_back("cancel"); }
    void ShowMessage(const std::string& text) override { log.push_back("message:" + text); }
    std::vector<std::string> log;
};

// A script of conditions; `rows` are {name, left, op, right, trigger, action...}.
std::string Script(const std::vector<std::vector<std::string>>& rows) {
    std::string text = "[CONDITIONS]\nTOTAL=" + std::to_string(rows.size()) + "\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i];
        const std::string n = std::to_string(i);
        text += "A" + n + "=" + row[0] + "\nB" + n + "=" + row[1] + "\nC" + n + "=" + row[2] + "\nD" + n + "=" +
                row[3] + "\nE" + n + "=" + row[4] + "\nF" + n + "=" + std::to_string(row.size() - 5) + "\n";
        for (size_t j = 5; j < row.size(); ++j) text += n + std::to_string(j - 5) + "=" + row[j] + "\n";
    }
    return text;
}

struct MetCase {
    const char* name;
    bool met;
    std::vector<std::string> log;
};

TEST(ConditionListTest, IsConditionMetByName) {
    ConditionList list;
    list.Load(IniText(Script({
        {"Twice", "1", "==", "1", "", "ShowMessage(first);"},
        {"Holds", "<Version>", ">", "2", "", "ShowMessage(yes);", "junk", "CancelInstall();"},
        {"Fails", "a", "==", "b", "", "ShowMessage(never);"},
        {"Twice", "1", "==", "2", "", "ShowMessage(second);"},  // the later record decides
        {"", "1", "==", "2", ""},                               // an empty name is never looked up
        {"case", "1", "==", "2", ""},
    })));
    ASSERT_EQ(list.Count(), 6);
    const MetCase cases[] = {
        {"Holds", true, {"message:yes", "cancel"}},
        {"Fails", false, {}},
        {"Twice", false, {}},
        {"No Condition", true, {}},
        {"", true, {}},
        {"Nobody", true, {}},
        {"CASE", true, {}},  // names compare exactly
        {"case", false, {}},
    };
    for (const MetCase& c : cases) {
        RecordingActions actions;
        ConditionContext context{[](const std::string& t) { return t == "<Version>" ? std::string("3") : t; },
                                 &actions};
        EXPECT_EQ(list.IsConditionMet(c.name, context), c.met) << c.name;
        EXPECT_EQ(actions.log, c.log) << c.name;
    }
    // Without a context nothing is expanded and no action runs.
    EXPECT_FALSE(list.IsConditionMet("Holds"));
    EXPECT_TRUE(ConditionList().IsConditionMet("Holds"));
}

TEST(ConditionListTest, FiringByTrigger) {
    ConditionList list;
    list.Load(IniText(Script({
        {"a", "1", "==", "1", "license.lcd", "ShowMessage(one);"},
        {"b", "1", "==", "1", "", "ShowMessage(untriggered);"},
        {"c", "1", "!=", "1", "license.lcd", "ShowMessage(false);"},
        {"d", "2", ">", "1", "license.lcd", "ShowMessage(two);", "CancelInstall();"},
        {"e", "1", "==", "1", "After Click Finish Button", "ShowMessage(finish);"},
    })));
    struct FireCase {
        const char* trigger;
        std::vector<std::string> log;
    };
    const FireCase cases[] = {
        {"license.lcd", {"message:one", "message:two", "cancel"}},
        {"LICENSE.LCD", {}},
        {kq::kFinishTrigger, {"message:finish"}},
        {"", {}},  // an empty trigger never fires, though it equals an empty page name
    };
    for (const FireCase& c : cases) {
        RecordingActions actions;
        list.Fire(c.trigger, ConditionContext{nullptr, &actions});
        EXPECT_EQ(actions.log, c.log) << c.trigger;
    }
}

struct LoadCase {
    const char* script;
    int count;
};

TEST(ConditionListTest, LoadingLimits) {
    std::string many = "[CONDITIONS]\nTOTAL=45\n";
    const LoadCase cases[] = {
        {"", 0},
        {"[CONDITIONS]\nTOTAL=abc\nA0=x\n", 0},
        {"[CONDITIONS]\nTOTAL=-3\n", 0},
        {"[CONDITIONS]\nTOTAL=2 conditions\n", 2},
        {many.c_str(), kq::kMaxConditions},
        {"[CONDITIONS]\nTOTAL=99999999999999\n", kq::kMaxConditions},
    };
    for (const LoadCase& c : cases) {
        ConditionList list;
        list.Load(IniText(c.script));
        EXPECT_EQ(list.Count(), c.count) << c.script;
    }

    // Action keys are the two indices written together; missing keys are
    // empty lines; the count is bounded.
    ConditionList list;
    list.Load(IniText("[CONDITIONS]\nTOTAL=2\nA0=n\nB0=l\nC0=>\nD0=r\nE0=t\nF0=3\n00=x\n02=z\n"
                      "F1=100000\n10=only\n"));
    ASSERT_EQ(list.Count(), 2);
    const kq::Condition& first = list.At(0);
    EXPECT_EQ(first.name, "n");
    EXPECT_EQ(first.left, "l");
    EXPECT_EQ(first.op, ">");
    EXPECT_EQ(first.right, "r");
    EXPECT_EQ(first.trigger, "t");
    EXPECT_EQ(first.actions, (std::vector<std::string>{"x", "", "z"}));
    EXPECT_EQ(list.At(1).actions.size(), static_cast<size_t>(kq::kMaxActionLines));
    EXPECT_EQ(list.At(1).actions[0], "only");
    EXPECT_FALSE(list.Evaluate(-1));
    EXPECT_FALSE(list.Evaluate(2));
}

}  // namespace
