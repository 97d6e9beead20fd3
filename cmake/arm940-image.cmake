# The second core's image: ARMv4T in ARM state, soft float, freestanding, no C library
# (libgcc only, for the compiler's own helpers), with Debian's bare-metal cross compiler.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(arm940_flags "-marm -march=armv4t -mtune=arm9tdmi -mfloat-abi=soft -ffreestanding -fno-builtin \
-fno-delete-null-pointer-checks -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${arm940_flags}")
set(CMAKE_CXX_FLAGS_INIT "${arm940_flags} -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "-marm -march=armv4t")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib -nostartfiles -Wl,--gc-sections -Wl,-z,noexecstack")
