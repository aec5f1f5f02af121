# Warnings for the project's own targets; third-party headers come in as system headers.
function(kalvora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KALVORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
