# -DVELMORA_SANITIZE=ON builds everything with the address and undefined-behaviour sanitizers. A
# report of either ends the program, so that a test that provokes one fails.
option(VELMORA_SANITIZE "Build with address and undefined-behaviour sanitizers" OFF)
if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Built by clang, the sanitizer build also builds the libFuzzer targets of fuzz/: all the code is
# instrumented for the fuzzer's coverage, and only the targets link its driver.
set(VELMORA_FUZZ OFF)
if(VELMORA_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(VELMORA_FUZZ ON)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
