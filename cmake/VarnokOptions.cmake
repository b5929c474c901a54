# Compiler settings for Varnok's own targets; third-party headers stay outside -Werror.
function(varnok_target_options target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion -Werror)
  endif()
endfunction()

# The suffix of the daily request token, agreed with the store server. A store whose
# server expects another suffix configures its own kiosk with -DVARNOK_TOKEN_SUFFIX=...
set(VARNOK_TOKEN_SUFFIX "_varnokchk" CACHE STRING
    "Token suffix agreed with the store server: an underscore and nine lower-case letters")
if(NOT VARNOK_TOKEN_SUFFIX MATCHES "^_[a-z][a-z][a-z][a-z][a-z][a-z][a-z][a-z][a-z]$")
  message(FATAL_ERROR "VARNOK_TOKEN_SUFFIX must be an underscore followed by nine lower-case "
                      "letters, got '${VARNOK_TOKEN_SUFFIX}'")
endif()
