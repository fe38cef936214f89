if(MORVANEX_SANITIZE)
  set(MORVANEX_SANITIZER_FLAGS
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${MORVANEX_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
  # A driver module loaded by an uninstrumented host needs the runtime preloaded.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE MORVANEX_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(MORVANEX_ASAN_RUNTIME "")
endif()
