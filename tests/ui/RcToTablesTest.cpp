// The table generator on tests/ui/data/Sample.rc: shorthand statements with their default and
// base styles, NOT, number suffixes, quotes and commas in texts, continued lines, nested
// pop-ups and separators. The styles are those the resource compiler gives the same script.
#include <gtest/gtest.h>

#include "ui/ResourceTables.h"

namespace {

struct SExpectedItem {
    int nId;
    const char* pszClass;
    const char16_t* pszText;
    int x, y, cx, cy;
    DWORD dwStyle;
    DWORD dwExStyle;
};

const SExpectedItem kItems[] = {
    {-1, "Static", u"Name, first:", 1, 2, 3, 4, 0x50020000, 0},
    {5, "Static", u"c", 1, 2, 3, 4, 0x50000001, 0},  // NOT WS_GROUP; SS_CENTER stays
    {301, "Edit", u"", 5, 6, 7, 8, 0x50010080, 0},   // NOT WS_BORDER
    {1, "Button", u"Go", 1, 1, 1, 1, 0x50010000, 0},
    {2, "Button", u"Stay", 2, 2, 2, 2, 0x50010001, 0},  // continued on the next line
    {7, "Button", u"Tick", 1, 1, 1, 1, 0x50010003, 0},
    {-1, "Button", u"Frame", 1, 1, 1, 1, 0x50000007, 0},
    {8, "ComboBox", u"", 1, 1, 1, 1, 0x50200003, 0},  // a given style drops the tab stop
    {-1, "Static", u"129", 1, 1, 0, 0, 0x50000003, 0},
    {9, "SysListView32", u"", 1, 2, 3, 4, 0x50004001, WS_EX_CLIENTEDGE},
};

TEST(RcToTables, DialogItemsMatchTheResourceCompiler) {
    const SDialogTemplate* pDialog = FindDialogTemplate(300);
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(WString(pDialog->pszCaption), u"Say \"hi\", then go");
    // No STYLE: the compiler's default, plus what CAPTION and FONT add.
    EXPECT_EQ(pDialog->dwStyle, 0x80c80040u);
    EXPECT_EQ(pDialog->x, 10);
    EXPECT_EQ(pDialog->y, 20);
    ASSERT_EQ(pDialog->nItems, std::size(kItems));
    for (std::size_t i = 0; i < std::size(kItems); ++i) {
        const SExpectedItem& want = kItems[i];
        const SDialogItemTemplate& item = pDialog->pItems[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(item.nId, want.nId);
        EXPECT_STREQ(item.pszClass, want.pszClass);
        EXPECT_EQ(WString(item.pszText), WString(want.pszText));
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.dwStyle, want.dwStyle);
        EXPECT_EQ(item.dwExStyle, want.dwExStyle);
    }
}

TEST(RcToTables, NestedPopupsKnowTheirParents) {
    const SMenuTemplate* pMenu = FindMenuTemplate(302);
    ASSERT_NE(pMenu, nullptr);
    struct SExpected {
        const char16_t* pszText;  // nullptr: separator
        UINT nId;
        int nParent;
        bool bPopup;
    };
    const SExpected expected[] = {
        {u"&File", 0, -1, true},    {u"&Open", 100, 0, false}, {nullptr, 0, 0, false},
        {u"Recent", 0, 0, true},    {u"One", 101, 3, false},   {u"E&xit", 102, 0, false},
        {u"&Help", 103, -1, false},
    };
    ASSERT_EQ(pMenu->nItems, std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const SMenuItemTemplate& item = pMenu->pItems[i];
        if (expected[i].pszText == nullptr) {
            EXPECT_EQ(item.pszText, nullptr);
        } else {
            ASSERT_NE(item.pszText, nullptr);
            EXPECT_EQ(WString(item.pszText), WString(expected[i].pszText));
        }
        EXPECT_EQ(item.nId, expected[i].nId);
        EXPECT_EQ(item.nParent, expected[i].nParent);
        EXPECT_EQ(item.bPopup, expected[i].bPopup);
    }
}

TEST(RcToTables, StringsIconsAndSkippedResources) {
    ASSERT_NE(FindStringResource(200), nullptr);
    EXPECT_EQ(WString(FindStringResource(200)), u"Two hundred");
    ASSERT_NE(FindStringResource(303), nullptr);
    EXPECT_EQ(WString(FindStringResource(303)), u"He said \"yes\"");
    EXPECT_STREQ(FindIconResource(2), "Other.ico");
    // The version record is not a dialog, menu or string.
    EXPECT_EQ(FindDialogTemplate(1), nullptr);
    EXPECT_EQ(FindMenuTemplate(1), nullptr);
    EXPECT_EQ(FindStringResource(1), nullptr);
}

}  // namespace
