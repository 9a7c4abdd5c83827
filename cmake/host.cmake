# Host build: platform-free core, its tests, the package builder and tools.
option(KQ_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
option(KQ_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(KQ_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1)
  add_link_options(-fsanitize=address,undefined)
elseif(KQ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

include(${CMAKE_SOURCE_DIR}/cmake/layers.cmake)

if(KQ_FUZZ)
  add_subdirectory(fuzz)
  return()
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

foreach(dir tests/host tools/builder bench tests/e2e)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()
