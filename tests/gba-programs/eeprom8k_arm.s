@ EEPROM 8 KiB: ARM code setting DMA3 with one STMIA (source, destination, count and
@ control): a 17-bit read request and an 81-bit write, at 0x0DFFFF00 as large carts use.
    .text
    .arm
    .global main
main:
    ldr     r4, =0x040000D4
    ldr     r5, =0x0DFFFF00
    ldr     r0, =bits
    mov     r1, r5
    ldr     r2, =0x80000051     @ enable, 81 halfwords
    stmia   r4, {r0, r1, r2}
    ldr     r0, =bits
    mov     r1, r5
    ldr     r2, =0x80000011     @ enable, 17 halfwords
    stmia   r4, {r0, r1, r2}
    mov     r0, r5
    ldr     r1, =0x02000000
    ldr     r2, =0x80000044     @ the 68-bit answer
    stmia   r4, {r0, r1, r2}
1:  b       1b
    .pool
    .section .rodata
bits:
    .fill   81, 2, 1
