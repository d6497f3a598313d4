# WRISTBOAT_SANITIZE=ON builds the program and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report ends the process with an error (scripts/test runs this
# build after the normal one, in build-sanitize).
option(WRISTBOAT_SANITIZE "Build with -fsanitize=address,undefined (a second build for the tests)" OFF)
if(WRISTBOAT_SANITIZE)
  set(WRISTBOAT_SANITIZER_FLAGS
      -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${WRISTBOAT_SANITIZER_FLAGS})
  add_link_options(${WRISTBOAT_SANITIZER_FLAGS})
endif()
