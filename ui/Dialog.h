// CDialog: a modal dialog made from a dialog template, with data exchange and the default
// OK and Cancel handling.
#pragma once

#include "ui/Wnd.h"

// Binds controls to members during the dialog's set-up.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Attaches control nIDC of the dialog to rControl (once).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog modally; the EndDialog result, or -1 when it could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // WM_INITDIALOG: runs data exchange; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    UINT GetTemplateId() const { return m_nIDTemplate; }

    // WM_INITDIALOG goes to OnInitDialog; commands IDOK and IDCANCEL that no map entry takes go
    // to OnOK and OnCancel.
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override;

    static const SMessageMap* GetThisMessageMap();
    const SMessageMap* GetMessageMap() const override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};
