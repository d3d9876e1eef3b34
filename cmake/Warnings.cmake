# Common flags for every target of the project.
add_library(tarnlow_flags INTERFACE)
target_compile_options(tarnlow_flags INTERFACE -Wall -Wextra -Wpedantic)
if(TARNLOW_WERROR)
  target_compile_options(tarnlow_flags INTERFACE -Werror)
endif()
target_compile_definitions(tarnlow_flags INTERFACE
  TARNLOW_VERSION="${PROJECT_VERSION}" _FILE_OFFSET_BITS=64)

if(TARNLOW_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TARNLOW_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TARNLOW_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TARNLOW_SANITIZE must be empty, address or thread")
endif()
