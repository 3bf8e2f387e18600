/* The query module's entry points, for module authors and for the library that calls them.
 *
 * Every entry point is __stdcall, returns 0 on success or a code of the module's own, and takes
 * first the address of the query context slot in the caller's BiDiHandle. Strings are
 * zero-terminated ANSI (system code page) in zero-filled buffers whose capacity, terminator
 * included, is given beside each argument; "nullable" inputs may be null pointers.
 *
 * The table VYXQUERY_ENTRY_POINTS lists each entry point once, by name and parameter list.
 * From it come:
 *   - PFN_<name>: the pointer type of each entry point (C and C++);
 *   - vyxquery::<name>: a typed handle (name string plus pointer type) for C++11 callers;
 *   - prototypes of all 31 entry points, when VYXQUERY_DECLARE_ENTRY_POINTS is defined before
 *     this header is included (a module then fails to build if a definition strays from them).
 */
#ifndef VYXQUERY_H
#define VYXQUERY_H

#include "vyxbidi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The pointer-sized slot in BiDiHandle that belongs to the query module. */
typedef void* VyxQueryContext;

/* Each line is X(entry point name, its parameter list). */
#define VYXQUERY_ENTRY_POINTS(X)                                                                  \
    X(VyxQuery_Initialize, (VyxQueryContext * context, LPCSTR path /* in, 256 */))                \
    X(VyxQuery_Terminate, (VyxQueryContext * context))                                            \
    X(VyxQuery_Connect, (VyxQueryContext * context, LPCSTR first /* in, 128, nullable */,         \
                         LPCSTR second /* in, 64, nullable */))                                   \
    X(VyxQuery_Disconnect, (VyxQueryContext * context))                                           \
    X(Color_OpenSession,                                                                          \
      (VyxQueryContext * context, LPCSTR text1, LPCSTR text2, LPCSTR text3, LPCSTR text4,         \
       LPCSTR text5, LPCSTR text6 /* each in, 64, nullable */))                                   \
    X(Color_CloseSession, (VyxQueryContext * context))                                            \
    X(Color_SetNextKey, (VyxQueryContext * context))                                              \
    X(Color_GetCurrentKey,                                                                        \
      (VyxQueryContext * context, LPSTR first /* out, 256 */, LPSTR second /* out, 256 */))       \
    X(Color_GetNextOption,                                                                        \
      (VyxQueryContext * context, LPSTR first /* out, 256 */, LPSTR second /* out, 256 */))       \
    X(Color_SetCurrentKey, (VyxQueryContext * context, LPCSTR key /* in, 256, nullable */))       \
    X(Color_GetSelectedOption, (VyxQueryContext * context, LPCSTR key /* in, 256 */,              \
                                LPSTR first /* out, 256 */, LPSTR second /* out, 256 */))         \
    X(Color_SetKeyValue, (VyxQueryContext * context, LPCSTR key /* in, 256, nullable */,          \
                          LPCSTR value /* in, 256, nullable */))                                  \
    X(JobTPlate_QueryTemplateNames, (VyxQueryContext * context, LONG * count /* out */))          \
    X(JobTPlate_GetTemplateNames,                                                                 \
      (VyxQueryContext * context, LONG * index /* from 0 */, LPSTR name /* out, 64 */,            \
       LONG * tag /* out */))                                                                     \
    X(JobTPlate_GetTemplateItems,                                                                 \
      (VyxQueryContext * context, TemplateRecord * record /* name and tag filled */,              \
       LPSTR text /* out, 32768 */, LONG * reserved /* 0 before the call, unread after */))       \
    X(Attribute_OpenSession, (VyxQueryContext * context, LPCSTR first /* in, 16, nullable */,     \
                              LPCSTR second /* in, 16, nullable */))                              \
    X(Attribute_CloseSession, (VyxQueryContext * context))                                        \
    X(Attribute_GetNumTrays, (VyxQueryContext * context, LONG * count /* out */))                 \
    X(Attribute_GetNumColors, (VyxQueryContext * context, LONG * count /* out */))                \
    X(Attribute_GetIndexedTrays,                                                                  \
      (VyxQueryContext * context, LONG * index /* from 1 */, LPSTR text1 /* out, 32 */,           \
       LONG * value1 /* out */, LONG * value2 /* out */, LPSTR text2 /* out, 32 */,               \
       LPSTR text3 /* out, 32 */, LPSTR text4 /* out, 32 */))                                     \
    X(Attribute_GetIndexedColors,                                                                 \
      (VyxQueryContext * context, LONG * index /* from 1 */, LPSTR text1 /* out, 32 */,           \
       LONG * value1 /* out */, LONG * value2 /* out */))                                         \
    X(Attribute_GetSorter, (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))   \
    X(Attribute_GetDuplex, (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))   \
    X(Attribute_GetLowerTray,                                                                     \
      (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))                        \
    X(Attribute_GetFax, (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))      \
    X(Attribute_GetFinisher,                                                                      \
      (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))                        \
    X(Attribute_GetFaceDownUnit,                                                                  \
      (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))                        \
    X(Attribute_GetFinisherType,                                                                  \
      (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))                        \
    X(Attribute_GetFinisherOption,                                                                \
      (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))                        \
    X(Attribute_GetMFPOption,                                                                     \
      (VyxQueryContext * context, LPSTR text1, LPSTR text2 /* out, 64 */))                        \
    X(Misc_GetEMail_Notification, (VyxQueryContext * context, void* value /* the caller's */))

#define VYXQUERY_ENTRY_POINT_COUNT 31

#define VYXQUERY_PFN_(name, params) typedef LONG(WINAPI * PFN_##name) params;
VYXQUERY_ENTRY_POINTS(VYXQUERY_PFN_)
#undef VYXQUERY_PFN_

#ifdef VYXQUERY_DECLARE_ENTRY_POINTS
#define VYXQUERY_PROTOTYPE_(name, params) LONG WINAPI name params;
VYXQUERY_ENTRY_POINTS(VYXQUERY_PROTOTYPE_)
#undef VYXQUERY_PROTOTYPE_
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The typed table needs C++11 (constexpr); earlier C++ gets the C part only. */
#ifdef VYXBIDI_CPLUSPLUS11
namespace vyxquery {

/* One entry point: the name it is exported under and the type it is called through. */
template <typename Pfn>
struct EntryPoint {
    const char* name;
};

#define VYXQUERY_ENTRY_(name, params) constexpr EntryPoint<PFN_##name> name{#name};
VYXQUERY_ENTRY_POINTS(VYXQUERY_ENTRY_)
#undef VYXQUERY_ENTRY_

} /* namespace vyxquery */
#endif /* C++11 */

#endif /* VYXQUERY_H */
