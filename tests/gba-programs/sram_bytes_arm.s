@ SRAM 32 KiB: ARM code with the base made by MOV, a byte loop of stores and loads.
    .text
    .arm
    .global main
main:
    mov     r0, #0x0E000000
    mov     r1, #0
1:  and     r2, r1, #0xFF
    strb    r2, [r0, r1]
    add     r1, r1, #1
    cmp     r1, #256
    blt     1b
    ldrb    r3, [r0, #5]
    cmp     r3, #5
2:  b       2b
