// The dialogs, menus and strings of a compiled resource file (.res) as the resource compiler
// wrote them, read back for comparison with the tables the backends use.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "ui/WinDefs.h"

namespace restest {

struct SCompiledItem {
    int nId = 0;
    std::string strClass;  // "Button", "Edit", "Static", "ComboBox", or the class name given
    WString strText;       // an ordinal title (an icon's id) as its decimal number
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD dwStyle = 0;
    DWORD dwExStyle = 0;
};

struct SCompiledDialog {
    WString strCaption;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD dwStyle = 0;
    DWORD dwExStyle = 0;
    WString strFontFace;
    int nPointSize = 0;
    std::vector<SCompiledItem> items;
};

struct SCompiledMenuItem {
    WString strText;  // empty for a separator
    UINT nId = 0;
    int nParent = -1;
    bool bPopup = false;
};

struct SCompiledResources {
    std::map<int, SCompiledDialog> dialogs;
    std::map<int, std::vector<SCompiledMenuItem>> menus;
    std::map<UINT, WString> strings;
    std::vector<int> iconGroups;
};

// Reads the file; false when it cannot be read or is not a well-formed resource file.
bool ReadCompiledResources(const std::string& path, SCompiledResources& resources);

}  // namespace restest
