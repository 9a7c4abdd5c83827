# Windows build: setup.exe, the Windows tools and the Win32 tests (run under Wine).
# i686 is the product; x86_64 is the same sources built for hosts whose Wine
# can only run 64-bit programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KQ_WINE_ARCH win64)
  set(KQ_MINGW_TRIPLET x86_64)
else()
  set(KQ_WINE_ARCH win32)
  set(KQ_MINGW_TRIPLET i686)
endif()
set(KQ_MINGW_DEPS "${CMAKE_SOURCE_DIR}/.deps/mingw-${KQ_MINGW_TRIPLET}" CACHE PATH "Prefix of the libraries cross-built for mingw")

find_path(MSPACK_INCLUDE_DIR mspack.h PATHS ${KQ_MINGW_DEPS}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_library(MSPACK_LIBRARY NAMES libmspack.a mspack PATHS ${KQ_MINGW_DEPS}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(mspack STATIC IMPORTED)
set_target_properties(mspack PROPERTIES IMPORTED_LOCATION ${MSPACK_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${MSPACK_INCLUDE_DIR})

include(${CMAKE_SOURCE_DIR}/cmake/layers.cmake)
# Only DLLs that every supported Windows protects as known DLLs are linked;
# the others (common controls, sockets, version information, ...) are bound
# at run time from the system folder by win/system_library_win.h, so that a
# DLL planted beside setup.exe under their name is never loaded.
# tests/e2e/import_table_test.cpp checks the built programs' import tables.
# They come with the lowest layer, the cabinet decoder with the layer that
# reads cabinets.
target_link_libraries(kq_base PUBLIC comdlg32 ole32 uuid shell32 advapi32 gdi32 user32)
target_link_libraries(kq_cabinet PUBLIC mspack)
# The rest is built for size (CMakeLists.txt); unpacking and hashing are the
# hot loops of an installation and a removal, so they keep -O2.
foreach(hot kq_cabinet kq_crypt)
  target_compile_options(${hot} PRIVATE $<$<CONFIG:Release>:-O2>)
endforeach()
# The record's checksum too: built for size, xxHash drops its inlining and
# reads several times slower.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/record/xxh3_sum.cpp PROPERTIES COMPILE_OPTIONS $<$<CONFIG:Release>:-O2>)
# Its SSE2 build, taken where the processor and the system have the unit.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/record/xxh3_sse2_win.cpp PROPERTIES COMPILE_OPTIONS
                            "-msse2;$<$<CONFIG:Release>:-O2>")

add_executable(setup WIN32 ${CMAKE_SOURCE_DIR}/src/app/main_win.cpp ${CMAKE_SOURCE_DIR}/src/app/resources.rc)
# windres reports no dependencies: name the files the script pulls in.
file(GLOB KQ_APP_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/app/res/*)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/app/resources.rc PROPERTIES OBJECT_DEPENDS "${KQ_APP_RESOURCE_FILES}")
target_link_libraries(setup PRIVATE kq_app)
# An exception nothing catches ends the shipped programs through abort() at
# once. libstdc++'s default handler would first print the exception's type
# to a console these programs do not have, and brings the C++ demangler
# for it (45 KB).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(kq_c_prefix "_")  # i686 symbols carry a leading underscore
endif()
set(KQ_SHIPPED_LINK_OPTIONS
  "-Wl,--defsym,${kq_c_prefix}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${kq_c_prefix}abort")
target_link_options(setup PRIVATE ${KQ_SHIPPED_LINK_OPTIONS})

# Win32 tests run under Wine through CTest's emulator hook.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run --arch ${KQ_WINE_ARCH})
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(dir tools/uidriver tools/kqexec tools/lnkprobe tools/comprobe tests/win bench)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()
