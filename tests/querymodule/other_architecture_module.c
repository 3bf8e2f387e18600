/* A query module built for the other architecture than the library under test (x64 beside an
 * x86 library, x86 beside an x64 one). Were it ever loaded, its initialisation would succeed and
 * the handle would hold it; the system refuses it instead, and the library must go on to the
 * next candidate. */
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <vyxquery.h>

__declspec(dllexport) LONG WINAPI VyxQuery_Initialize(VyxQueryContext* context, LPCSTR path) {
    (void)context;
    (void)path;
    return 0;
}

__declspec(dllexport) LONG WINAPI VyxQuery_Terminate(VyxQueryContext* context) {
    (void)context;
    return 0;
}
