// Overruns a global block by four bytes on purpose, as a faulty library would, then validates the
// heap as every test program does after each test: the heap-checked run must see wine report it,
// or its silence about the real programs proves nothing.
#include <windows.h>

#include <cstdio>

int main() {
    const HGLOBAL block = GlobalAlloc(GHND, 12);
    auto* bytes = static_cast<volatile char*>(GlobalLock(block));
    for (int i = 0; i < 16; ++i) {
        bytes[i] = 'A';
    }
    const BOOL valid = HeapValidate(GetProcessHeap(), 0, nullptr);
    std::printf("overran a 12-byte global block by 4 bytes; HeapValidate says %s\n",
                valid ? "valid" : "corrupt");
    GlobalUnlock(block);
    GlobalFree(block);
    return 0;
}
