# Compiler flags shared by every target of the project.
add_library(melvox_flags INTERFACE)
target_compile_options(melvox_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  # Exact single-precision arithmetic is part of the contract: no fused multiply-add.
  -ffp-contract=off)
if(MELVOX_WERROR)
  target_compile_options(melvox_flags INTERFACE -Werror)
endif()

if(MELVOX_SANITIZE STREQUAL "address")
  set(_melvox_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(MELVOX_SANITIZE STREQUAL "thread")
  set(_melvox_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT MELVOX_SANITIZE STREQUAL "")
  message(FATAL_ERROR "MELVOX_SANITIZE must be empty, 'address' or 'thread'")
endif()
if(_melvox_san)
  target_compile_options(melvox_flags INTERFACE ${_melvox_san})
  target_link_options(melvox_flags INTERFACE ${_melvox_san})
endif()

# The fuzz build instruments the whole library for coverage; the fuzz targets link libFuzzer itself.
if(MELVOX_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MELVOX_BUILD_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  target_compile_options(melvox_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
