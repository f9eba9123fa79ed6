@ Flash 128 KiB: an ARM driver with its command sequences written out, and a bank
@ switch (0xB0, then the bank to 0x0E000000) before programming the second bank.
    .text
    .arm
    .global main
main:
    ldr     r4, =0x0E005555
    ldr     r5, =0x0E002AAA
    mov     r6, #0x0E000000
    ldrb    r0, [r6]            @ a read first: no command yet
    mov     r1, #0xAA
    mov     r2, #0x55
    strb    r1, [r4]
    strb    r2, [r5]
    mov     r3, #0x90           @ ID mode
    strb    r3, [r4]
    ldrb    r7, [r6]
    ldrb    r8, [r6, #1]
    strb    r1, [r4]
    strb    r2, [r5]
    mov     r3, #0xF0
    strb    r3, [r4]
    strb    r1, [r4]
    strb    r2, [r5]
    mov     r3, #0xB0           @ bank switch
    strb    r3, [r4]
    mov     r3, #1
    strb    r3, [r6]
    strb    r1, [r4]
    strb    r2, [r5]
    mov     r3, #0xA0           @ program one byte
    strb    r3, [r4]
    mov     r3, #0x42
    strb    r3, [r6, #0x10]
1:  b       1b
    .pool
