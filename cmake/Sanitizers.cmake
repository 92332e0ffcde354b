# QUIMBREL_SANITIZE instruments everything that is built, tests included:
#   address,undefined   memory errors and undefined behaviour (ASan + UBSan)
#   thread              data races (TSan)
# Used by scripts/run-sanitizers.sh with clang; empty (the default) builds plainly.
set(QUIMBREL_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")

if(QUIMBREL_SANITIZE)
  set(sanitize_flags -fsanitize=${QUIMBREL_SANITIZE} -fno-omit-frame-pointer)
  if(QUIMBREL_SANITIZE MATCHES "undefined")
    # A UBSan finding fails the test that triggered it instead of scrolling by.
    list(APPEND sanitize_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${sanitize_flags})
  add_link_options(${sanitize_flags})
endif()
