/* The second core's image, linked at address 0: the vectors first, then code, constant
   tables and initialised data, all of it in the flat image; the variables come after it
   (not part of the image: the start-up leaves them as they are). The program's own state
   record lies at 0x40000, the stack grows down from 0x100000 - 4, the decoder's arena
   starts at 0x14C000 and the command block at 0x200000. */
ENTRY(_start)
MEMORY {
  low (rwx) : ORIGIN = 0, LENGTH = 0x40000
}
SECTIONS {
  .vectors 0 : { KEEP(*(.vectors)) } > low
  .text : { *(.text .text.*) } > low
  .rodata : { *(.rodata .rodata.*) } > low
  .ARM.exidx : { *(.ARM.exidx*) } > low
  /* Nothing runs constructors here. */
  .init_array : { *(.init_array*) } > low
  .data : { *(.data .data.*) } > low
  image_end = .;
  .bss (NOLOAD) : { *(.bss .bss.* COMMON) } > low
  variables_end = .;
  /DISCARD/ : { *(.ARM.attributes*) *(.comment) }
}
ASSERT(SIZEOF(.init_array) == 0, "the image has static constructors: nothing would run them")
ASSERT(variables_end <= 0x40000, "the image and its variables run into the state record at 0x40000")
