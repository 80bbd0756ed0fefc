// CWnd: a window handle with message-map dispatch and the window operations the dialogs use,
// all carried out by the installed backend.
#pragma once

#include <map>
#include <memory>

#include "platform/Text.h"
#include "ui/Backend.h"
#include "ui/Menu.h"
#include "ui/MessageMap.h"
#include "ui/WinDefs.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach();

    // Dispatch: the message map first, default processing for what it does not take. WM_COMMAND
    // entries match on (notification code, id).
    virtual LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being dispatched now.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam);
    LRESULT SendMessage(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queues the message for this window's thread; callable from any thread.
    BOOL PostMessage(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);

    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const WChar* pszText);
    int GetWindowText(WChar* pszBuffer, int nMaxCount) const;
    CWnd* SetFocus();
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    void GetClientRect(RECT* pRect) const;
    void ClientToScreen(POINT* pPoint) const;

    // A child control by id, wrapped by a CWnd this window keeps; nullptr when there is none.
    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, const WChar* pszText);
    int GetDlgItemText(int nID, WChar* pszBuffer, int nMaxCount) const;

    // The system menu, wrapped by a CMenu this window keeps; nullptr when it has none.
    CMenu* GetSystemMenu(BOOL bRevert);

    // A message box owned by this window; no caption means the application's name.
    int MessageBox(const WChar* pszText, const WChar* pszCaption = nullptr, UINT nType = MB_OK);

    // Default handlers that message maps of derived classes name.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    int OnCreate(void* pCreateStruct);
    void OnDestroy();

    static const SMessageMap* GetThisMessageMap();
    virtual const SMessageMap* GetMessageMap() const;

protected:
    // The message being dispatched, for Default().
    struct SCurrentMessage {
        UINT nMessage = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    SCurrentMessage m_current;

private:
    static const SMessageMapEntry* FindEntry(const SMessageMap* pMap, UINT nMessage, UINT nCode,
                                             UINT nID);
    LRESULT CallHandler(const SMessageMapEntry& entry, WPARAM wParam, LPARAM lParam);

    mutable std::map<int, std::unique_ptr<CWnd>> m_children;
    std::unique_ptr<CMenu> m_pSystemMenu;
};

// Paints a window between BeginPaint and EndPaint.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon);

private:
    CWnd* m_pWnd;
    HDC m_hDC;
};
