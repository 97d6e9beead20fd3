# Shared build settings for every target of the repository.

add_compile_options(-Wall -Wextra)
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

# project_add_subdirs(dir...): add each folder that has a CMakeLists.txt.
function(project_add_subdirs)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
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
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
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
