// The tables generated from res/Kestrum.rc hold what the resource compiler makes of the same
// script: every dialog with its items in order, the menus, the strings and the icons.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "CompiledResources.h"
#include "res/resource.h"
#include "ui/ResourceTables.h"

namespace {

#ifdef KESTRUM_COMPILED_RC
const char* const kCompiledScript = KESTRUM_COMPILED_RC;
#else
const char* const kCompiledScript = nullptr;
#endif

class ResourceTables : public ::testing::Test {
protected:
    void SetUp() override {
        if (kCompiledScript == nullptr) {
            GTEST_SKIP() << "no resource compiler in this build";
        }
        ASSERT_TRUE(restest::ReadCompiledResources(kCompiledScript, m_compiled)) << kCompiledScript;
    }

    restest::SCompiledResources m_compiled;
};

std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

void ExpectItemMatches(const SDialogItemTemplate& item, const restest::SCompiledItem& want) {
    EXPECT_EQ(item.nId, want.nId);
    // Class names are compared as Windows does, without regard to case.
    EXPECT_EQ(UpperCase(item.pszClass), UpperCase(want.strClass));
    EXPECT_EQ(WString(item.pszText), want.strText);
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.cx, want.cx);
    EXPECT_EQ(item.cy, want.cy);
    EXPECT_EQ(item.dwStyle, want.dwStyle);
    EXPECT_EQ(item.dwExStyle, want.dwExStyle);
}

TEST_F(ResourceTables, EveryDialogIsTheCompiledOne) {
    EXPECT_TRUE(m_compiled.dialogs.count(IDD_KESTRUM_DIALOG) &&
                m_compiled.dialogs.count(IDD_ABOUTBOX));
    for (const auto& [nId, want] : m_compiled.dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(nId));
        const SDialogTemplate* pDialog = FindDialogTemplate(nId);
        ASSERT_NE(pDialog, nullptr);
        EXPECT_EQ(WString(pDialog->pszCaption), want.strCaption);
        EXPECT_EQ(pDialog->x, want.x);
        EXPECT_EQ(pDialog->y, want.y);
        EXPECT_EQ(pDialog->cx, want.cx);
        EXPECT_EQ(pDialog->cy, want.cy);
        EXPECT_EQ(pDialog->dwStyle, want.dwStyle);
        EXPECT_EQ(pDialog->dwExStyle, want.dwExStyle);
        EXPECT_EQ(WString(pDialog->pszFontFace), want.strFontFace);
        EXPECT_EQ(pDialog->nPointSize, want.nPointSize);
        ASSERT_EQ(pDialog->nItems, want.items.size());
        for (std::size_t i = 0; i < want.items.size(); ++i) {
            SCOPED_TRACE("item " + std::to_string(i));
            ExpectItemMatches(pDialog->pItems[i], want.items[i]);
        }
    }
}

TEST_F(ResourceTables, MenusStringsAndIconsAreTheCompiledOnes) {
    EXPECT_EQ(m_compiled.menus.count(IDR_TRAYMENU), 1u);
    for (const auto& [nId, want] : m_compiled.menus) {
        SCOPED_TRACE("menu " + std::to_string(nId));
        const SMenuTemplate* pMenu = FindMenuTemplate(nId);
        ASSERT_NE(pMenu, nullptr);
        ASSERT_EQ(pMenu->nItems, want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE("item " + std::to_string(i));
            const SMenuItemTemplate& item = pMenu->pItems[i];
            EXPECT_EQ(WString(item.pszText), want[i].strText);
            EXPECT_EQ(item.nId, want[i].nId);
            EXPECT_EQ(item.nParent, want[i].nParent);
            EXPECT_EQ(item.bPopup, want[i].bPopup);
        }
    }
    EXPECT_EQ(m_compiled.strings.count(IDS_ABOUTBOX), 1u);
    for (const auto& [nId, want] : m_compiled.strings) {
        ASSERT_NE(FindStringResource(nId), nullptr) << nId;
        EXPECT_EQ(WString(FindStringResource(nId)), want) << nId;
    }
    // No title string: message boxes take the executable's name.
    EXPECT_EQ(FindStringResource(0xE000), nullptr);
    ASSERT_FALSE(m_compiled.iconGroups.empty());
    for (const int nId : m_compiled.iconGroups) {
        EXPECT_NE(FindIconResource(nId), nullptr) << nId;
    }
}

// Escape and the about box's close box arrive as IDCANCEL and close it; no button of the box
// may carry that id and do something else.
TEST(ResourceTablesRules, AboutBoxHasNoCancelButton) {
    const SDialogTemplate* pDialog = FindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(pDialog, nullptr);
    for (std::size_t i = 0; i < pDialog->nItems; ++i) {
        EXPECT_NE(pDialog->pItems[i].nId, IDCANCEL);
    }
}

}  // namespace
