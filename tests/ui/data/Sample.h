// Ids of the generator's sample script.
#pragma once
#define IDC_STATIC (-1)
#define IDD_SAMPLE 300
#define IDC_EDIT 301
#define IDR_NESTED 302
#define IDS_QUOTE 303
#define IDC_ALIAS IDC_EDIT
