# -DVELMORA_SANITIZE=ON builds everything with the address and undefined-behaviour sanitizers.
option(VELMORA_SANITIZE "Build with address and undefined-behaviour sanitizers" OFF)
if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
