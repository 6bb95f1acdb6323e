# Games built from their text sources by orintool at build time.
#   orin_game(NAME SOURCE_DIR PAGE... [FILES FILE...])
#       SOURCE_DIR/{PAGE.txt, project.txt, install.txt} become ${CMAKE_BINARY_DIR}/games/NAME/game.dat,
#       target NAME_game. Each FILE (pictures, motions, made by custom commands of the calling
#       directory) goes into the archive under its own file name.
function(orin_game name src)
  cmake_parse_arguments(G "" "" "FILES" ${ARGN})
  set(data ${CMAKE_BINARY_DIR}/games/${name}-data)
  set(game ${CMAKE_BINARY_DIR}/games/${name})
  set(files)
  foreach(extra ${G_FILES})
    get_filename_component(base ${extra} NAME)
    add_custom_command(OUTPUT ${data}/${base}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${data}
      COMMAND ${CMAKE_COMMAND} -E copy ${extra} ${data}/${base}
      DEPENDS ${extra}
      VERBATIM)
    list(APPEND files ${data}/${base})
  endforeach()
  foreach(page ${G_UNPARSED_ARGUMENTS})
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
