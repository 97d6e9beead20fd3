// The second core's image, embedded as read-only data with its 32-bit byte length.
        .section .rodata
        .balign 4
        .global arm940_program_length
arm940_program_length:
        .long   arm940_program_end - arm940_program
        .global arm940_program
arm940_program:
        .incbin PX940_IMAGE_FILE
arm940_program_end:
        .section .note.GNU-stack, "", %progbits
