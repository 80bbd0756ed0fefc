// The headless list view and combo box behave as the real controls do where the dialog code
// depends on it: insertion, cells, ticks, selection, scrolling, row rectangles, sorting.
#include <string>
#include <vector>

#include "HeadlessFixture.h"
#include "res/resource.h"
#include "ui/ComboBox.h"
#include "ui/ListCtrl.h"

namespace {

class HeadlessListTest : public HeadlessFixture {
protected:
    // Runs body with the main dialog's song list, set up as the dialog does it.
    void WithList(const std::function<void(CListCtrl&)>& body) {
        RunInDialog(IDD_KESTRUM_DIALOG, [&](CDialog& dialog) {
            CListCtrl list;
            list.Attach(dialog.GetDlgItem(IDC_SONGLIST)->m_hWnd);
            list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
            list.InsertColumn(0, u"Title", LVCFMT_LEFT, 240);
            list.InsertColumn(1, u"Artist", LVCFMT_LEFT, 160);
            list.InsertColumn(2, u"Album", LVCFMT_LEFT, 150);
            body(list);
        });
    }

    static void Fill(CListCtrl& list, int nRows) {
        for (int i = 0; i < nRows; ++i) {
            const WString title = WideFromAscii("Song " + std::to_string(i));
            list.InsertItem(list.GetItemCount(), title.c_str());
        }
    }

    static std::vector<WString> Titles(const CListCtrl& list) {
        std::vector<WString> titles;
        for (int i = 0; i < list.GetItemCount(); ++i) {
            WChar buffer[kMaxPath];
            list.GetItemText(i, 0, buffer, static_cast<int>(kMaxPath));
            titles.emplace_back(buffer);
        }
        return titles;
    }
};

TEST_F(HeadlessListTest, InsertPastTheEndAppends) {
    WithList([](CListCtrl& list) {
        EXPECT_EQ(list.InsertItem(0, u"a"), 0);
        EXPECT_EQ(list.InsertItem(7, u"b"), 1);
        EXPECT_EQ(list.InsertItem(0, u"c"), 0);
        EXPECT_EQ(list.InsertItem(2, u"d"), 2);
        EXPECT_EQ(list.InsertItem(-1, u"e"), -1);
        EXPECT_EQ(Titles(list), (std::vector<WString>{u"c", u"a", u"d", u"b"}));
    });
}

TEST_F(HeadlessListTest, CellsNeedTheirColumnAndReadBackBounded) {
    WithList([](CListCtrl& list) {
        list.InsertItem(0, u"Theory");
        EXPECT_TRUE(list.SetItemText(0, 1, u"Artist"));
        EXPECT_TRUE(list.SetItemText(0, 2, u"Album"));
        EXPECT_FALSE(list.SetItemText(0, 3, u"no such column"));
        EXPECT_FALSE(list.SetItemText(1, 0, u"no such row"));

        struct SCase {
            int nItem, nSubItem, nLen;
            const char16_t* expected;
            int nCopied;
        };
        const SCase cases[] = {
            {0, 0, 260, u"Theory", 6}, {0, 0, 4, u"The", 3}, {0, 1, 260, u"Artist", 6},
            {0, 2, 1, u"", 0},         {1, 0, 260, u"", 0},  {0, 5, 260, u"", 0},
            {-1, 0, 260, u"", 0},
        };
        for (const SCase& c : cases) {
            WChar buffer[260];
            buffer[0] = u'x';
            EXPECT_EQ(list.GetItemText(c.nItem, c.nSubItem, buffer, c.nLen), c.nCopied)
                << c.nItem << "," << c.nSubItem << "," << c.nLen;
            EXPECT_EQ(WString(buffer), WString(c.expected));
        }
        // No room at all: nothing written.
        WChar untouched = u'x';
        EXPECT_EQ(list.GetItemText(0, 0, &untouched, 0), 0);
        EXPECT_EQ(untouched, u'x');
    });
}

TEST_F(HeadlessListTest, TicksAreKeptPerRowAndReadAsStateImages) {
    WithList([](CListCtrl& list) {
        Fill(list, 3);
        EXPECT_TRUE(list.SetCheck(1, true));
        EXPECT_FALSE(list.GetCheck(0));
        EXPECT_TRUE(list.GetCheck(1));
        EXPECT_FALSE(list.SetCheck(3, true));
        EXPECT_FALSE(list.GetCheck(3));
        EXPECT_EQ(list.GetItemState(1, LVIS_STATEIMAGEMASK), 0x2000u);
        EXPECT_EQ(list.GetItemState(0, LVIS_STATEIMAGEMASK), 0x1000u);
        // Row -1 is every row.
        EXPECT_TRUE(list.SetItemState(-1, 0x2000, LVIS_STATEIMAGEMASK));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(list.GetCheck(i));
        }
    });
}

TEST_F(HeadlessListTest, SingleSelectionKeepsOneSelectedRow) {
    WithList([](CListCtrl& list) {
        Fill(list, 5);
        list.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        list.SetItemState(4, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(list.GetItemState(2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_FOCUSED);
        EXPECT_EQ(list.GetItemState(4, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);
        // Selection and ticks are separate.
        EXPECT_FALSE(list.GetCheck(4));
    });
}

TEST_F(HeadlessListTest, ScrollMovesWholeRowsAndStaysInRange) {
    struct SCase {
        int nRows;
        std::vector<int> scrolls;  // pixels, applied in turn
        int nTop;
    };
    // The main dialog's list shows 22 whole rows.
    const SCase cases[] = {
        {100, {14 * 5}, 5},     {100, {14 * 5, -14 * 10}, 0},
        {100, {14 * 1000}, 78}, {100, {14 * 78, 14}, 78},
        {100, {7}, 1},  // rounded to the nearest row
        {100, {6}, 0},          {100, {-7}, 0},
        {22, {14 * 3}, 0},      {23, {14 * 3}, 1},
        {5, {14 * 3}, 0},       {0, {14}, 0},
    };
    for (const SCase& c : cases) {
        WithList([&](CListCtrl& list) {
            const SHeadlessWindow* pList = m_ui.Window(list.m_hWnd);
            ASSERT_NE(pList, nullptr);
            EXPECT_EQ(m_ui.ListVisibleRows(*pList), 22);
            Fill(list, c.nRows);
            for (int dy : c.scrolls) {
                EXPECT_TRUE(list.Scroll(SIZE{0, dy}));
            }
            EXPECT_EQ(list.GetTopIndex(), c.nTop) << c.nRows << " rows";
        });
    }
}

TEST_F(HeadlessListTest, ItemRectsAreRowsBelowTheHeader) {
    WithList([](CListCtrl& list) {
        RECT rect{};
        EXPECT_FALSE(list.GetItemRect(1, &rect, LVIR_BOUNDS));  // no row 1 yet: untouched
        EXPECT_EQ(rect.bottom - rect.top, 0);
        Fill(list, 40);
        ASSERT_TRUE(list.GetItemRect(1, &rect, LVIR_BOUNDS));
        EXPECT_EQ(rect.bottom - rect.top, CHeadlessBackend::kListRowHeight);
        EXPECT_EQ(rect.top,
                  1 + CHeadlessBackend::kListHeaderHeight + CHeadlessBackend::kListRowHeight);
        // The row brought to the top by a search's scroll sits right below the header.
        list.Scroll(SIZE{0, (10 - list.GetTopIndex()) * (rect.bottom - rect.top)});
        EXPECT_EQ(list.GetTopIndex(), 10);
        ASSERT_TRUE(list.GetItemRect(10, &rect, LVIR_BOUNDS));
        EXPECT_EQ(rect.top, 1 + CHeadlessBackend::kListHeaderHeight);
        EXPECT_FALSE(list.GetItemRect(40, &rect, LVIR_BOUNDS));
    });
}

TEST_F(HeadlessListTest, SortedComboPlacesEntriesWhateverTheOrderAdded) {
    RunInDialog(IDD_KESTRUM_DIALOG, [](CDialog& dialog) {
        CComboBox combo;
        combo.Attach(dialog.GetDlgItem(IDC_SEARCHFIELD)->m_hWnd);
        EXPECT_EQ(combo.AddString(u"Title"), 0);
        EXPECT_EQ(combo.AddString(u"Artist"), 0);
        EXPECT_EQ(combo.AddString(u"Album"), 0);
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
        EXPECT_EQ(combo.SetCurSel(2), 2);
        WChar text[16];
        combo.GetWindowText(text, 16);
        EXPECT_EQ(WString(text), u"Title");
        EXPECT_EQ(combo.SetCurSel(3), CB_ERR);
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    });
}

}  // namespace
