# Writes the source that defines kUpdatePublicKey from 64 hex digits.
# Included: vantor_key_source(HEX OUT). As a script: -DKEY_FILE=... -DOUT=...
set(_vantor_key_template ${CMAKE_CURRENT_LIST_DIR}/UpdatePublicKey.cpp.in)

function(vantor_key_source hex out)
  string(STRIP "${hex}" hex)
  if(NOT hex MATCHES "^[0-9a-fA-F]+$")
    message(FATAL_ERROR "update key: '${hex}' is not hex")
  endif()
  string(LENGTH "${hex}" len)
  if(NOT len EQUAL 64)
    message(FATAL_ERROR "update key: 64 hex digits needed, ${len} given")
  endif()
  string(REGEX REPLACE "([0-9a-fA-F][0-9a-fA-F])" "0x\\1, " bytes "${hex}")
  set(VANTOR_KEY_BYTES "${bytes}")
  configure_file(${_vantor_key_template} ${out} @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND KEY_FILE)
  file(READ ${KEY_FILE} _hex)
  vantor_key_source("${_hex}" ${OUT})
endif()
