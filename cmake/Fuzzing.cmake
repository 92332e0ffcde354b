# QUIMBREL_FUZZ builds the libFuzzer targets in tests/fuzz. They need clang;
# with another compiler the option is switched off with a note. Everything is
# then built with coverage hooks so the fuzzers see inside our libraries.
option(QUIMBREL_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(QUIMBREL_FUZZ)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
  set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
  check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
  ]] QUIMBREL_COMPILER_HAS_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(QUIMBREL_COMPILER_HAS_LIBFUZZER)
    add_compile_options(-fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=fuzzer-no-link)
  else()
    message(STATUS "The compiler has no libFuzzer: the fuzz targets are not built")
    set(QUIMBREL_FUZZ OFF)
  endif()
endif()
