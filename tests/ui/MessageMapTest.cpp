// Message-map dispatch: most derived entry first, commands told apart by code and id, and
// everything unmatched handed to default processing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Wnd.h"

namespace {

// Records what reaches default processing (answered 42) and the handlers called.
class CBaseWnd : public CWnd {
public:
    struct SDefault {
        UINT nMsg;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<std::string> calls;
    std::vector<SDefault> defaults;

    LRESULT DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override {
        defaults.push_back({nMsg, wParam, lParam});
        return 42;
    }

    void OnSearch() { calls.push_back("base search"); }
    void OnCheckAll() { calls.push_back("base check all"); }
    LRESULT OnNotify(WPARAM wParam, LPARAM lParam) {
        calls.push_back("base notify " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 7;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
ON_BN_CLICKED(1017, OnSearch)
ON_BN_CLICKED(1020, OnCheckAll)
ON_MESSAGE(WM_USER + 1, OnNotify)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
public:
    HCURSOR m_hDragIcon = nullptr;
    int m_nCreateResult = 0;
    bool m_bNestInSysCommand = false;

    void OnCheckAllDerived() { calls.push_back("derived check all"); }
    void OnTextChange() { calls.push_back("text change"); }
    void OnShowWindow() { calls.push_back("show window"); }
    void OnSysCommand(UINT nID, LPARAM lParam) {
        calls.push_back("syscommand " + std::to_string(nID) + " " + std::to_string(lParam));
        if (m_bNestInSysCommand) {
            // A message sent to ourselves meanwhile must not change what Default() answers.
            WindowProc(WM_USER + 1, 3, 4);
            Default();
        }
    }
    int OnCreate(void* /*pCreateStruct*/) {
        calls.push_back("create");
        return m_nCreateResult;
    }
    HCURSOR OnQueryDragIcon() { return m_hDragIcon; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
ON_WM_SYSCOMMAND()
ON_WM_CREATE()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(1020, OnCheckAllDerived)
ON_EN_CHANGE(1018, OnTextChange)
ON_COMMAND(32771, OnShowWindow)
END_MESSAGE_MAP()

struct SDispatchCase {
    const char* name;
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
    const char* expectedCall;  // nullptr: default processing
    LRESULT expectedResult;
};

class MessageMapDispatch : public ::testing::TestWithParam<SDispatchCase> {};

const SDispatchCase kDispatchCases[] = {
    {"BaseCommandByCodeAndId", WM_COMMAND, MAKEWPARAM(1017, BN_CLICKED), 0, "base search", 0},
    {"DerivedEntryWinsOverBase", WM_COMMAND, MAKEWPARAM(1020, BN_CLICKED), 0, "derived check all",
     0},
    {"EditChangeByCode", WM_COMMAND, MAKEWPARAM(1018, EN_CHANGE), 0, "text change", 0},
    {"WrongCodeForId", WM_COMMAND, MAKEWPARAM(1018, BN_CLICKED), 0, nullptr, 42},
    {"WrongIdForCode", WM_COMMAND, MAKEWPARAM(1017, EN_CHANGE), 0, nullptr, 42},
    {"MenuCommand", WM_COMMAND, MAKEWPARAM(32771, 0), 0, "show window", 0},
    {"AcceleratorIsNotAMenuCommand", WM_COMMAND, MAKEWPARAM(32771, 1), 0, nullptr, 42},
    {"UnknownCommand", WM_COMMAND, MAKEWPARAM(1019, 0), 0, nullptr, 42},
    {"UserMessageWithResult", WM_USER + 1, 1, 0x203, "base notify 1 515", 7},
    {"SysCommandCarriesIdAndPoint", WM_SYSCOMMAND, SC_MINIMIZE, 5, "syscommand 61472 5", 0},
    {"CreateReturnsHandlerResult", WM_CREATE, 0, 0, "create", -1},
    {"UnhandledPaint", WM_PAINT, 0, 0, nullptr, 42},
    {"OtherUserMessage", WM_USER + 2, 0, 0, nullptr, 42},
};

TEST_P(MessageMapDispatch, ReachesTheRightHandler) {
    const SDispatchCase& c = GetParam();
    CDerivedWnd wnd;
    wnd.m_nCreateResult = -1;
    const LRESULT result = wnd.WindowProc(c.nMsg, c.wParam, c.lParam);
    EXPECT_EQ(result, c.expectedResult);
    if (c.expectedCall != nullptr) {
        ASSERT_EQ(wnd.calls.size(), 1u);
        EXPECT_EQ(wnd.calls[0], c.expectedCall);
        EXPECT_TRUE(wnd.defaults.empty());
    } else {
        EXPECT_TRUE(wnd.calls.empty());
        ASSERT_EQ(wnd.defaults.size(), 1u);
        EXPECT_EQ(wnd.defaults[0].nMsg, c.nMsg);
        EXPECT_EQ(wnd.defaults[0].wParam, c.wParam);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageMapDispatch, ::testing::ValuesIn(kDispatchCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(MessageMap, QueryDragIconReturnsTheCursorHandle) {
    CDerivedWnd wnd;
    int marker = 0;
    wnd.m_hDragIcon = reinterpret_cast<HCURSOR>(&marker);
    EXPECT_EQ(wnd.WindowProc(WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(&marker));
}

TEST(MessageMap, DefaultAnswersTheMessageOfItsOwnHandlerAfterNestedDispatch) {
    CDerivedWnd wnd;
    wnd.m_bNestInSysCommand = true;
    wnd.WindowProc(WM_SYSCOMMAND, SC_CLOSE, 9);

    ASSERT_EQ(wnd.calls.size(), 2u);
    EXPECT_EQ(wnd.calls[1], "base notify 3 4");
    ASSERT_EQ(wnd.defaults.size(), 1u);
    EXPECT_EQ(wnd.defaults[0].nMsg, WM_SYSCOMMAND);
    EXPECT_EQ(wnd.defaults[0].wParam, SC_CLOSE);
    EXPECT_EQ(wnd.defaults[0].lParam, 9);
}

TEST(MessageMap, BaseMapsEndAtTheRoot) {
    const SMessageMap* pMap = CDerivedWnd::GetThisMessageMap();
    int nLevels = 0;
    while (pMap != nullptr) {
        ++nLevels;
        pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr;
    }
    EXPECT_EQ(nLevels, 3);  // CDerivedWnd, CBaseWnd, CWnd
}

}  // namespace
