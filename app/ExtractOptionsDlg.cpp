// CExtractOptionsDlg: the preset list and the template box follow each other, the check box
// follows the template, and the preview follows all three; OK keeps the choice.
#include "app/ExtractOptionsDlg.h"

#include <array>
#include <string>

#include "platform/Platform.h"
#include "res/resource.h"
#include "ui/Backend.h"

namespace {

// Values under the program's settings.
constexpr const WChar* kNameTemplateValue = u"NameTemplate";
constexpr const WChar* kSafeNamesValue = u"SafeNames";

// The presets in the order the list shows them; the last entry is the user's own template.
struct SPreset {
    const WChar* pszLabel;
    const char* pszName;
};
constexpr std::array<SPreset, 4> kPresets = {{
    {u"Title (as stored)", "flat"},
    {u"Artist - Title", "artist-title"},
    {u"Artist\\Album\\Track Title", "library"},
    {u"Custom", nullptr},
}};
constexpr int kCustom = static_cast<int>(kPresets.size()) - 1;

// The list entry of a template: its preset, else Custom.
int PresetOf(const WString& tmpl) {
    for (int i = 0; i < kCustom; ++i) {
        if (exportname::PresetTemplate(kPresets[static_cast<std::size_t>(i)].pszName) == tmpl) {
            return i;
        }
    }
    return kCustom;
}

// Longer templates are not kept: no name could use them.
constexpr int kTemplateLength = 1024;

}  // namespace

exportname::SNameRule LoadNameRule() {
    platform::IPlatform& os = platform::Platform();
    exportname::SNameRule rule;
    WString tmpl;
    std::string error;
    if (os.ReadSettingText(kNameTemplateValue, tmpl) && exportname::CheckTemplate(tmpl, error)) {
        rule.strTemplate = tmpl;
    }
    std::uint32_t dwSafe = 0;
    rule.bSafe = os.ReadSettingNumber(kSafeNamesValue, dwSafe) && dwSafe != 0;
    return rule;
}

bool SaveNameRule(const exportname::SNameRule& rule) {
    platform::IPlatform& os = platform::Platform();
    const bool bTemplate = os.WriteSettingText(kNameTemplateValue, rule.strTemplate);
    return os.WriteSettingNumber(kSafeNamesValue, rule.bSafe ? 1 : 0) && bTemplate;
}

BEGIN_MESSAGE_MAP(CExtractOptionsDlg, CDialog)
ON_CBN_SELCHANGE(IDC_NAMEPRESET, OnPresetChange)
ON_EN_CHANGE(IDC_NAMETEMPLATE, OnTemplateChange)
ON_BN_CLICKED(IDC_SAFENAMES, OnSafeNames)
END_MESSAGE_MAP()

CExtractOptionsDlg::CExtractOptionsDlg(exportname::SNameRule& rule, const CSongDatabase* pDatabase,
                                       int nPreviewRow, CWnd* pParentWnd)
    : CDialog(IDD_EXTRACTOPTIONS, pParentWnd),
      m_rule(rule),
      m_pDatabase(pDatabase),
      m_nPreviewRow(nPreviewRow),
      m_bSafeChoice(rule.bSafe) {}

void CExtractOptionsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_NAMEPRESET, m_comboPreset);
    DDX_Control(pDX, IDC_SAFENAMES, m_checkSafe);
}

BOOL CExtractOptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (const SPreset& preset : kPresets) {
        m_comboPreset.AddString(preset.pszLabel);
    }
    // Setting the text reports a change, which sets the list, the check box and the preview.
    SetDlgItemText(IDC_NAMETEMPLATE, m_rule.strTemplate.c_str());
    OnTemplateChange();
    return TRUE;
}

WString CExtractOptionsDlg::TemplateText() const {
    WChar szText[kTemplateLength] = {};
    const int nLength = GetDlgItemText(IDC_NAMETEMPLATE, szText, kTemplateLength);
    return WString(szText, static_cast<std::size_t>(nLength > 0 ? nLength : 0));
}

void CExtractOptionsDlg::OnPresetChange() {
    const int nPreset = m_comboPreset.GetCurSel();
    if (nPreset < 0 || nPreset >= kCustom) {
        // Custom starts from whatever the box holds.
        return;
    }
    const WString tmpl =
        exportname::PresetTemplate(kPresets[static_cast<std::size_t>(nPreset)].pszName);
    SetDlgItemText(IDC_NAMETEMPLATE, tmpl.c_str());
}

void CExtractOptionsDlg::OnTemplateChange() {
    const WString tmpl = TemplateText();
    m_comboPreset.SetCurSel(PresetOf(tmpl));
    ShowSafeNames(tmpl);
    UpdatePreview();
}

void CExtractOptionsDlg::OnSafeNames() {
    m_bSafeChoice = m_checkSafe.GetCheck() == BST_CHECKED;
    UpdatePreview();
}

void CExtractOptionsDlg::ShowSafeNames(const WString& tmpl) {
    const bool bPlain = tmpl == exportname::kFlatTemplate;
    m_checkSafe.SetCheck(!bPlain || m_bSafeChoice ? BST_CHECKED : BST_UNCHECKED);
    m_checkSafe.EnableWindow(bPlain ? TRUE : FALSE);
}

void CExtractOptionsDlg::UpdatePreview() {
    const WString tmpl = TemplateText();
    std::string error;
    const bool bValid = exportname::CheckTemplate(tmpl, error);
    if (CWnd* pOk = GetDlgItem(IDOK); pOk != nullptr) {
        pOk->EnableWindow(bValid ? TRUE : FALSE);
    }
    WString preview;
    if (!bValid) {
        preview = u"Not a template: " + WideFromUtf8(error);
    } else if (m_pDatabase != nullptr) {
        const exportname::SNameRule rule{tmpl, m_checkSafe.GetCheck() == BST_CHECKED};
        if (!m_pDatabase->FormFileName(m_nPreviewRow, rule, preview)) {
            preview.clear();
        }
    }
    SetDlgItemText(IDC_NAMEPREVIEW, preview.c_str());
}

void CExtractOptionsDlg::OnOK() {
    const WString tmpl = TemplateText();
    std::string error;
    if (!exportname::CheckTemplate(tmpl, error)) {
        return;
    }
    m_rule.strTemplate = tmpl;
    m_rule.bSafe = tmpl == exportname::kFlatTemplate ? m_bSafeChoice : true;
    CDialog::OnOK();
}
