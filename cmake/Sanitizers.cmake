if(MORVANEX_SANITIZE)
  set(MORVANEX_SANITIZER_FLAGS
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${MORVANEX_SANITIZER_FLAGS})
  # g++ 12's instrumented builds report false "may be used uninitialized"
  # inside the standard library (std::regex, std::function); the plain
  # build keeps the warning.
  add_compile_options(-Wno-maybe-uninitialized)
  add_link_options(-fsanitize=address,undefined)
  # A driver module loaded by an uninstrumented host needs the runtime preloaded.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE MORVANEX_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(MORVANEX_ASAN_RUNTIME "")
endif()
