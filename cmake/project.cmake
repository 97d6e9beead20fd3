# Shared build settings for every target of the repository.

add_compile_options(-Wall -Wextra)
if(GP2X_WERROR)
  add_compile_options(-Werror)
endif()
if(GP2X_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(GP2X_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

# project_add_subdirs(dir...): add each folder that has a CMakeLists.txt, and say which
# folder is left out and why.
function(project_add_subdirs)
  foreach(dir IN LISTS ARGN)
    file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    elseif(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
      message(STATUS "Skipping ${shown}/: it has no CMakeLists.txt, so nothing in it is built")
    else()
      message(STATUS "Skipping ${shown}/: there is no such folder")
    endif()
  endforeach()
endfunction()

# project_add_test(NAME name SOURCES files... LIBS targets... [THREADS])
# One GoogleTest executable, its cases registered with CTest one by one. THREADS marks a
# program whose tests exercise threads: only those are built in the ThreadSanitizer build.
function(project_add_test)
  cmake_parse_arguments(T "THREADS" "NAME" "SOURCES;LIBS" ${ARGN})
  if(GP2X_TSAN AND NOT T_THREADS)
    return()
  endif()
  if(T_THREADS)
    set_property(GLOBAL APPEND PROPERTY GP2X_THREADED_TESTS ${T_NAME})
  endif()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    # Death tests start the test program again by its argv[0]: make that the script that
    # runs it under the emulator (qemu's -0 sets argv[0]).
    project_program_path(self ${T_NAME})
    set_property(TARGET ${T_NAME} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR} -0 ${self})
  endif()
  # A case's CTest name is the one its suite gives it (tests/support/case_name.h), never a
  # print of its value, which for a record is a dump of its bytes.
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "GP2X_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()

# project_add_bench(NAME name SOURCES files... LIBS targets...)
function(project_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  target_include_directories(${B_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# project_program_path(VAR target): the name under which tests and their scripts start the
# program `target` themselves: its file, or in a cross build a script that runs it under
# the build's emulator.
function(project_program_path var target)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
    set(script ${CMAKE_BINARY_DIR}/emulated/${target})
    get_property(made GLOBAL PROPERTY GP2X_EMULATED_PROGRAMS)
    if(NOT target IN_LIST made)
      set_property(GLOBAL APPEND PROPERTY GP2X_EMULATED_PROGRAMS ${target})
      file(GENERATE OUTPUT ${script}
        CONTENT "#!/bin/sh\nexec ${emulator} \"$<TARGET_FILE:${target}>\" \"$@\"\n"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
    set(${var} ${script} PARENT_SCOPE)
  else()
    set(${var} $<TARGET_FILE:${target}> PARENT_SCOPE)
  endif()
endfunction()

# project_data_maker_path(VAR target): the command with which tests run a data generator
# only to lay out the data they then play on: in a cross build given GP2X_HOST_TOOLS, the
# same generator built for this machine, as the build makes its own data (the same bytes,
# made a hundred times faster than emulated); otherwise as project_program_path. A test of
# the generator itself starts it by project_program_path.
function(project_data_maker_path var target)
  if(CMAKE_CROSSCOMPILING AND GP2X_HOST_TOOLS)
    set(${var} "${PROJECT_SOURCE_DIR}/cmake/host-tool.sh ${CMAKE_BINARY_DIR} ${GP2X_HOST_TOOLS} $<TARGET_FILE:${target}>"
        PARENT_SCOPE)
  else()
    project_program_path(path ${target})
    set(${var} ${path} PARENT_SCOPE)
  endif()
endfunction()

# project_host_generators(target...): a cross build given GP2X_HOST_TOOLS, a build of the
# same sources for this machine with these programs made, runs these data generators from
# there instead of under the emulator: the same data, made many times faster.
function(project_host_generators)
  if(NOT CMAKE_CROSSCOMPILING OR NOT GP2X_HOST_TOOLS)
    return()
  endif()
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
        ${PROJECT_SOURCE_DIR}/cmake/host-tool.sh ${CMAKE_BINARY_DIR} ${GP2X_HOST_TOOLS})
    endif()
  endforeach()
endfunction()

# project_link_into_programs(target dir): links `target` into every program defined in
# `dir` and the folders below it.
function(project_link_into_programs target dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_libraries(${t} PRIVATE ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    project_link_into_programs(${target} ${sub})
  endforeach()
endfunction()
