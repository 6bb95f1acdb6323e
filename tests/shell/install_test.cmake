# Installs the build into a fresh prefix and checks what lands where, then plays the installed
# demo with no argument from a folder without a game (orinplay must find it beside its bin/).
#   cmake -DBUILD=<build dir> -DPREFIX=<scratch dir> -P install_test.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()
foreach(path
    bin/orinplay
    bin/orintool
    share/orinplay/games/demo/game.dat
    share/applications/orinplay.desktop
    share/icons/hicolor/scalable/apps/orinplay.svg
    share/man/man6/orinplay.6
    share/man/man1/orintool.1)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/orinplay.desktop entry)
foreach(line "Exec=orinplay %f" "Icon=orinplay" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()

file(MAKE_DIRECTORY ${PREFIX}/nowhere)
execute_process(COMMAND ${PREFIX}/bin/orinplay --headless --frames 3
                        --save-dir ${PREFIX}/saves
                WORKING_DIRECTORY ${PREFIX}/nowhere
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the installed orinplay did not play the demo: ${errors}")
endif()
file(REMOVE_RECURSE ${PREFIX})
