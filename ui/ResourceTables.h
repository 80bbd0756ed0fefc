// Dialogs, menus and strings of the resource script as tables, for backends that cannot load
// a compiled resource. A build step generates the tables from res/Kestrum.rc.
#pragma once

#include <cstddef>

#include "ui/WinDefs.h"

struct SDialogItemTemplate {
    int nId;               // -1 for items without an id (IDC_STATIC)
    const char* pszClass;  // as the script names it: "Button", "Edit", "SysListView32"...
    const WChar* pszText;  // for "Static" with SS_ICON: the icon's resource id as text
    int x, y, cx, cy;      // dialog units
    DWORD dwStyle;
    DWORD dwExStyle;
};

struct SDialogTemplate {
    int nId;
    const WChar* pszCaption;
    int x, y, cx, cy;  // dialog units
    DWORD dwStyle;
    DWORD dwExStyle;
    const WChar* pszFontFace;
    int nPointSize;
    const SDialogItemTemplate* pItems;
    std::size_t nItems;
};

struct SMenuItemTemplate {
    const WChar* pszText;
    UINT nId;     // command id; 0 for pop-ups
    int nParent;  // index of the pop-up item it belongs to, -1 at the top level
    bool bPopup;
};

struct SMenuTemplate {
    int nId;
    const SMenuItemTemplate* pItems;
    std::size_t nItems;
};

struct SStringTemplate {
    UINT nId;
    const WChar* pszText;
};

// nullptr when the script has no such resource.
const SDialogTemplate* FindDialogTemplate(int nId);
const SMenuTemplate* FindMenuTemplate(int nId);
const WChar* FindStringResource(UINT nId);
// The file an icon resource is made from, as the script names it ("Kestrum.ico"); nullptr when
// the script has no such icon.
const char* FindIconResource(int nId);
