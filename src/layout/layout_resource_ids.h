// Resource identifiers of the layout engine's icons, menu and dialogs.
// Included by layout.rc, so only #define lines here.
#ifndef KQ_LAYOUT_RESOURCE_IDS_H
#define KQ_LAYOUT_RESOURCE_IDS_H

/* Built-in icons of ICON controls (IDI_... names) and of the dialogs. */
#define IDI_KQ_INFO 132
#define IDI_KQ_TYPICAL 133
#define IDI_KQ_MINIMAL 134
#define IDI_KQ_ERROR 135
#define IDI_KQ_FOLDER 136
#define IDI_KQ_SETUP 137
#define IDI_KQ_CUSTOM 138
#define IDI_KQ_QUESTION 139
#define IDI_KQ_WARNING 140
#define IDI_KQ_EXCLAMATION 141

/* Dialog templates. */
#define IDD_KQ_QUESTION 142
#define IDD_KQ_MESSAGE 155
#define IDC_KQ_DIALOG_TEXT 1000

/* The feature tree's images and pop-up menu. */
#define IDI_KQ_FEATURE_OFF 151
#define IDI_KQ_FEATURE_ON 152
#define IDR_KQ_FEATURE_MENU 153
#define ID_KQ_FEATURE_INSTALL 32773
#define ID_KQ_FEATURE_SKIP 32774

#endif
