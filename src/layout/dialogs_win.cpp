#include "layout/dialogs_win.h"

#include "base/profile.h"
#include "layout/layout_resource_ids.h"

namespace kq {

INT_PTR CMessageDialog::Run(HWND owner, const std::string& text) {
    m_text = text;
    return DoModal(IDD_KQ_MESSAGE, owner);
}

bool CMessageDialog::OnInit() {
    ::SetDlgItemTextA(m_hWnd, IDC_KQ_DIALOG_TEXT, m_text.c_str());
    return true;
}

bool CMessageDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(IDOK);
        return true;
    }
    return false;
}

INT_PTR CQuestionDialog::Run(HWND owner, int mode, const std::string& message) {
    m_mode = mode;
    m_message = message;
    return DoModal(IDD_KQ_QUESTION, owner);
}

bool CQuestionDialog::OnInit() {
    // The template's texts are placeholders: every mode replaces them from
    // the language file, and a missing key leaves a text empty.
    QuestionTexts texts = ResolveQuestionTexts(m_mode, m_message, m_language, m_expand);
    ::SetDlgItemTextA(m_hWnd, IDC_KQ_DIALOG_TEXT, texts.body.c_str());
    ::SetDlgItemTextA(m_hWnd, IDCANCEL, texts.cancelText.c_str());
    m_showOk = texts.showOk;
    if (texts.showOk) {
        ::SetDlgItemTextA(m_hWnd, IDOK, texts.okText.c_str());
    } else {
        ::ShowWindow(::GetDlgItem(m_hWnd, IDOK), SW_HIDE);
        ::SetFocus(::GetDlgItem(m_hWnd, IDCANCEL));
        return false;
    }
    return true;
}

bool CQuestionDialog::OnCommand(int id, int code, HWND control) {
    // Enter still reports IDOK when that button is hidden; the error notice
    // only ever answers with its one button.
    if (id == IDOK && !m_showOk) id = IDCANCEL;
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(id);
        return true;
    }
    return false;
}

}  // namespace kq
