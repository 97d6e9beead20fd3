# pellax_ogg_fixture: Ogg Vorbis streams made here with the encoder, and the plain system
# decoder as the oracle of what they decode to. The audio program's tests use it, and its
# benchmark (which includes this file itself in a build without the tests) for the short
# track with large tags that no built-in track is.
add_library(pellax_ogg_fixture STATIC ${CMAKE_CURRENT_LIST_DIR}/ogg_oracle.cpp
  ${PROJECT_SOURCE_DIR}/assets/pellax/synth.cpp ${PROJECT_SOURCE_DIR}/assets/pellax/ogg_encode.cpp)
target_include_directories(pellax_ogg_fixture PUBLIC ${PROJECT_SOURCE_DIR})
find_package(PkgConfig REQUIRED)
pkg_check_modules(PX940_TEST_CODECS REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
target_link_libraries(pellax_ogg_fixture PUBLIC pellax_direct_decoder PkgConfig::PX940_TEST_CODECS)
