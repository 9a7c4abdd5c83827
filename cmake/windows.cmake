# Windows build: setup.exe, the Windows tools and the Win32 tests (run under Wine).
set(KQ_MINGW_DEPS "${CMAKE_SOURCE_DIR}/.deps/mingw-i686" CACHE PATH "Prefix of the libraries cross-built for mingw")

find_path(MSPACK_INCLUDE_DIR mspack.h PATHS ${KQ_MINGW_DEPS}/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_library(MSPACK_LIBRARY NAMES libmspack.a mspack PATHS ${KQ_MINGW_DEPS}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(mspack STATIC IMPORTED)
set_target_properties(mspack PROPERTIES IMPORTED_LOCATION ${MSPACK_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${MSPACK_INCLUDE_DIR})

# The program's entry point stays out of the library so the Win32 tests can
# link the whole core with GoogleTest's main.
set(KQ_WIN_SOURCES ${KQ_ALL_SOURCES})
list(FILTER KQ_WIN_SOURCES EXCLUDE REGEX "/src/app/main_win\\.cpp$")
add_library(kqcore STATIC ${KQ_WIN_SOURCES})
target_include_directories(kqcore PUBLIC ${CMAKE_SOURCE_DIR}/src)
# Only DLLs that every supported Windows protects as known DLLs are linked;
# the others (common controls, sockets, version information, ...) are bound
# at run time from the system folder by win/system_library_win.h, so that a
# DLL planted beside setup.exe under their name is never loaded.
# tests/e2e/import_table_test.cpp checks the built programs' import tables.
target_link_libraries(kqcore PUBLIC mspack comdlg32 ole32 oleaut32 uuid shell32 advapi32 gdi32 user32)

add_executable(setup WIN32 ${CMAKE_SOURCE_DIR}/src/app/main_win.cpp ${CMAKE_SOURCE_DIR}/src/app/resources.rc)
target_link_libraries(setup PRIVATE kqcore)

# Win32 tests run under Wine through CTest's emulator hook.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(dir tools/uidriver tools/kqexec tools/lnkprobe tests/win bench)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()
