# Games built from their text sources by orintool at build time.
#   orin_game(NAME SOURCE_DIR PAGE...)  SOURCE_DIR/{PAGE.txt, project.txt, install.txt} become
#                                       ${CMAKE_BINARY_DIR}/games/NAME/game.dat, target NAME_game.
function(orin_game name src)
  set(data ${CMAKE_BINARY_DIR}/games/${name}-data)
  set(game ${CMAKE_BINARY_DIR}/games/${name})
  set(files)
  foreach(page ${ARGN})
    add_custom_command(OUTPUT ${data}/${page}.osb
      COMMAND ${CMAKE_COMMAND} -E make_directory ${data}
      COMMAND orintool page asm ${src}/${page}.txt -o ${data}/${page}.osb
      DEPENDS orintool ${src}/${page}.txt
      VERBATIM)
    list(APPEND files ${data}/${page}.osb)
  endforeach()
  add_custom_command(OUTPUT ${data}/orin.opb
    COMMAND ${CMAKE_COMMAND} -E make_directory ${data}
    COMMAND orintool project asm ${src}/project.txt -o ${data}/orin.opb
    DEPENDS orintool ${src}/project.txt
    VERBATIM)
  add_custom_command(OUTPUT ${data}/install.dat
    COMMAND ${CMAKE_COMMAND} -E make_directory ${data}
    COMMAND orintool install asm ${src}/install.txt -o ${data}/install.dat
    DEPENDS orintool ${src}/install.txt
    VERBATIM)
  list(APPEND files ${data}/orin.opb ${data}/install.dat)
  add_custom_command(OUTPUT ${game}/game.dat
    COMMAND ${CMAKE_COMMAND} -E make_directory ${game}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${game}/game.dat
    COMMAND orintool arc pack ${data} ${game}/game.dat
    DEPENDS orintool ${files}
    VERBATIM)
  add_custom_target(${name}_game ALL DEPENDS ${game}/game.dat)
endfunction()
