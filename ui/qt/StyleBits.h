// Window and control style bits of the dialog templates, with the system's names and values,
// for the parts of a template the Qt backend turns into widgets.
#pragma once

#include "ui/WinDefs.h"

namespace qtui {

inline constexpr DWORD kWsDisabled = 0x08000000;
inline constexpr DWORD kWsBorder = 0x00800000;
inline constexpr DWORD kWsSysMenu = 0x00080000;
inline constexpr DWORD kWsMinimizeBox = 0x00020000;
inline constexpr DWORD kDsCenter = 0x0800;

inline constexpr DWORD kBsTypeMask = 0x000F;
inline constexpr DWORD kBsDefPushButton = 0x0001;
inline constexpr DWORD kBsAutoCheckBox = 0x0003;
inline constexpr DWORD kBsGroupBox = 0x0007;

inline constexpr DWORD kSsTypeMask = 0x001F;
inline constexpr DWORD kSsIcon = 0x0003;
inline constexpr DWORD kSsNoPrefix = 0x0080;

inline constexpr DWORD kEsReadOnly = 0x0800;

inline constexpr DWORD kCbsTypeMask = 0x0003;
inline constexpr DWORD kCbsDropDown = 0x0002;
inline constexpr DWORD kCbsSort = 0x0100;

inline constexpr DWORD kLvsSingleSel = 0x0004;

inline constexpr UINT kTpmRightAlign = 0x0008;

inline constexpr UINT kMbTypeMask = 0x000F;
inline constexpr UINT kMbOkCancel = 0x0001;
inline constexpr UINT kMbYesNo = 0x0004;
inline constexpr UINT kMbIconMask = 0x00F0;

}  // namespace qtui
