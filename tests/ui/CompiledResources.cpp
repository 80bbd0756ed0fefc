// Reader of compiled resource files: a sequence of headed, DWORD-aligned entries; dialogs in
// the extended or the classic template, menus in the classic menu template, strings in blocks
// of sixteen.
#include "CompiledResources.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>

namespace restest {
namespace {

constexpr int kTypeMenu = 4;
constexpr int kTypeDialog = 5;
constexpr int kTypeString = 6;
constexpr int kTypeGroupIcon = 14;

// A cursor over the bytes of one entry; any read past the end marks it failed.
class CCursor {
public:
    CCursor(const std::vector<std::uint8_t>& bytes, std::size_t nBegin, std::size_t nEnd)
        : m_bytes(bytes), m_nPos(nBegin), m_nEnd(nEnd) {}

    std::uint16_t Word() {
        if (m_nEnd - m_nPos < 2 || m_nPos > m_nEnd) {
            m_bFailed = true;
            m_nPos = m_nEnd;
            return 0;
        }
        const auto n = static_cast<std::uint16_t>(m_bytes[m_nPos] | (m_bytes[m_nPos + 1] << 8));
        m_nPos += 2;
        return n;
    }
    std::uint32_t DWord() {
        const std::uint32_t nLow = Word();
        return nLow | (static_cast<std::uint32_t>(Word()) << 16);
    }
    int Short() { return static_cast<std::int16_t>(Word()); }
    std::uint8_t Byte() {
        if (m_nPos >= m_nEnd) {
            m_bFailed = true;
            return 0;
        }
        return m_bytes[m_nPos++];
    }
    WString String() {
        WString text;
        for (std::uint16_t c = Word(); c != 0 && !m_bFailed; c = Word()) {
            text.push_back(static_cast<WChar>(c));
        }
        return text;
    }
    // A name or an ordinal: 0xFFFF then a number, or a string (empty when the first word is 0).
    std::optional<int> OrdinalOr(WString& text) {
        const std::uint16_t nFirst = Word();
        if (nFirst == 0xFFFF) {
            return Word();
        }
        text.clear();
        for (std::uint16_t c = nFirst; c != 0 && !m_bFailed; c = Word()) {
            text.push_back(static_cast<WChar>(c));
        }
        return std::nullopt;
    }
    void AlignToDWord() { m_nPos = std::min(m_nEnd, (m_nPos + 3) & ~std::size_t{3}); }
    void Skip(std::size_t n) { m_nPos = n > m_nEnd - m_nPos ? m_nEnd : m_nPos + n; }
    bool AtEnd() const { return m_nPos >= m_nEnd; }
    bool Failed() const { return m_bFailed; }
    std::size_t Pos() const { return m_nPos; }

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_nPos;
    std::size_t m_nEnd;
    bool m_bFailed = false;
};

std::string ClassName(CCursor& in) {
    WString name;
    if (const std::optional<int> nAtom = in.OrdinalOr(name)) {
        switch (*nAtom) {
            case 0x80:
                return "Button";
            case 0x81:
                return "Edit";
            case 0x82:
                return "Static";
            case 0x83:
                return "ListBox";
            case 0x84:
                return "ScrollBar";
            case 0x85:
                return "ComboBox";
            default:
                return "#" + std::to_string(*nAtom);
        }
    }
    return std::string(name.begin(), name.end());
}

WString ItemText(CCursor& in) {
    WString text;
    if (const std::optional<int> nOrdinal = in.OrdinalOr(text)) {
        const std::string number = std::to_string(*nOrdinal);
        return WString(number.begin(), number.end());
    }
    return text;
}

SCompiledItem ReadItem(CCursor& in, bool bExtended) {
    SCompiledItem item;
    if (bExtended) {
        in.DWord();  // help id
        item.dwExStyle = in.DWord();
        item.dwStyle = in.DWord();
    } else {
        item.dwStyle = in.DWord();
        item.dwExStyle = in.DWord();
    }
    item.x = in.Short();
    item.y = in.Short();
    item.cx = in.Short();
    item.cy = in.Short();
    item.nId = bExtended ? static_cast<int>(in.DWord()) : in.Short();
    if (item.nId == 0xFFFF) {
        item.nId = -1;
    }
    item.strClass = ClassName(in);
    item.strText = ItemText(in);
    in.Skip(in.Word());  // creation data
    return item;
}

SCompiledDialog ReadDialog(CCursor& in) {
    SCompiledDialog dialog;
    // The extended template starts with version 1 and the signature 0xFFFF; the classic one
    // with the style itself.
    const std::uint32_t nFirst = in.DWord();
    const bool bExtended = nFirst == 0xFFFF0001u;
    if (bExtended) {
        in.DWord();  // help id
        dialog.dwExStyle = in.DWord();
        dialog.dwStyle = in.DWord();
    } else {
        dialog.dwStyle = nFirst;
        dialog.dwExStyle = in.DWord();
    }
    const int nItems = in.Word();
    dialog.x = in.Short();
    dialog.y = in.Short();
    dialog.cx = in.Short();
    dialog.cy = in.Short();
    WString ignored;
    in.OrdinalOr(ignored);  // menu
    in.OrdinalOr(ignored);  // class
    dialog.strCaption = in.String();
    if ((dialog.dwStyle & DS_SETFONT) != 0) {
        dialog.nPointSize = in.Word();
        if (bExtended) {
            in.Word();  // weight
            in.Byte();  // italic
            in.Byte();  // character set
        }
        dialog.strFontFace = in.String();
    }
    for (int i = 0; i < nItems && !in.Failed(); ++i) {
        in.AlignToDWord();
        dialog.items.push_back(ReadItem(in, bExtended));
    }
    return dialog;
}

// Items in file order, each pop-up followed by its own items; a pop-up's last item carries
// MF_END, as does the last item at the top level.
void ReadMenuItems(CCursor& in, int nParent, std::vector<SCompiledMenuItem>& items) {
    constexpr std::uint16_t kPopup = 0x0010;
    constexpr std::uint16_t kEnd = 0x0080;
    for (;;) {
        const std::uint16_t nFlags = in.Word();
        SCompiledMenuItem item;
        item.nParent = nParent;
        item.bPopup = (nFlags & kPopup) != 0;
        if (!item.bPopup) {
            item.nId = in.Word();
        }
        item.strText = in.String();
        if (in.Failed()) {
            return;
        }
        items.push_back(item);
        if (item.bPopup) {
            ReadMenuItems(in, static_cast<int>(items.size()) - 1, items);
        }
        if ((nFlags & kEnd) != 0) {
            return;
        }
    }
}

std::vector<SCompiledMenuItem> ReadMenu(CCursor& in) {
    in.DWord();  // version and header size, both 0
    std::vector<SCompiledMenuItem> items;
    ReadMenuItems(in, -1, items);
    return items;
}

// Block n holds the strings 16 * (n - 1) to 16 * n - 1, each a length and its characters.
void ReadStringBlock(CCursor& in, int nBlock, std::map<UINT, WString>& strings) {
    for (UINT i = 0; i < 16 && !in.AtEnd(); ++i) {
        const std::uint16_t nLength = in.Word();
        WString text;
        for (std::uint16_t c = 0; c < nLength && !in.Failed(); ++c) {
            text.push_back(static_cast<WChar>(in.Word()));
        }
        if (nLength != 0) {
            strings[static_cast<UINT>(nBlock - 1) * 16 + i] = text;
        }
    }
}

}  // namespace

bool ReadCompiledResources(const std::string& path, SCompiledResources& resources) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    std::size_t nPos = 0;
    while (bytes.size() - nPos >= 8) {
        CCursor header(bytes, nPos, bytes.size());
        const std::uint32_t nDataSize = header.DWord();
        const std::uint32_t nHeaderSize = header.DWord();
        WString name;
        const std::optional<int> nType = header.OrdinalOr(name);
        const std::optional<int> nName = header.OrdinalOr(name);
        if (header.Failed() || nHeaderSize > bytes.size() - nPos ||
            nDataSize > bytes.size() - nPos - nHeaderSize) {
            return false;
        }
        const std::size_t nData = nPos + nHeaderSize;
        CCursor data(bytes, nData, nData + nDataSize);
        if (nType && nName) {
            switch (*nType) {
                case kTypeDialog:
                    resources.dialogs[*nName] = ReadDialog(data);
                    break;
                case kTypeMenu:
                    resources.menus[*nName] = ReadMenu(data);
                    break;
                case kTypeString:
                    ReadStringBlock(data, *nName, resources.strings);
                    break;
                case kTypeGroupIcon:
                    resources.iconGroups.push_back(*nName);
                    break;
                default:
                    break;
            }
        }
        if (data.Failed()) {
            return false;
        }
        nPos = (nData + nDataSize + 3) & ~std::size_t{3};
    }
    return nPos == bytes.size();
}

}  // namespace restest
