// A query module for tests: every entry point hands its arguments to a hook that the test set.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include <cstring>

#include "test_query_module.h"

namespace {

struct HookSlot {
    const char* name;
    void (*function)();
    void* user;
};

#define TEST_MODULE_SLOT_(name, params) {#name, nullptr, nullptr},
HookSlot g_slots[] = {VYXQUERY_ENTRY_POINTS(TEST_MODULE_SLOT_)};
#undef TEST_MODULE_SLOT_

HookSlot* FindSlot(const char* name) {
    for (HookSlot& slot : g_slots) {
        if (std::strcmp(slot.name, name) == 0) {
            return &slot;
        }
    }
    return nullptr;
}

template <typename Pfn>
struct Forwarder;

template <typename... Arguments>
struct Forwarder<LONG(WINAPI*)(VyxQueryContext*, Arguments...)> {
    static LONG Call(const char* name, VyxQueryContext* context, Arguments... arguments) {
        const HookSlot* slot = FindSlot(name);
        if (!slot || !slot->function) {
            return TEST_MODULE_NO_HOOK;
        }
        using Hook = LONG (*)(void*, VyxQueryContext*, Arguments...);
        return reinterpret_cast<Hook>(slot->function)(slot->user, context, arguments...);
    }
};

template <typename Pfn, typename... Arguments>
LONG Forward(vyxquery::EntryPoint<Pfn> entry, Arguments... arguments) {
    return Forwarder<Pfn>::Call(entry.name, arguments...);
}

}  // namespace

extern "C" BOOL WINAPI TestQueryModule_SetHook(const char* name, void (*function)(), void* user) {
    HookSlot* slot = FindSlot(name);
    if (!slot) {
        return FALSE;
    }
    slot->function = function;
    slot->user = user;
    return TRUE;
}

#define FORWARD(name, ...) return Forward(vyxquery::name, __VA_ARGS__)

extern "C" {

LONG WINAPI VyxQuery_Initialize(VyxQueryContext* c, LPCSTR path) { FORWARD(VyxQuery_Initialize, c, path); }
LONG WINAPI VyxQuery_Terminate(VyxQueryContext* c) { FORWARD(VyxQuery_Terminate, c); }
LONG WINAPI VyxQuery_Connect(VyxQueryContext* c, LPCSTR a, LPCSTR b) { FORWARD(VyxQuery_Connect, c, a, b); }
LONG WINAPI VyxQuery_Disconnect(VyxQueryContext* c) { FORWARD(VyxQuery_Disconnect, c); }

LONG WINAPI Color_OpenSession(VyxQueryContext* c, LPCSTR a, LPCSTR b, LPCSTR d, LPCSTR e, LPCSTR f,
                              LPCSTR g) {
    FORWARD(Color_OpenSession, c, a, b, d, e, f, g);
}
LONG WINAPI Color_CloseSession(VyxQueryContext* c) { FORWARD(Color_CloseSession, c); }
LONG WINAPI Color_SetNextKey(VyxQueryContext* c) { FORWARD(Color_SetNextKey, c); }
LONG WINAPI Color_GetCurrentKey(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Color_GetCurrentKey, c, a, b); }
LONG WINAPI Color_GetNextOption(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Color_GetNextOption, c, a, b); }
LONG WINAPI Color_SetCurrentKey(VyxQueryContext* c, LPCSTR key) { FORWARD(Color_SetCurrentKey, c, key); }
LONG WINAPI Color_GetSelectedOption(VyxQueryContext* c, LPCSTR key, LPSTR a, LPSTR b) {
    FORWARD(Color_GetSelectedOption, c, key, a, b);
}
LONG WINAPI Color_SetKeyValue(VyxQueryContext* c, LPCSTR key, LPCSTR value) {
    FORWARD(Color_SetKeyValue, c, key, value);
}

LONG WINAPI JobTPlate_QueryTemplateNames(VyxQueryContext* c, LONG* count) {
    FORWARD(JobTPlate_QueryTemplateNames, c, count);
}
LONG WINAPI JobTPlate_GetTemplateNames(VyxQueryContext* c, LONG* index, LPSTR name, LONG* tag) {
    FORWARD(JobTPlate_GetTemplateNames, c, index, name, tag);
}
LONG WINAPI JobTPlate_GetTemplateItems(VyxQueryContext* c, TemplateRecord* record, LPSTR text,
                                       LONG* reserved) {
    FORWARD(JobTPlate_GetTemplateItems, c, record, text, reserved);
}

LONG WINAPI Attribute_OpenSession(VyxQueryContext* c, LPCSTR a, LPCSTR b) { FORWARD(Attribute_OpenSession, c, a, b); }
LONG WINAPI Attribute_CloseSession(VyxQueryContext* c) { FORWARD(Attribute_CloseSession, c); }
LONG WINAPI Attribute_GetNumTrays(VyxQueryContext* c, LONG* count) { FORWARD(Attribute_GetNumTrays, c, count); }
LONG WINAPI Attribute_GetNumColors(VyxQueryContext* c, LONG* count) { FORWARD(Attribute_GetNumColors, c, count); }
LONG WINAPI Attribute_GetIndexedTrays(VyxQueryContext* c, LONG* index, LPSTR text1, LONG* value1,
                                      LONG* value2, LPSTR text2, LPSTR text3, LPSTR text4) {
    FORWARD(Attribute_GetIndexedTrays, c, index, text1, value1, value2, text2, text3, text4);
}
LONG WINAPI Attribute_GetIndexedColors(VyxQueryContext* c, LONG* index, LPSTR text1, LONG* value1,
                                       LONG* value2) {
    FORWARD(Attribute_GetIndexedColors, c, index, text1, value1, value2);
}
LONG WINAPI Attribute_GetSorter(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetSorter, c, a, b); }
LONG WINAPI Attribute_GetDuplex(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetDuplex, c, a, b); }
LONG WINAPI Attribute_GetLowerTray(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetLowerTray, c, a, b); }
LONG WINAPI Attribute_GetFax(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetFax, c, a, b); }
LONG WINAPI Attribute_GetFinisher(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetFinisher, c, a, b); }
LONG WINAPI Attribute_GetFaceDownUnit(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetFaceDownUnit, c, a, b); }
LONG WINAPI Attribute_GetFinisherType(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetFinisherType, c, a, b); }
LONG WINAPI Attribute_GetFinisherOption(VyxQueryContext* c, LPSTR a, LPSTR b) {
    FORWARD(Attribute_GetFinisherOption, c, a, b);
}
LONG WINAPI Attribute_GetMFPOption(VyxQueryContext* c, LPSTR a, LPSTR b) { FORWARD(Attribute_GetMFPOption, c, a, b); }

LONG WINAPI Misc_GetEMail_Notification(VyxQueryContext* c, void* value) {
    FORWARD(Misc_GetEMail_Notification, c, value);
}

}  // extern "C"
