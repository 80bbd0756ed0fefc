// CComboBox: the drop-down, over the backend's combo box operations.
#include "ui/ComboBox.h"

int CComboBox::AddString(const WChar* pszString) {
    return UiBackend().ComboAddString(m_hWnd, pszString);
}

int CComboBox::GetCurSel() const { return UiBackend().ComboGetCurSel(m_hWnd); }

int CComboBox::SetCurSel(int nSelect) { return UiBackend().ComboSetCurSel(m_hWnd, nSelect); }
