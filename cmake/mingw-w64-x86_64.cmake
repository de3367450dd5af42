# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads variant):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs link libgcc, libstdc++ and winpthread statically, so each .exe runs
# under Wine (or on Windows) without DLLs beside it. Libraries Debian has only for
# Linux come from scripts/mingw-deps ($VANTOR_MINGW_PREFIX, /opt/vantor-mingw).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_STRIP ${_triple}-strip CACHE FILEPATH "")

if(DEFINED ENV{VANTOR_MINGW_PREFIX})
  set(VANTOR_MINGW_PREFIX $ENV{VANTOR_MINGW_PREFIX} CACHE PATH "cross-built libraries")
else()
  set(VANTOR_MINGW_PREFIX /opt/vantor-mingw CACHE PATH "cross-built libraries")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${VANTOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the target only.
set(ENV{PKG_CONFIG_LIBDIR} ${VANTOR_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here that the build itself runs (the signing program makes the
# test key pair) run under Wine.
find_program(VANTOR_WINE NAMES wine wine64)
if(VANTOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTOR_WINE})
endif()
