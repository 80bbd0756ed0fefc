// Resource ids shared by the resource script and the program's code.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs, strings, icon and menu.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_KESTRUM_DIALOG 102
#define IDD_EXTRACTOPTIONS 110
#define IDS_EXTRACTOPTIONS 111
#define IDS_FINDLOSTSONGS 112
#define IDS_SAVESONGLIST 114
#define IDR_MAINICON 129
#define IDR_TRAYMENU 130

// Controls of the about box.
#define IDC_DROVIL 1003

// Controls of the main dialog; the Extract button is IDOK (1).
#define IDC_SONGLIST 1006
#define IDC_DRIVE 1011
#define IDC_DISKSIZE 1012
#define IDC_DISKFREE 1013
#define IDC_SONGCOUNT 1015
#define IDC_SEARCH 1017
#define IDC_SEARCHTEXT 1018
#define IDC_SEARCHFIELD 1019
#define IDC_CHECKALL 1020

// The progress dialog of an extraction run and its controls; its Cancel button is IDCANCEL (2).
#define IDD_EXTRACT_PROGRESS 120
#define IDC_PROGRESS_TEXT 1050
#define IDC_PROGRESS_BAR 1051
// The progress dialog of a read of song files, with the same controls.
#define IDD_READ_PROGRESS 121

// Controls of the extract options.
#define IDC_NAMEPRESET 1030
#define IDC_NAMETEMPLATE 1031
#define IDC_SAFENAMES 1032
#define IDC_NAMEPREVIEW 1033

// Commands. System menu entries keep their low four bits clear, as system commands need.
#define IDM_ABOUTBOX 0x0010
#define IDM_EXTRACTOPTIONS 0x0020
#define IDM_FINDLOSTSONGS 0x0030
#define IDM_SAVESONGLIST 0x0040
#define ID_TRAY_SHOWWINDOW 32771
