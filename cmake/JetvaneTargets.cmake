# Compile options for our own targets only; third-party code keeps its own flags.
function(jetvane_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  # g++ 12 at -O3 reports overlapping copies inside std::string assignments that cannot
  # happen (a known false positive of that release); it would fail optimised builds only.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(JETVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${JETVANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PUBLIC -fsanitize=${JETVANE_SANITIZE})
  endif()
endfunction()

# One static library per folder, linked by the program, the tests and the simulator.
function(jetvane_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS})
  jetvane_target_options(${target})
endfunction()
