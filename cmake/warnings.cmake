# Warnings for the project's own targets; third-party headers come in as SYSTEM.
function(wrenfold_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                         -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
                         -Woverloaded-virtual)
endfunction()
