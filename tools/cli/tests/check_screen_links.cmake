# Runs ldd on programs: those in SCREENLESS must not load the screen's
# libraries (SDL2, FreeType, libpng); the one in WINDOWED must, which shows
# that the pattern still names them.
set(screen_libraries "libSDL2|libfreetype|libpng")

function(linked_libraries program out)
  execute_process(COMMAND ldd ${program} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR listing STREQUAL "")
    message(FATAL_ERROR "ldd ${program} failed (${result})")
  endif()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

foreach(program IN LISTS SCREENLESS)
  linked_libraries(${program} listing)
  string(REGEX MATCHALL "(${screen_libraries})[^ \t\n]*" found "${listing}")
  list(REMOVE_DUPLICATES found)
  if(found)
    message(FATAL_ERROR "${program} links the screen's libraries: ${found}")
  endif()
  message(STATUS "${program}: no screen libraries")
endforeach()

if(WINDOWED)
  linked_libraries(${WINDOWED} listing)
  if(NOT listing MATCHES "libSDL2" OR NOT listing MATCHES "libfreetype")
    message(FATAL_ERROR "${WINDOWED} shows no SDL2 or FreeType: the check would not see them")
  endif()
endif()
