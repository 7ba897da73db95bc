# Compiler settings shared by every target of ours.

if(QUEL_SANITIZE STREQUAL "asan")
  set(QUEL_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(QUEL_SANITIZE STREQUAL "tsan")
  set(QUEL_SANITIZE_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
elseif(QUEL_SANITIZE)
  message(FATAL_ERROR "QUEL_SANITIZE must be empty, asan or tsan")
endif()
if(QUEL_SANITIZE_FLAGS)
  add_compile_options(${QUEL_SANITIZE_FLAGS})
  add_link_options(${QUEL_SANITIZE_FLAGS})
endif()

# Our own code builds without warnings.
function(quel_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  # GCC 12 at -O3 warns falsely about std::string copies (-Wrestrict, GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# quel_library(name SOURCES ... DEPS ...): one library per layer folder.
function(quel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  quel_defaults(${name})
endfunction()
