@ No save: a test that reads 0x0E000000 (and its mirror) and expects no memory to
@ answer; it never writes there.
    .text
    .arm
    .global main
main:
    mov     r0, #0x0E000000
    ldrb    r1, [r0]
    ldrb    r2, [r0, #0x100]
    add     r0, r0, #0x8000
    ldrb    r3, [r0]
    cmp     r1, #0xFF
    mov     r0, #0x04000000
    mov     r1, #0x0400
    orr     r1, r1, #3
    strh    r1, [r0]
1:  b       1b
