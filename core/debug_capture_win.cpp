// Test tool: collects OutputDebugString lines of every program of this Wine session (the
// DBWIN_BUFFER protocol a debug viewer uses) and appends them to a file.
//   debug_capture.exe <output file>
// Writes "listening" to <output file>.ready once it listens; ends when <output file>.stop
// exists or after 5 minutes.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string out = argv[1];
    HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    if (!map) return 3;
    const char* buffer = static_cast<const char*>(MapViewOfFile(map, FILE_MAP_READ, 0, 0, 4096));
    HANDLE ready = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
    HANDLE data = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    if (!buffer || !ready || !data) return 4;
    if (FILE* f = std::fopen((out + ".ready").c_str(), "wb")) {
        std::fputs("listening\n", f);
        std::fclose(f);
    }
    const ULONGLONG end = GetTickCount64() + 300000;
    while (GetTickCount64() < end && GetFileAttributesA((out + ".stop").c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (WaitForSingleObject(data, 100) != WAIT_OBJECT_0) continue;
        if (FILE* f = std::fopen(out.c_str(), "ab")) {
            std::fwrite(buffer + 4, 1, strnlen(buffer + 4, 4092), f);  // after the writer's process id
            std::fclose(f);
        }
        SetEvent(ready);
    }
    return 0;
}
