/* A stand-in for samp.dll in tests: recognised by the plugin as one known SA-MP build, it
   records the lines it is asked to send (each with its arrival tick) and lets the test open its chat box and dialog. */
#include <windows.h>

/* Object layouts: the chat input box flag at +0x14E0, the dialog flag at +0x28. */
unsigned char fake_samp_chat_object[0x1600];
unsigned char fake_samp_dialog_object[0x40];

#define MAX_LINES 1024
#define LINE_SIZE 256
static char lines[MAX_LINES][LINE_SIZE];
static DWORD ticks[MAX_LINES];
static volatile LONG line_count;
static void* last_self;

/* Reached by a jump from the routine with ecx = this and the text on the stack (thiscall,
   callee pops 4 bytes). */
__attribute__((naked)) void FakeSampRecordChat(void) {
    __asm__(
        "movl 4(%esp), %edx\n\t"
        "pushl %edx\n\t"
        "pushl %ecx\n\t"
        "call _FakeSampRecordChatCdecl\n\t"
        "addl $8, %esp\n\t"
        "ret $4\n\t");
}

void FakeSampRecordChatCdecl(void* self, const char* text) {
    LONG n = line_count;
    last_self = self;
    if (n < MAX_LINES) {
        int i = 0;
        for (; text && text[i] && i < LINE_SIZE - 1; ++i) lines[n][i] = text[i];
        lines[n][i] = 0;
        ticks[n] = GetTickCount();
        InterlockedIncrement(&line_count);
    }
}


BOOL WINAPI FakeSampDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}

__declspec(dllexport) int FakeSampLineCount(void) { return (int)line_count; }
__declspec(dllexport) const char* FakeSampLine(int i) { return (i >= 0 && i < line_count) ? lines[i] : 0; }
__declspec(dllexport) DWORD FakeSampLineTick(int i) { return (i >= 0 && i < line_count) ? ticks[i] : 0; }
__declspec(dllexport) void* FakeSampLastObject(void) { return last_self; }
__declspec(dllexport) void FakeSampSetChatOpen(int open) { *(volatile DWORD*)(fake_samp_chat_object + 0x14E0) = (DWORD)open; }
__declspec(dllexport) void FakeSampSetDialogShown(int shown) { *(volatile DWORD*)(fake_samp_dialog_object + 0x28) = (DWORD)shown; }
__declspec(dllexport) void* FakeSampChatObject(void) { return fake_samp_chat_object; }
