# Warnings are on for all of our own code.
add_compile_options(-Wall -Wextra)
if(SKYWAND_WERROR)
  add_compile_options(-Werror)
endif()
