// CExtractOptionsDlg: how extracted copies are named (a preset or a template of the user's, and
// whether names are made safe for every disk), with a preview of one song's name; and the
// user's choice kept between runs.
#pragma once

#include "songdb/NameTemplate.h"
#include "songdb/SongDatabase.h"
#include "ui/Button.h"
#include "ui/ComboBox.h"
#include "ui/Dialog.h"

// The choice kept for the user (the default naming when none was kept or it is not a
// template); saving it is false when the store could not be written.
exportname::SNameRule LoadNameRule();
bool SaveNameRule(const exportname::SNameRule& rule);

class CExtractOptionsDlg : public CDialog {
public:
    // rule is the choice the dialog opens with, and after OK the user's new one. The preview
    // names nPreviewRow of pDatabase (nothing without a database).
    CExtractOptionsDlg(exportname::SNameRule& rule, const CSongDatabase* pDatabase, int nPreviewRow,
                       CWnd* pParentWnd = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnPresetChange();
    void OnTemplateChange();
    void OnSafeNames();

    CComboBox m_comboPreset;
    CButton m_checkSafe;

    DECLARE_MESSAGE_MAP()

private:
    WString TemplateText() const;
    // The check box follows the template: names from any template but the default are always
    // safe, so it is ticked and fixed for them.
    void ShowSafeNames(const WString& tmpl);
    void UpdatePreview();

    exportname::SNameRule& m_rule;
    const CSongDatabase* m_pDatabase;
    int m_nPreviewRow;
    // The user's own tick for the default naming, kept while another template is shown.
    bool m_bSafeChoice;
};
