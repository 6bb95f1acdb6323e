# Warnings and instrumentation shared by every target of the project.
add_library(orin_options INTERFACE)
target_compile_options(orin_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wimplicit-fallthrough)
if(ORIN_WERROR)
  target_compile_options(orin_options INTERFACE -Werror)
endif()

if(ORIN_SANITIZE)
  # Any report fails the run: no recovery, and UBSan stops at the first finding.
  set(_orin_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(orin_options INTERFACE ${_orin_san})
  target_link_options(orin_options INTERFACE ${_orin_san})
endif()

if(ORIN_FUZZ)
  target_compile_options(orin_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(orin_options INTERFACE -fsanitize=address,undefined)
endif()

# One static library per source folder; include paths are rooted at src/.
function(orin_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC orin_options)
endfunction()

# One GoogleTest executable per library, registered with CTest test by test.
function(orin_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} orin_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 ENVIRONMENT "ORIN_PLATFORM=headless")
endfunction()
