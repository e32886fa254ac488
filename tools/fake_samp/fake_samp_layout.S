/* Fixed layout of the fake samp.dll: the build with entry point 0xCC4D0 (chat input object
   pointer at 0x26E8CC, dialog object pointer at 0x26E898, send-input routine at 0x69190).
   This file must be the first object linked so that its .text starts at RVA 0x1000. */
    .intel_syntax noprefix
    .text
    .globl _fake_samp_image_start
_fake_samp_image_start:

    .org 0x69190 - 0x1000
    /* Send-input routine: the prologue the plugin checks, then a thiscall into C. */
    .byte 0x64, 0xA1, 0x00, 0x00, 0x00, 0x00   /* mov eax, fs:[0] */
    .byte 0x6A, 0xFF                           /* push -1 */
    .byte 0x68                                 /* push imm32 */
    .long 0x12345678
    .byte 0x50                                 /* push eax */
    .byte 0xA1                                 /* mov eax, [chat pointer + 16] */
    .long chat_pointer_slot + 16
    add esp, 12
    jmp _FakeSampRecordChat                   /* thiscall: ecx = object, [esp+4] = text */

    .org 0xCC4D0 - 0x1000
    .globl _fake_samp_entry
_fake_samp_entry:
    jmp _FakeSampDllMain@12

    .org 0x26E898 - 0x1000
dialog_pointer_slot:
    .long _fake_samp_dialog_object
    .org 0x26E8CC - 0x1000
chat_pointer_slot:
    .long _fake_samp_chat_object
    .long 0, 0, 0, 0, 0
