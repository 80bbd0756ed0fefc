// The Qt backend's menus, kept in memory as Windows keeps its own: what a menu holds, its default
// item and the system menu's entries. Qt menus are made from them only when one is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/Text.h"
#include "ui/ResourceTables.h"
#include "ui/WinDefs.h"

namespace qtui {

struct SMenuItem {
    WString text;  // empty for a separator
    UINT nId = 0;  // the command; 0 for separators and pop-ups
    bool bSeparator = false;
    HMENU hSubMenu = nullptr;  // pop-ups only
    bool bGrayed = false;      // shown, but cannot be chosen

    bool IsCommand() const { return !bSeparator && hSubMenu == nullptr; }
};

struct SMenu {
    std::vector<SMenuItem> items;
    int nDefaultPos = -1;
    // System menus: the entries the backend put in before the program appended its own.
    std::size_t nStandardItems = 0;
};

class CMenuModel {
public:
    // Menu handles come from the backend's own handle counter, so no two handles of the backend
    // are alike.
    explicit CMenuModel(std::function<std::uintptr_t()> newHandle);

    const SMenu* Find(HMENU hMenu) const;
    // A menu from the resource tables, its pop-ups as submenus; nullptr when there is none.
    HMENU Load(int nIDResource);
    // A dialog's window menu: Minimize when the dialog has a minimise box, then Close.
    HMENU MakeSystemMenu(DWORD dwDialogStyle);
    HMENU SubMenu(HMENU hMenu, int nPos) const;
    // Destroys the menu and its submenus; false when there is no such menu.
    bool Destroy(HMENU hMenu);
    // MF_SEPARATOR, MF_POPUP (nIDNewItem is the submenu) or a command (MF_STRING).
    bool Append(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, const WChar* pszNewItem);
    // The default item by position, or by command (separators and pop-ups never match);
    // (UINT)-1 clears it.
    bool SetDefaultItem(HMENU hMenu, UINT nItem, bool bByPosition);
    // MF_GRAYED (or MF_DISABLED) or MF_ENABLED for an item by command or by position
    // (MF_BYPOSITION); its previous state, or (UINT)-1 when there is no such item.
    UINT Enable(HMENU hMenu, UINT nItem, UINT nFlags);

private:
    SMenu* FindMutable(HMENU hMenu);
    HMENU NewMenu();
    HMENU BuildFromTemplate(const SMenuTemplate& menu, int nParent);

    std::function<std::uintptr_t()> m_newHandle;
    std::map<HMENU, SMenu> m_menus;
};

}  // namespace qtui
