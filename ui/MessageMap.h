// Message maps: static tables of (message, notification code, control id, handler) that a
// window searches, class by class from the most derived, before default processing.
#pragma once

#include <variant>

#include "ui/WinDefs.h"

class CWnd;

// The handler shapes the framework can call.
using PfnVoid = void (CWnd::*)();
using PfnSysCommand = void (CWnd::*)(UINT nID, LPARAM lParam);
using PfnMessage = LRESULT (CWnd::*)(WPARAM wParam, LPARAM lParam);
using PfnCreate = int (CWnd::*)(void* pCreateStruct);
using PfnQueryDragIcon = HCURSOR (CWnd::*)();
using PfnHandler =
    std::variant<std::monostate, PfnVoid, PfnSysCommand, PfnMessage, PfnCreate, PfnQueryDragIcon>;

struct SMessageMapEntry {
    UINT nMessage;  // 0 ends the table
    UINT nCode;     // WM_COMMAND: the notification code (0 for menu commands and clicks)
    UINT nID;       // WM_COMMAND: the control or command id; 0 for other messages
    PfnHandler pfn;
};

struct SMessageMap {
    const SMessageMap* (*pfnGetBaseMap)();  // nullptr for the root
    const SMessageMapEntry* pEntries;
};

#define DECLARE_MESSAGE_MAP()                      \
public:                                            \
    static const SMessageMap* GetThisMessageMap(); \
    const SMessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
    const SMessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const SMessageMap* theClass::GetThisMessageMap() {                                 \
        using ThisClass = theClass;                                                    \
        using TheBaseClass = baseClass;                                                \
        static const SMessageMapEntry s_entries[] = {
#define END_MESSAGE_MAP()                                                           \
    {                                                                               \
        0, 0, 0, PfnHandler {}                                                      \
    }                                                                               \
    }                                                                               \
    ;                                                                               \
    static const SMessageMap s_map = {&TheBaseClass::GetThisMessageMap, s_entries}; \
    return &s_map;                                                                  \
    }

#define ON_WM_CREATE() {WM_CREATE, 0, 0, PfnHandler{static_cast<PfnCreate>(&ThisClass::OnCreate)}},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, PfnHandler{static_cast<PfnVoid>(&ThisClass::OnDestroy)}},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, PfnHandler{static_cast<PfnVoid>(&ThisClass::OnPaint)}},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, PfnHandler{static_cast<PfnSysCommand>(&ThisClass::OnSysCommand)}},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0,  \
     PfnHandler{static_cast<PfnQueryDragIcon>(&ThisClass::OnQueryDragIcon)}},
#define ON_MESSAGE(message, memberFxn) \
    {message, 0, 0, PfnHandler{static_cast<PfnMessage>(&ThisClass::memberFxn)}},
#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, id, PfnHandler{static_cast<PfnVoid>(&ThisClass::memberFxn)}},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, BN_CLICKED, id, PfnHandler{static_cast<PfnVoid>(&ThisClass::memberFxn)}},
#define ON_EN_CHANGE(id, memberFxn) \
    {WM_COMMAND, EN_CHANGE, id, PfnHandler{static_cast<PfnVoid>(&ThisClass::memberFxn)}},
#define ON_CBN_SELCHANGE(id, memberFxn) \
    {WM_COMMAND, CBN_SELCHANGE, id, PfnHandler{static_cast<PfnVoid>(&ThisClass::memberFxn)}},
