# Sanitizer builds. Address and undefined-behaviour sanitizers go together;
# the thread sanitizer cannot be combined with them.
if(SKYWAND_ASAN AND SKYWAND_TSAN)
  message(FATAL_ERROR "SKYWAND_ASAN and SKYWAND_TSAN cannot be enabled together")
endif()

if(SKYWAND_ASAN)
  set(_skywand_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(SKYWAND_TSAN)
  set(_skywand_san -fsanitize=thread -fno-omit-frame-pointer)
endif()

if(_skywand_san)
  add_compile_options(${_skywand_san})
  add_link_options(${_skywand_san})
endif()
