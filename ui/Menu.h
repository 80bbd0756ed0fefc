// CMenu: a menu handle that destroys the menu it loaded.
#pragma once

#include <map>
#include <memory>

#include "ui/WinDefs.h"

class CWnd;

class CMenu {
public:
    CMenu() = default;
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;

    BOOL LoadMenu(UINT nIDResource);
    // Wraps a menu this object does not own (a submenu, the system menu).
    void AttachBorrowed(HMENU hMenu);
    BOOL DestroyMenu();
    // The pop-up at position nPos, wrapped by a CMenu this one keeps; nullptr when none.
    CMenu* GetSubMenu(int nPos) const;
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const WChar* pszNewItem = nullptr);
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pOwner);
    BOOL SetDefaultItem(UINT uItem, BOOL fByPos = FALSE);
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);

private:
    bool m_bOwned = false;
    mutable std::map<int, std::unique_ptr<CMenu>> m_subMenus;
};
