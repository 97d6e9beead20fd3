# cmake -DNM=.. -DOBJCOPY=.. -DOUT=dir -DARCHIVES="a.a;b.a" -P private_decoder.cmake
cmake_minimum_required(VERSION 3.25)
# Copies the decoder's static archives into OUT with every symbol they define given the
# prefix "a940_" and their memory calls sent to the second core's arena, so that the copy
# lives beside the plain library in one binary.
execute_process(COMMAND ${NM} -g --defined-only ${ARCHIVES} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm cannot list ${ARCHIVES}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [A-Za-z_][A-Za-z0-9_]*" entries "${listing}")
set(map "malloc arm940_alloc\ncalloc arm940_calloc\nrealloc arm940_realloc\nfree arm940_free\n")
set(seen "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "" name "${entry}")
  if(NOT name IN_LIST seen)
    list(APPEND seen ${name})
    string(APPEND map "${name} a940_${name}\n")
  endif()
endforeach()
file(WRITE ${OUT}/a940_symbols.txt "${map}")
foreach(archive IN LISTS ARCHIVES)
  get_filename_component(stem ${archive} NAME_WE)
  execute_process(COMMAND ${OBJCOPY} --redefine-syms=${OUT}/a940_symbols.txt ${archive} ${OUT}/${stem}_a940.a
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objcopy cannot copy ${archive}")
  endif()
endforeach()
