# Cross build for 64-bit Windows. This is the build tested on hosts that
# cannot run 32-bit programs; the product is always the i686 build.
set(KQ_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
