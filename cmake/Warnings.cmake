add_compile_options(-Wall -Wextra)
if(MORVANEX_WERROR)
  add_compile_options(-Werror)
endif()
