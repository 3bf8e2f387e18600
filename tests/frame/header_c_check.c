/* Both public headers compile as C, and their layouts hold there too. */
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <vyxquery.h>

/* A C caller's view of the records that hold pointers, whose layout differs between x86 and x64,
 * in the order the test lists them. A C module author gets the same pointer types. */
int vyxtest_c_header_layout(size_t* out, int capacity) {
    const size_t layout[] = {
        sizeof(BiDiHandle),
        offsetof(BiDiHandle, kind),
        offsetof(BiDiHandle, queryContext),
        sizeof(FeatureList),
        offsetof(FeatureList, features),
        sizeof(FeatureInfo),
        offsetof(FeatureInfo, options),
        sizeof(TemplateRecord),
        offsetof(TemplateRecord, items),
        offsetof(TemplateRecord, itemCount),
        sizeof(TemplateList),
        offsetof(TemplateList, count),
    };
    const int count = (int)(sizeof layout / sizeof layout[0]);
    PFN_Color_GetCurrentKey getCurrentKey = 0;
    int i;
    (void)getCurrentKey;
    for (i = 0; i < count && i < capacity; ++i) {
        out[i] = layout[i];
    }
    return count;
}
