// The tables generated from res/Kestrum.rc: every dialog item in tab order with its id, class,
// text, position and style, the tray menu, the about entry's text and the icon.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "ui/ResourceTables.h"

namespace {

struct SItemCase {
    int nId;
    const char* pszClass;
    const char16_t* pszText;
    int x, y, cx, cy;
    DWORD dwStyleBits;  // bits that must be set besides WS_CHILD | WS_VISIBLE
    DWORD dwTypeMask;   // the control type field to compare exactly
};

constexpr DWORD kButtonType = BS_TYPEMASK;

const SItemCase kMainDialog[] = {
    {IDOK, "Button", u"Extract files", 189, 289, 50, 16, BS_DEFPUSHBUTTON | WS_DISABLED,
     kButtonType},
    {IDC_SONGLIST, "SysListView32", u"", 23, 81, 382, 204,
     LVS_REPORT | LVS_SINGLESEL | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP | WS_DISABLED, 0x3},
    {IDC_STATIC, "Button", u"Ipod Songs", 7, 71, 416, 242, BS_GROUPBOX, kButtonType},
    {IDC_STATIC, "Button", u"Ipod Disk Infos", 8, 6, 415, 27, BS_GROUPBOX, kButtonType},
    {IDC_STATIC, "Static", u"Disk: ", 64, 17, 17, 10, SS_LEFT, SS_TYPEMASK},
    {IDC_DRIVE, "Static", u"", 82, 17, 42, 14, SS_LEFT, SS_TYPEMASK},
    {IDC_STATIC, "Static", u"Disk space:", 130, 17, 39, 13, SS_LEFT, SS_TYPEMASK},
    {IDC_DISKSIZE, "Static", u"", 168, 17, 43, 14, SS_LEFT, SS_TYPEMASK},
    {IDC_STATIC, "Static", u"Disk free space:", 214, 17, 51, 13, SS_LEFT, SS_TYPEMASK},
    {IDC_DISKFREE, "Static", u"", 267, 17, 43, 14, SS_LEFT, SS_TYPEMASK},
    {IDC_SONGCOUNT, "Static", u"", 338, 17, 27, 13, SS_LEFT, SS_TYPEMASK},
    {IDC_STATIC, "Button", u"Search Songs", 8, 39, 415, 28, BS_GROUPBOX, kButtonType},
    {IDC_SEARCH, "Button", u"Search", 143, 48, 54, 14, BS_PUSHBUTTON | WS_TABSTOP, kButtonType},
    {IDC_SEARCHTEXT, "Edit", u"", 19, 49, 60, 13, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
    {IDC_SEARCHFIELD, "ComboBox", u"", 87, 49, 47, 12,
     CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0x3},
    {IDC_CHECKALL, "Button", u" Select: All/None", 23, 292, 68, 10, BS_AUTOCHECKBOX | WS_TABSTOP,
     kButtonType},
    {IDC_STATIC, "Static", u"Songs:", 312, 17, 26, 12, SS_LEFT, SS_TYPEMASK},
};

const SItemCase kAboutBox[] = {
    {IDC_STATIC, "Static", u"129", 7, 7, 20, 20, SS_ICON, SS_TYPEMASK},
    {IDC_STATIC, "Static", u"Kestrum Version 0.5", 40, 10, 119, 8, SS_NOPREFIX, SS_TYPEMASK},
    {IDOK, "Button", u"OK", 178, 7, 50, 16, BS_DEFPUSHBUTTON | WS_TABSTOP, kButtonType},
    {IDC_DROVIL, "Button", u"Drovil", 178, 26, 50, 16, BS_DEFPUSHBUTTON | WS_TABSTOP, kButtonType},
    {IDC_STATIC, "Static", nullptr, 38, 19, 83, 11, 0, SS_TYPEMASK},
    {IDC_STATIC, "Static", nullptr, 37, 28, 119, 8, 0, SS_TYPEMASK},
};

template <std::size_t N>
void ExpectItems(const SDialogTemplate& dialog, const SItemCase (&expected)[N]) {
    ASSERT_EQ(dialog.nItems, N);
    for (std::size_t i = 0; i < N; ++i) {
        const SItemCase& want = expected[i];
        const SDialogItemTemplate& item = dialog.pItems[i];
        SCOPED_TRACE("dialog " + std::to_string(dialog.nId) + " item " + std::to_string(i));
        EXPECT_EQ(item.nId, want.nId);
        EXPECT_STREQ(item.pszClass, want.pszClass);
        if (want.pszText != nullptr) {
            EXPECT_EQ(WString(item.pszText), WString(want.pszText));
        } else {
            EXPECT_FALSE(WString(item.pszText).empty());
        }
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        const DWORD dwBase = WS_CHILD | WS_VISIBLE;
        EXPECT_EQ(item.dwStyle & (dwBase | want.dwStyleBits), dwBase | want.dwStyleBits);
        EXPECT_EQ(item.dwStyle & want.dwTypeMask, want.dwStyleBits & want.dwTypeMask);
        // Only what the script says starts disabled.
        EXPECT_EQ(item.dwStyle & WS_DISABLED, want.dwStyleBits & WS_DISABLED);
    }
}

TEST(ResourceTables, MainDialogHasEveryItemInTabOrder) {
    const SDialogTemplate* pDialog = FindDialogTemplate(IDD_KESTRUM_DIALOG);
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(WString(pDialog->pszCaption), u"Kestrum v 0.5 - by Drovil");
    EXPECT_EQ(pDialog->cx, 430);
    EXPECT_EQ(pDialog->cy, 321);
    const DWORD dwStyle = DS_MODALFRAME | DS_CENTER | WS_VISIBLE | WS_POPUP | WS_CAPTION |
                          WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(pDialog->dwStyle & dwStyle, dwStyle);
    EXPECT_EQ(pDialog->dwExStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(WString(pDialog->pszFontFace), u"MS Shell Dlg");
    EXPECT_EQ(pDialog->nPointSize, 8);
    ExpectItems(*pDialog, kMainDialog);
}

TEST(ResourceTables, AboutBoxClosesOnCancelAndHasItsOwnMakerButton) {
    const SDialogTemplate* pDialog = FindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(WString(pDialog->pszCaption), u"About Kestrum");
    EXPECT_EQ(pDialog->cx, 235);
    EXPECT_EQ(pDialog->cy, 52);
    const DWORD dwStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(pDialog->dwStyle & dwStyle, dwStyle);
    EXPECT_EQ(pDialog->dwStyle & WS_VISIBLE, 0u);
    ExpectItems(*pDialog, kAboutBox);
    // Escape and the close box arrive as IDCANCEL; no button may carry it.
    for (std::size_t i = 0; i < pDialog->nItems; ++i) {
        EXPECT_NE(pDialog->pItems[i].nId, IDCANCEL);
    }
}

TEST(ResourceTables, TrayMenuHasOnePopupWithShowWindow) {
    const SMenuTemplate* pMenu = FindMenuTemplate(IDR_TRAYMENU);
    ASSERT_NE(pMenu, nullptr);
    ASSERT_EQ(pMenu->nItems, 2u);
    EXPECT_EQ(WString(pMenu->pItems[0].pszText), u"TryMenu");
    EXPECT_TRUE(pMenu->pItems[0].bPopup);
    EXPECT_EQ(pMenu->pItems[0].nParent, -1);
    EXPECT_EQ(WString(pMenu->pItems[1].pszText), u"Show Window");
    EXPECT_EQ(pMenu->pItems[1].nId, static_cast<UINT>(ID_TRAY_SHOWWINDOW));
    EXPECT_EQ(pMenu->pItems[1].nParent, 0);
    EXPECT_FALSE(pMenu->pItems[1].bPopup);
}

TEST(ResourceTables, StringsAndIcons) {
    ASSERT_NE(FindStringResource(IDS_ABOUTBOX), nullptr);
    EXPECT_EQ(WString(FindStringResource(IDS_ABOUTBOX)), u"&About Kestrum...");
    // No title string: message boxes take the executable's name.
    EXPECT_EQ(FindStringResource(0xE000), nullptr);
    ASSERT_NE(FindIconResource(IDR_MAINICON), nullptr);
    EXPECT_STREQ(FindIconResource(IDR_MAINICON), "Kestrum.ico");
    EXPECT_EQ(FindIconResource(128), nullptr);
    EXPECT_EQ(FindDialogTemplate(101), nullptr);
    EXPECT_EQ(FindMenuTemplate(IDD_ABOUTBOX), nullptr);
}

}  // namespace
