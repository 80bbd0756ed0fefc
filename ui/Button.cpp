// CButton: reads and sets a check box through the backend.
#include "ui/Button.h"

#include "ui/Backend.h"

int CButton::GetCheck() const { return UiBackend().ButtonGetCheck(m_hWnd); }

void CButton::SetCheck(int nCheck) { UiBackend().ButtonSetCheck(m_hWnd, nCheck); }
