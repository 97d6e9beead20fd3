@ The second core's start-up: the eight exception vectors at address 0 all lead to the
@ same code, which sets the stack, the protection unit and the control register and calls
@ arm940_image_main(0x200000, 0). arm940_pass_end sits at a fixed address (0x20) so that a
@ host emulating the core can stop there between passes; it returns at once.
        .syntax unified
        .arm
        .section .vectors, "ax"
        .global _start
_start:
        b       reset
        b       reset
        b       reset
        b       reset
        b       reset
        b       reset
        b       reset
        b       reset

@ Called before every pass; r0: 1 when the pass before (or the start-up) did work, 0 after
@ an idle pass, 2 once the program has ended.
        .global arm940_pass_end
        .type   arm940_pass_end, %function
arm940_pass_end:
        bx      lr

        .text
        .type   reset, %function
reset:
        ldr     sp, =0x100000 - 4
        @ Protection unit regions, data and instruction sides alike: region 0 the whole
        @ 4 GB, region 1 the first 2 MB (the program, its variables, stack and arena).
        mov     r0, #0x3F
        mcr     p15, 0, r0, c6, c0, 0
        mcr     p15, 0, r0, c6, c0, 1
        mov     r0, #0x29
        mcr     p15, 0, r0, c6, c1, 0
        mcr     p15, 0, r0, c6, c1, 1
        @ Region 1 alone cached and write-buffered: everything shared with the main core
        @ lies above 2 MB.
        mov     r0, #2
        mcr     p15, 0, r0, c2, c0, 0
        mcr     p15, 0, r0, c2, c0, 1
        mcr     p15, 0, r0, c3, c0, 0
        @ Full access for regions 0 and 1.
        mov     r0, #0xF
        mcr     p15, 0, r0, c5, c0, 0
        mcr     p15, 0, r0, c5, c0, 1
        @ Protection unit on, data and instruction caches, asynchronous clocking.
        mrc     p15, 0, r0, c1, c0, 0
        ldr     r1, =0xC0001005
        orr     r0, r0, r1
        mcr     p15, 0, r0, c1, c0, 0
        mov     r0, #0x200000
        mov     r1, #0
        bl      arm940_image_main
        mov     r0, #2
1:      bl      arm940_pass_end
        b       1b
        .ltorg

@ int px940_setjmp(uint32_t env[10]) / void px940_longjmp(uint32_t env[10], int value):
@ the callee-saved registers, the stack and the return address.
        .global px940_setjmp
        .type   px940_setjmp, %function
px940_setjmp:
        stmia   r0, {r4-r11, sp, lr}
        mov     r0, #0
        bx      lr

        .global px940_longjmp
        .type   px940_longjmp, %function
px940_longjmp:
        ldmia   r0, {r4-r11, sp, lr}
        movs    r0, r1
        moveq   r0, #1
        bx      lr

        .section .note.GNU-stack, "", %progbits
