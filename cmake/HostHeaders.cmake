# Header-only libraries in a cross build. Their Debian packages install headers
# for the build machine only, beside its C library; the cross compiler must not
# see /usr/include, so the headers are copied into the build folder and offered
# under the targets a native build finds (nlohmann_json::nlohmann_json,
# PkgConfig::HTTPLIB).
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
if(EXISTS /usr/include/httplib.h AND NOT TARGET PkgConfig::HTTPLIB)
  file(COPY /usr/include/httplib.h DESTINATION ${_dir})
  add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED GLOBAL)
  target_include_directories(PkgConfig::HTTPLIB INTERFACE ${_dir})
  if(WIN32)
    target_link_libraries(PkgConfig::HTTPLIB INTERFACE ws2_32)
  endif()
endif()
