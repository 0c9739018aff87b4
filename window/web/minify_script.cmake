# Rewrites the linked dorvik.js (SCRIPT) without dead code, comments and
# spaces, with emscripten's own JavaScript optimiser (OPTIMIZER, run by NODE):
# the link runs at -O1 for the wasm's sake, and at -O1 emscripten leaves its
# script as written, at twice the size.
#   cmake -DNODE=... -DOPTIMIZER=.../acorn-optimizer.js -DSCRIPT=... -P minify_script.cmake
if(NOT DEFINED ENV{NODE_PATH})
  set(ENV{NODE_PATH} /usr/share/nodejs)  # Debian's acorn and terser
endif()
execute_process(COMMAND ${NODE} ${OPTIMIZER} ${SCRIPT} AJSDCE minifyWhitespace
                OUTPUT_FILE ${SCRIPT}.min RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "The script optimiser failed on ${SCRIPT}")
endif()
file(RENAME ${SCRIPT}.min ${SCRIPT})
