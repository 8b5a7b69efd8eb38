# Compiler settings shared by every target of our own.

if(ORBI7_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings are errors in our code; third-party headers come in as system headers.
# GCC 12 at -O3 (Release) reports std::string concatenations as overlapping copies
# (-Wrestrict, a known false positive of that compiler); it stays a warning.
function(orbi7_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                                           $<$<CXX_COMPILER_ID:GNU>:-Wno-error=restrict>)
endfunction()

# A library of one layer: every .cpp of the folder, the folder itself as include root
# (headers are included as "document/TKkmSettings.h" from the project root).
function(orbi7_layer target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A layer that holds only headers so far.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  orbi7_strict(${target})
endfunction()
