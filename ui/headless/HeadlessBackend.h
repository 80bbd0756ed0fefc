// The in-memory backend: windows and controls made from the resource tables, with every state a
// user could see kept in memory, user actions as calls, and message boxes and folder choices
// answered from a script. Tests and the scenario driver run the real dialog code on it.
//
// How a driver uses it:
//   CHeadlessBackend ui;  SetUiBackend(&ui);
//   ui.SetEventSink(&sink);             // one SUiEvent per thing a user would notice
//   ui.SetPump([&] { return RunNextScriptLine(ui); });
//   AfxWinMain();                       // the modal loops call the pump until it returns false
// Inside the pump, act on the top dialog: Click(id), SetEditText(id, text), SelectCombo(...),
// TickRow(list, row, on), PressEnter(), PressEscape(), CloseBox(), Minimise(), SysCommand(id),
// TrayDoubleClick(), TrayRightClick(), ChooseMenuCommand(id); queue answers before the action
// that asks: QueueMessageBoxAnswer(IDOK), QueueFolderChoice(EFolderChoice::kChosen, path).
// Read back with TopDialog(), Window(), Control(id), TrayIcon(), OpenPopup(), DescribeDialog().
//
// Geometry: dialog units become pixels with the base units of 8-point "MS Shell Dlg" at 96 dpi,
// x * 6 / 4 and y * 13 / 8. A report list has a 20-pixel header, a 1-pixel border when it has
// WS_BORDER, and rows of kListRowHeight pixels; its top row stays within
// [0, max(0, rows - whole rows visible)] as a real list keeps it.
//
// Threads: everything belongs to the dialog's thread except MessageBox/MessageBoxA, PostMessage,
// HasPosted, the answer queues, SetEventSink and Events(), which may be used from any thread (the
// removal watcher's message box comes from its own thread).
//
// When the pump returns false (the script has ended), the top dialog is closed as CScriptEnd
// (ui/ScriptEnd.h) says.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"
#include "ui/Backend.h"
#include "ui/MenuModel.h"
#include "ui/ResourceTables.h"
#include "ui/UiEvents.h"
#include "ui/WinDefs.h"

// One row of a list view.
struct SHeadlessRow {
    std::vector<WString> cells;  // cell 0 is the item text
    bool bChecked = false;
    UINT nState = 0;  // LVIS_SELECTED | LVIS_FOCUSED
};

// A window as the backend keeps it: a dialog or one of its controls.
struct SHeadlessWindow {
    HWND hWnd = nullptr;
    HWND hParent = nullptr;      // the dialog, for a control; the owner, for a dialog
    CDialog* pDialog = nullptr;  // dialogs only
    int nTemplateId = 0;         // dialogs only
    int nId = 0;                 // controls: the control id (-1 for IDC_STATIC)
    std::string className;       // "Button", "Edit", "Static", "ComboBox", "SysListView32"
    WString text;
    DWORD dwStyle = 0;
    DWORD dwExStyle = 0;
    RECT rect{};     // pixels; relative to the dialog's client area for controls
    POINT origin{};  // dialogs: the client area's top left corner on the screen
    bool bVisible = false;
    bool bEnabled = true;
    bool bIconic = false;
    HICON hBigIcon = nullptr;
    HICON hSmallIcon = nullptr;
    // Buttons.
    int nCheck = 0;  // BST_UNCHECKED 0, BST_CHECKED 1
    // List views.
    DWORD dwListExStyle = 0;
    std::vector<WString> columns;
    std::vector<int> columnWidths;
    std::vector<SHeadlessRow> rows;
    int nTopIndex = 0;
    // Combo boxes.
    std::vector<WString> items;
    int nCurSel = -1;
    // Progress bars.
    int nRangeLower = 0;
    int nRangeUpper = 100;
    int nPos = 0;
    // Dialogs.
    HMENU hSystemMenu = nullptr;
    bool bOpened = false;  // set-up done and shown: changes are now reported
    bool bEnded = false;
    INT_PTR nResult = 0;
};

struct SHeadlessTrayIcon {
    DWORD cbSize = 0;  // as the caller gave it
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    WString tip;
};

// The pop-up menu a TrackPopupMenu left open for the script to pick from.
struct SHeadlessPopup {
    HMENU hMenu = nullptr;
    HWND hOwner = nullptr;
    POINT point{};
    UINT nFlags = 0;
    std::vector<SUiMenuLine> items;
};

struct SHeadlessDrawnIcon {
    int x = 0;
    int y = 0;
    HICON hIcon = nullptr;
};

class CHeadlessBackend : public IUiBackend {
public:
    static constexpr int kListRowHeight = 14;
    static constexpr int kListHeaderHeight = 20;
    static constexpr int kIconSize = 32;

    CHeadlessBackend();
    ~CHeadlessBackend() override;
    CHeadlessBackend(const CHeadlessBackend&) = delete;
    CHeadlessBackend& operator=(const CHeadlessBackend&) = delete;

    // --- Set-up -----------------------------------------------------------------------------
    void SetEventSink(IUiEventSink* pSink);
    // Called again and again while a modal dialog runs; returns false when the script is over.
    void SetPump(std::function<bool()> pump);
    void SetAppName(WString name);
    // FALSE: the shell refuses the notification-area icon (no tray).
    void SetTrayAvailable(bool bAvailable);
    void SetCursorPos(POINT point);

    // --- Scripted answers (any thread) -------------------------------------------------------
    // The next message box returns nAnswer; without one a box answers IDOK.
    void QueueMessageBoxAnswer(int nAnswer);
    // The next folder chooser gives this; without one the chooser is cancelled.
    void QueueFolderChoice(EFolderChoice choice, WString path = {});

    // --- User actions on the top dialog; false when the user could not do it ----------------
    // A click on a button (an automatic check box flips first); disabled or hidden controls and
    // a hidden, minimised or ended dialog take no clicks.
    bool Click(int nId);
    // Types into an edit box: the text is replaced, the box takes the focus, EN_CHANGE follows.
    bool SetEditText(int nId, const WString& text);
    // Picks an entry of a combo box, by index or by its exact text; CBN_SELCHANGE follows.
    bool SelectCombo(int nId, int nIndex);
    bool SelectCombo(int nId, const WString& text);
    // Clicks a row's check box; a disabled list takes no clicks.
    bool TickRow(int nListId, int nRow, bool bTicked);
    // Selects a row by clicking it (selection and focus move to it).
    bool SelectRow(int nListId, int nRow);
    // Enter: the focused push button, else the default push button (nothing if disabled),
    // else IDOK.
    bool PressEnter();
    // Escape: WM_COMMAND IDCANCEL.
    bool PressEscape();
    // The caption's close box (and Alt+F4): WM_SYSCOMMAND SC_CLOSE.
    bool CloseBox();
    // The caption's minimise box: WM_SYSCOMMAND SC_MINIMIZE.
    bool Minimise();
    // The task bar button of a minimised window: WM_SYSCOMMAND SC_RESTORE.
    bool Restore();
    // Asks the top dialog to paint itself (WM_PAINT), as uncovering it would.
    bool Paint();
    // A system menu entry by command id (only entries the menu holds).
    bool SysCommand(UINT nID);
    // A mouse message on the notification-area icon, sent as its callback message.
    bool TrayMouse(UINT nMouseMessage);
    bool TrayDoubleClick();  // down, up, double click, up
    bool TrayRightClick();   // down, up
    // Picks a command from the open pop-up menu; it reaches the owner as WM_COMMAND.
    bool ChooseMenuCommand(UINT nID);
    // Closes the open pop-up menu without a command.
    void DismissPopup();

    // --- Posted messages ---------------------------------------------------------------------
    // Whether messages are queued; the modal loops deliver them before each call of the pump.
    bool HasPosted() const;
    // Delivers the messages queued so far, in order; false when there were none.
    bool DeliverPosted();

    // --- Read-back -------------------------------------------------------------------------
    HWND TopDialog() const;
    int TopDialogTemplate() const;  // 0 when no dialog runs
    std::size_t ModalDepth() const { return m_modalStack.size(); }
    const SHeadlessWindow* Window(HWND hWnd) const;
    // A control of the top dialog.
    const SHeadlessWindow* Control(int nId) const;
    const SMenu* Menu(HMENU hMenu) const;
    // The notification-area icon, nullptr when none is shown.
    const SHeadlessTrayIcon* TrayIcon() const;
    const SHeadlessPopup* OpenPopup() const;
    std::vector<SUiEvent> Events() const;
    void ClearEvents();
    const std::vector<SHeadlessDrawnIcon>& DrawnIcons() const { return m_drawnIcons; }
    int OleDepth() const { return m_nOleDepth; }
    DWORD CommonControls() const { return m_dwCommonControls; }
    // The top dialog as UTF-8 lines: caption and state, then each control with its id, class,
    // text and state, list rows with their tick, selection and the top row.
    std::string DescribeDialog() const;

    // --- IUiBackend ------------------------------------------------------------------------
    BOOL InitCommonControls(DWORD dwClasses) override;
    WString GetAppName() override;
    INT_PTR RunModalDialog(CDialog& dialog, UINT nIDTemplate, HWND hParent) override;
    void EndDialog(HWND hDlg, INT_PTR nResult) override;
    HWND GetDlgItem(HWND hDlg, int nID) override;
    int GetDlgCtrlID(HWND hWnd) override;
    LRESULT DefWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    BOOL ShowWindow(HWND hWnd, int nCmdShow) override;
    BOOL IsWindowVisible(HWND hWnd) override;
    BOOL IsIconic(HWND hWnd) override;
    BOOL EnableWindow(HWND hWnd, BOOL bEnable) override;
    BOOL IsWindowEnabled(HWND hWnd) override;
    void SetWindowText(HWND hWnd, const WChar* pszText) override;
    int GetWindowText(HWND hWnd, WChar* pszBuffer, int nMaxCount) override;
    HWND SetFocus(HWND hWnd) override;
    HWND GetFocus() override;
    void SetIcon(HWND hWnd, HICON hIcon, BOOL bBigIcon) override;
    BOOL GetClientRect(HWND hWnd, RECT& rect) override;
    BOOL ClientToScreen(HWND hWnd, POINT& point) override;
    BOOL GetCursorPos(POINT& point) override;
    int GetSystemMetrics(int nIndex) override;
    HDC BeginPaint(HWND hWnd) override;
    void EndPaint(HWND hWnd, HDC hDC) override;
    BOOL DrawIcon(HDC hDC, int x, int y, HICON hIcon) override;
    DWORD ListSetExtendedStyle(HWND hList, DWORD dwExStyle) override;
    int ListInsertColumn(HWND hList, int nCol, const WChar* pszHeading, int nFormat,
                         int nWidth) override;
    int ListInsertItem(HWND hList, int nItem, const WChar* pszText) override;
    BOOL ListSetItemText(HWND hList, int nItem, int nSubItem, const WChar* pszText) override;
    int ListGetItemText(HWND hList, int nItem, int nSubItem, WChar* pszBuffer, int nLen) override;
    int ListGetItemCount(HWND hList) override;
    BOOL ListGetCheck(HWND hList, int nItem) override;
    BOOL ListSetCheck(HWND hList, int nItem, BOOL bCheck) override;
    BOOL ListSetItemState(HWND hList, int nItem, UINT nState, UINT nMask) override;
    UINT ListGetItemState(HWND hList, int nItem, UINT nMask) override;
    int ListGetTopIndex(HWND hList) override;
    BOOL ListScroll(HWND hList, int dx, int dy) override;
    BOOL ListGetItemRect(HWND hList, int nItem, RECT& rect, int nCode) override;
    int ComboAddString(HWND hCombo, const WChar* pszText) override;
    int ComboGetCurSel(HWND hCombo) override;
    int ComboSetCurSel(HWND hCombo, int nIndex) override;
    int ButtonGetCheck(HWND hButton) override;
    void ButtonSetCheck(HWND hButton, int nCheck) override;
    HMENU LoadMenu(UINT nIDResource) override;
    HMENU GetSubMenu(HMENU hMenu, int nPos) override;
    BOOL DestroyMenu(HMENU hMenu) override;
    HMENU GetSystemMenu(HWND hWnd) override;
    BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem,
                    const WChar* pszNewItem) override;
    BOOL TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hOwner) override;
    BOOL SetMenuDefaultItem(HMENU hMenu, UINT nItem, UINT fByPos) override;
    HICON LoadIcon(UINT nIDResource) override;
    int LoadString(UINT nID, WChar* pszBuffer, int nMaxCount) override;
    int MessageBox(HWND hOwner, const WChar* pszText, const WChar* pszCaption, UINT nType) override;
    int MessageBoxA(HWND hOwner, const char* pszText, const char* pszCaption, UINT nType) override;
    void OleInitialize() override;
    void OleUninitialize() override;
    EFolderChoice BrowseForFolder(const WChar* pszTitle, UINT nFlags, WChar* pszPath) override;
    BOOL ShellNotifyIcon(DWORD dwMessage, NOTIFYICONDATAW& data) override;
    void ShellExecute(HWND hWnd, const WChar* pszVerb, const WChar* pszFile, int nShowCmd) override;

    // Rows of a list that fit wholly in its client area (at least 1).
    int ListVisibleRows(const SHeadlessWindow& list) const;

private:
    SHeadlessWindow* Find(HWND hWnd);
    const SHeadlessWindow* Find(HWND hWnd) const;
    SHeadlessWindow* FindList(HWND hWnd);
    SHeadlessWindow* FindCombo(HWND hWnd);
    SHeadlessWindow* TopDialogWindow();
    SHeadlessWindow* TopControl(int nId);
    // The first control of a dialog, in template order, that is a visible, enabled tab stop.
    HWND FirstTabStop(HWND hDlg) const;
    // RunModalDialog's steps: the windows of a template; showing the dialog once its set-up
    // has not ended it; the modal loop; the dialog's end as its program and the log see it.
    HWND CreateDialogWindows(const SDialogTemplate& tpl, CDialog& dialog, HWND hParent);
    void OpenAfterSetUp(HWND hDlg, bool bSetFocus);
    void RunModalLoop(HWND hDlg);
    void CloseModalDialog(HWND hDlg, INT_PTR nResult);
    // The top dialog's control nId of that class when a user could act on it now; any action
    // closes an open pop-up menu first.
    SHeadlessWindow* InputControl(int nId, std::string_view className);
    HWND NewWindow(std::unique_ptr<SHeadlessWindow> pWindow);
    HMENU MakeSystemMenu(const SHeadlessWindow& dialog);
    void DestroyDialogWindows(HWND hDlg);
    void DestroyMenuTree(HMENU hMenu);
    int DialogId(HWND hWnd) const;
    bool CanTakeInput(const SHeadlessWindow* pControl) const;
    bool SendCommand(HWND hDlg, int nId, UINT nCode, HWND hControl);
    void ClampTopIndex(SHeadlessWindow& list) const;
    LRESULT ProgressMessage(SHeadlessWindow& bar, UINT nMsg, WPARAM wParam, LPARAM lParam);
    void Emit(SUiEvent event);
    void ReportVisibility(SHeadlessWindow& window, bool bWasVisible, bool bWasIconic);

    std::uintptr_t m_nNextHandle = 0x1000;
    std::map<std::uintptr_t, std::unique_ptr<SHeadlessWindow>> m_windows;
    CMenuModel m_menus{[this] { return m_nNextHandle++; }};
    std::map<UINT, HICON> m_icons;
    std::vector<HWND> m_modalStack;
    std::vector<SHeadlessTrayIcon> m_trayIcons;
    std::unique_ptr<SHeadlessPopup> m_pPopup;
    std::vector<SHeadlessDrawnIcon> m_drawnIcons;
    std::function<bool()> m_pump;
    HWND m_hFocus = nullptr;
    POINT m_cursor{400, 300};
    WString m_appName = u"Kestrum";
    bool m_bTrayAvailable = true;
    int m_nOleDepth = 0;
    DWORD m_dwCommonControls = 0;

    struct SPostedMessage {
        HWND hWnd;
        UINT nMsg;
        WPARAM wParam;
        LPARAM lParam;
    };

    // Shared with other threads: answers, posted messages, the event log and the sink.
    mutable std::mutex m_mutex;
    std::deque<SPostedMessage> m_posted;
    std::mutex m_sinkMutex;  // one event reported at a time
    std::deque<int> m_messageBoxAnswers;
    std::deque<std::pair<EFolderChoice, WString>> m_folderChoices;
    std::vector<SUiEvent> m_events;
    IUiEventSink* m_pSink = nullptr;
};
