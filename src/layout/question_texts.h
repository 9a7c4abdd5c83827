// The texts of the question dialog, which come from the run-time language
// file rather than from its template. Three modes share one dialog: the
// cancel confirmation (any mode number but the two below), the restart
// question and the error notice of a failed requirement.
#pragma once
#include <string>

#include "layout/property_effects.h"

namespace kq {

class ProfileReader;

constexpr int kQuestionModeCancel = 0;
constexpr int kQuestionModeError = 255;
constexpr int kQuestionModeRestart = 333;

struct QuestionTexts {
    std::string body;
    std::string okText;
    std::string cancelText;
    bool showOk = true;
};

// Language texts write placeholders in square brackets.
std::string BracketsToAngles(const std::string& text);

QuestionTexts ResolveQuestionTexts(int mode, const std::string& message, const ProfileReader& language,
                                   const Expander& expand);

}  // namespace kq
