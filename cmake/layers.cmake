# The folders of src/, bottom up, each with the folders below it that it may
# use. Every folder becomes one static library, kq_<folder>, linked to
# exactly the libraries its row names; the tools name what they may use the
# same way. The include-order test (tests/host/include_order_test.cpp) reads
# the kq_layer and kq_tool rows of this file and fails on any #include in
# src/ or tools/ that they do not allow, so the table is the one statement of
# the order. Nothing outside app/ may use app/.

# kq_layer(<folder> <folders it may use>...)
function(kq_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp ${CMAKE_SOURCE_DIR}/src/${name}/*.c)
  # The host build takes the platform-free sources only. The program's entry
  # point stays out of the libraries so the Win32 tests can link them all
  # with GoogleTest's main.
  if(NOT WIN32)
    list(FILTER sources EXCLUDE REGEX "_win\\.(cpp|c)$")
  endif()
  list(FILTER sources EXCLUDE REGEX "/src/app/main_win\\.cpp$")
  if(NOT sources)
    return()
  endif()
  add_library(kq_${name} STATIC ${sources})
  target_include_directories(kq_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  foreach(used ${ARGN})
    if(TARGET kq_${used})
      target_link_libraries(kq_${name} PUBLIC kq_${used})
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY KQ_LAYER_TARGETS kq_${name})
endfunction()

# kq_tool(<folder of tools/> <folders of src/ it may use>...)
function(kq_tool name)
  set_property(GLOBAL PROPERTY KQ_TOOL_USES_${name} ${ARGN})
endfunction()

# Links `target` of tools/<tool> to the libraries of its row.
function(kq_link_tool target tool)
  get_property(uses GLOBAL PROPERTY KQ_TOOL_USES_${tool})
  foreach(used ${uses})
    if(TARGET kq_${used})
      target_link_libraries(${target} PUBLIC kq_${used})
    endif()
  endforeach()
endfunction()

kq_layer(base)
kq_layer(win      base)
kq_layer(checks   base)
kq_layer(net      base win)
kq_layer(run      base win checks)
kq_layer(crypt    base)
kq_layer(cabinet  base win run)
kq_layer(record   base win crypt)
kq_layer(steps    base win net run crypt checks cabinet record)
kq_layer(install  base win net run crypt checks cabinet record steps)
kq_layer(layout   base win run)
kq_layer(wizard   base win net run crypt checks cabinet record steps install layout)
kq_layer(presentation base win run layout)
kq_layer(app      base win net run crypt checks cabinet record steps install layout wizard presentation)

kq_tool(builder   base crypt record run layout wizard)
kq_tool(kqexec    base win checks run record)
kq_tool(lnkprobe)
kq_tool(comprobe)
kq_tool(theme     base win layout)
kq_tool(uidriver)

# Everything, for the tests, fuzzers and benchmarks that reach across layers.
add_library(kqcore INTERFACE)
get_property(kq_layer_targets GLOBAL PROPERTY KQ_LAYER_TARGETS)
target_link_libraries(kqcore INTERFACE ${kq_layer_targets})

# The record's fast checksum comes from Debian's xxHash (libxxhash-dev), used
# header-only on every target. The cross builds must not search the host's
# include folder, so the build tree gets a folder exposing that one header.
find_file(KQ_XXHASH_HEADER xxhash.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xxhash)
file(CREATE_LINK ${KQ_XXHASH_HEADER} ${CMAKE_BINARY_DIR}/xxhash/xxhash.h SYMBOLIC)
target_include_directories(kq_record SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/xxhash)
