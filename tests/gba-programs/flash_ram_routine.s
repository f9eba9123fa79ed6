@ Flash 64 KiB, the way Flash libraries run their routines: a Thumb routine that
@ sends a command (in r0) is copied from the ROM to EWRAM by a halfword loop, then
@ called there through a register. Commands: ID, leave ID, sector erase, program.
    .text
    .thumb
    .global main
    .thumb_func
main:
    push    {r4, r5, r6, lr}
    ldr     r0, =routine_start
    ldr     r1, =0x02000100
    ldr     r2, =routine_end
1:  ldrh    r3, [r0]
    strh    r3, [r1]
    add     r0, #2
    add     r1, #2
    cmp     r0, r2
    blo     1b
    ldr     r4, =0x02000101     @ the copy, Thumb
    mov     r0, #0x90
    bl      call_r4
    mov     r0, #0xF0
    bl      call_r4
    mov     r0, #0x80
    bl      call_r4
    mov     r0, #0xA0
    bl      call_r4
2:  b       2b
    .thumb_func
call_r4:
    bx      r4
    .align  2
    .pool

    .align  2
routine_start:                  @ a plain label: its address is the halfword copied first
    ldr     r1, 3f
    ldr     r2, 4f
    mov     r3, #0xAA
    strb    r3, [r1]
    mov     r3, #0x55
    strb    r3, [r2]
    strb    r0, [r1]
    bx      lr
    .align  2
3:  .word   0x0E005555
4:  .word   0x0E002AAA
routine_end:
