// Menus in memory: loading from the resource tables, appending, the default item, destruction.
#include "ui/qt/MenuModel.h"

#include <utility>

namespace qtui {

CMenuModel::CMenuModel(std::function<std::uintptr_t()> newHandle)
    : m_newHandle(std::move(newHandle)) {}

const SMenu* CMenuModel::Find(HMENU hMenu) const {
    const auto it = m_menus.find(hMenu);
    return it != m_menus.end() ? &it->second : nullptr;
}

SMenu* CMenuModel::FindMutable(HMENU hMenu) {
    const auto it = m_menus.find(hMenu);
    return it != m_menus.end() ? &it->second : nullptr;
}

HMENU CMenuModel::NewMenu() {
    HMENU hMenu = reinterpret_cast<HMENU>(m_newHandle());
    m_menus[hMenu] = SMenu();
    return hMenu;
}

HMENU CMenuModel::BuildFromTemplate(const SMenuTemplate& menu, int nParent) {
    HMENU hMenu = NewMenu();
    for (std::size_t i = 0; i < menu.nItems; ++i) {
        const SMenuItemTemplate& item = menu.pItems[i];
        if (item.nParent != nParent) {
            continue;
        }
        SMenuItem entry;
        entry.text = item.pszText != nullptr ? WString(item.pszText) : WString();
        entry.nId = item.nId;
        entry.bSeparator = item.pszText == nullptr && !item.bPopup;
        if (item.bPopup) {
            entry.hSubMenu = BuildFromTemplate(menu, static_cast<int>(i));
        }
        m_menus[hMenu].items.push_back(std::move(entry));
    }
    return hMenu;
}

HMENU CMenuModel::Load(int nIDResource) {
    const SMenuTemplate* pTemplate = FindMenuTemplate(nIDResource);
    return pTemplate != nullptr ? BuildFromTemplate(*pTemplate, -1) : nullptr;
}

HMENU CMenuModel::MakeSystemMenu(DWORD dwDialogStyle) {
    HMENU hMenu = NewMenu();
    SMenu& menu = m_menus[hMenu];
    if ((dwDialogStyle & WS_MINIMIZEBOX) != 0) {
        menu.items.push_back({u"Mi&nimize", SC_MINIMIZE, false, nullptr});
    }
    menu.items.push_back({u"&Close\tAlt+F4", SC_CLOSE, false, nullptr});
    menu.nStandardItems = menu.items.size();
    return hMenu;
}

HMENU CMenuModel::SubMenu(HMENU hMenu, int nPos) const {
    const SMenu* pMenu = Find(hMenu);
    if (pMenu == nullptr || nPos < 0 || static_cast<std::size_t>(nPos) >= pMenu->items.size()) {
        return nullptr;
    }
    return pMenu->items[static_cast<std::size_t>(nPos)].hSubMenu;
}

bool CMenuModel::Destroy(HMENU hMenu) {
    const auto it = m_menus.find(hMenu);
    if (it == m_menus.end()) {
        return false;
    }
    std::vector<HMENU> subMenus;
    for (const SMenuItem& item : it->second.items) {
        if (item.hSubMenu != nullptr) {
            subMenus.push_back(item.hSubMenu);
        }
    }
    m_menus.erase(it);
    for (HMENU hSub : subMenus) {
        Destroy(hSub);
    }
    return true;
}

bool CMenuModel::Append(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, const WChar* pszNewItem) {
    SMenu* pMenu = FindMutable(hMenu);
    if (pMenu == nullptr) {
        return false;
    }
    SMenuItem item;
    if ((nFlags & MF_SEPARATOR) != 0) {
        item.bSeparator = true;
    } else {
        item.text = pszNewItem != nullptr ? WString(pszNewItem) : WString();
        if ((nFlags & MF_POPUP) != 0) {
            item.hSubMenu = reinterpret_cast<HMENU>(nIDNewItem);
        } else {
            item.nId = static_cast<UINT>(nIDNewItem);
        }
    }
    pMenu->items.push_back(std::move(item));
    return true;
}

UINT CMenuModel::Enable(HMENU hMenu, UINT nItem, UINT nFlags) {
    SMenu* pMenu = FindMutable(hMenu);
    if (pMenu == nullptr) {
        return static_cast<UINT>(-1);
    }
    SMenuItem* pItem = nullptr;
    if ((nFlags & MF_BYPOSITION) != 0) {
        pItem = nItem < pMenu->items.size() ? &pMenu->items[nItem] : nullptr;
    } else {
        for (SMenuItem& item : pMenu->items) {
            if (item.IsCommand() && item.nId == nItem) {
                pItem = &item;
                break;
            }
        }
    }
    if (pItem == nullptr) {
        return static_cast<UINT>(-1);
    }
    const UINT nPrevious = pItem->bGrayed ? MF_GRAYED : MF_ENABLED;
    pItem->bGrayed = (nFlags & (MF_GRAYED | MF_DISABLED)) != 0;
    return nPrevious;
}

bool CMenuModel::SetDefaultItem(HMENU hMenu, UINT nItem, bool bByPosition) {
    SMenu* pMenu = FindMutable(hMenu);
    if (pMenu == nullptr) {
        return false;
    }
    if (nItem == static_cast<UINT>(-1)) {
        pMenu->nDefaultPos = -1;
        return true;
    }
    if (bByPosition) {
        if (nItem >= pMenu->items.size()) {
            return false;
        }
        pMenu->nDefaultPos = static_cast<int>(nItem);
        return true;
    }
    for (std::size_t i = 0; i < pMenu->items.size(); ++i) {
        if (pMenu->items[i].IsCommand() && pMenu->items[i].nId == nItem) {
            pMenu->nDefaultPos = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

}  // namespace qtui
