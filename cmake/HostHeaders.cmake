# Header-only libraries in a cross build, offered under the targets a native
# build finds. nlohmann-json: Debian's package installs it for the build machine,
# beside its C library, which the cross compiler must not see, so the headers are
# copied into the build folder. cpp-httplib: Debian's -dev package is a header
# split off a Linux library; scripts/mingw-deps puts the whole header into
# VANTOR_MINGW_PREFIX.
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()

set(_dir ${CMAKE_BINARY_DIR}/host-headers)
if(EXISTS /usr/include/nlohmann/json.hpp AND NOT TARGET nlohmann_json::nlohmann_json)
  file(COPY /usr/include/nlohmann DESTINATION ${_dir})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${_dir})
  set(nlohmann_json_FOUND TRUE)
endif()
if(EXISTS ${VANTOR_MINGW_PREFIX}/include/httplib.h AND NOT TARGET PkgConfig::HTTPLIB)
  file(COPY ${VANTOR_MINGW_PREFIX}/include/httplib.h DESTINATION ${_dir}/httplib)
  add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED GLOBAL)
  target_include_directories(PkgConfig::HTTPLIB INTERFACE ${_dir}/httplib)
  if(WIN32)
    target_link_libraries(PkgConfig::HTTPLIB INTERFACE ws2_32)
  endif()
endif()
