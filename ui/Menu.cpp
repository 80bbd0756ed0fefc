// CMenu: menus through the backend; only a menu this object loaded is destroyed by it.
#include "ui/Menu.h"

#include "ui/Backend.h"
#include "ui/Wnd.h"

CMenu::~CMenu() { DestroyMenu(); }

BOOL CMenu::LoadMenu(UINT nIDResource) {
    DestroyMenu();
    HMENU hMenu = UiBackend().LoadMenu(nIDResource);
    if (hMenu == nullptr) {
        return FALSE;
    }
    m_hMenu = hMenu;
    m_bOwned = true;
    return TRUE;
}

void CMenu::AttachBorrowed(HMENU hMenu) {
    if (m_hMenu == hMenu && !m_bOwned) {
        return;
    }
    DestroyMenu();
    m_hMenu = hMenu;
    m_bOwned = false;
}

BOOL CMenu::DestroyMenu() {
    m_subMenus.clear();
    if (m_hMenu == nullptr) {
        return FALSE;
    }
    BOOL bResult = TRUE;
    if (m_bOwned) {
        bResult = UiBackend().DestroyMenu(m_hMenu);
    }
    m_hMenu = nullptr;
    m_bOwned = false;
    return bResult;
}

CMenu* CMenu::GetSubMenu(int nPos) const {
    if (m_hMenu == nullptr) {
        return nullptr;
    }
    HMENU hSub = UiBackend().GetSubMenu(m_hMenu, nPos);
    if (hSub == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CMenu>& pSub = m_subMenus[nPos];
    if (!pSub) {
        pSub = std::make_unique<CMenu>();
    }
    // A submenu belongs to its parent menu and goes with it.
    pSub->AttachBorrowed(hSub);
    return pSub.get();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const WChar* pszNewItem) {
    return UiBackend().AppendMenu(m_hMenu, nFlags, nIDNewItem, pszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pOwner) {
    return UiBackend().TrackPopupMenu(m_hMenu, nFlags, x, y,
                                      pOwner != nullptr ? pOwner->m_hWnd : nullptr);
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    return UiBackend().EnableMenuItem(m_hMenu, nIDEnableItem, nEnable);
}

BOOL CMenu::SetDefaultItem(UINT uItem, BOOL fByPos) {
    return UiBackend().SetMenuDefaultItem(m_hMenu, uItem, fByPos != FALSE ? TRUE : FALSE);
}
