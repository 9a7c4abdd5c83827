// The program's own small modal dialogs: the message dialog (one text, OK)
// and the question dialog (cancel confirmation, restart question, error
// notice), both from the templates in layout.rc.
#pragma once
#include <windows.h>

#include <string>

#include "layout/property_effects.h"
#include "layout/question_texts.h"
#include "win/dialog_win.h"

namespace kq {

class ProfileReader;

class CMessageDialog : public CDialog {
public:
    // Shows `text` until the user presses OK.
    INT_PTR Run(HWND owner, const std::string& text);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    std::string m_text;
};

class CQuestionDialog : public CDialog {
public:
    // `language` is the run-time language file; it must outlive Run.
    CQuestionDialog(const ProfileReader& language, Expander expand)
        : m_language(language), m_expand(std::move(expand)) {}

    // Mode kQuestionModeError, kQuestionModeRestart, or any other number for
    // the cancel confirmation. Returns IDOK (the confirming button) or IDCANCEL.
    INT_PTR Run(HWND owner, int mode, const std::string& message);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    const ProfileReader& m_language;
    Expander m_expand;
    int m_mode = kQuestionModeCancel;
    std::string m_message;
    bool m_showOk = true;
};

}  // namespace kq
