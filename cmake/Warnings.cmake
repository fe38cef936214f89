add_compile_options(-Wall -Wextra)
if(MORVANEX_WERROR)
  add_compile_options(-Werror)
endif()
# g++ 12 at -O3 (Release) reports std::string's own insert of a literal
# ("text" + a temporary string) as an overlapping copy: a false report of
# the standard library, gone in g++ 13. Silenced there only.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<CONFIG:Release>:-Wno-restrict>)
endif()
