#include "layout/question_texts.h"

#include "base/profile.h"
#include "layout/layout_file.h"

namespace kq {

std::string BracketsToAngles(const std::string& text) {
    std::string out = text;
    for (char& ch : out) {
        if (ch == '[') ch = '<';
        else if (ch == ']') ch = '>';
    }
    return out;
}

QuestionTexts ResolveQuestionTexts(int mode, const std::string& message, const ProfileReader& language,
                                   const Expander& expand) {
    auto substituted = [&expand](const std::string& text) {
        std::string angled = BracketsToAngles(text);
        return expand ? expand(angled) : angled;
    };
    QuestionTexts t;
    if (mode == kQuestionModeError) {
        t.body = message;
        t.showOk = false;
        t.cancelText = substituted(language.Read("SetupError", "3", kProfileValueSize));
        return t;
    }
    // Every text of the language file writes placeholders in brackets, the
    // button texts too.
    t.okText = substituted(language.Read("CancelSetup", "2", kProfileValueSize));
    t.cancelText = substituted(language.Read("CancelSetup", "1", kProfileValueSize));
    if (mode == kQuestionModeRestart) {
        t.body = message;
    } else {
        t.body = substituted(language.Read("CancelSetup", "0", kProfileValueSize));
    }
    return t;
}

}  // namespace kq
