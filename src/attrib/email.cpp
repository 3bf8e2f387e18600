// The e-mail notification query: the caller's value goes to the query module as it came.
#include <windows.h>
#include <vyxbidi.h>

#include "frame/query_module.h"

extern "C" LONG WINAPI Misc_GetEMailNotification(BiDiHandle* handle, void* value) {
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    // Whether `value` is a setting or the address the module stores one at is agreed between the
    // caller and the module; it is never read or tested here.
    return vyx::CallModule(handle, vyxquery::Misc_GetEMail_Notification, value);
}
