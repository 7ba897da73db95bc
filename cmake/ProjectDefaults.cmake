# Compiler settings shared by every target of ours.

# GCC leaves float-cast-overflow out of "undefined"; clang adds the implicit integer
# conversion checks that hold for our code (sign changes are left out: the kernel's counters
# are unsigned and their deliberate wrap-around would be reported everywhere).
set(QUEL_UBSAN_CHECKS undefined,float-cast-overflow)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  string(APPEND QUEL_UBSAN_CHECKS ",implicit-integer-truncation")
endif()
if(QUEL_SANITIZE STREQUAL "asan")
  set(QUEL_SANITIZE_FLAGS -fsanitize=address,${QUEL_UBSAN_CHECKS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(QUEL_SANITIZE STREQUAL "tsan")
  set(QUEL_SANITIZE_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
elseif(QUEL_SANITIZE STREQUAL "fuzz")
  # libFuzzer's coverage in every library; the fuzz targets link the fuzzer itself.
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUEL_SANITIZE=fuzz needs clang (-DCMAKE_CXX_COMPILER=clang++-14)")
  endif()
  set(QUEL_SANITIZE_FLAGS -fsanitize=fuzzer-no-link,address,${QUEL_UBSAN_CHECKS} -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
elseif(QUEL_SANITIZE)
  message(FATAL_ERROR "QUEL_SANITIZE must be empty, asan, tsan or fuzz")
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

# Modules of ours loaded with dlopen at run time (see platform/loadable_module.h). In the build
# tree they all go to one folder, which the tests name in QUELLARIMOND_MODULE_DIR.
set(QUEL_MODULE_BUILD_DIR ${PROJECT_BINARY_DIR}/modules)
set(QUEL_MODULE_INSTALL_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/quellarimond)

# quel_module(name SOURCES ... DEPS ...): a module file "<name>.so".
function(quel_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${QUEL_MODULE_BUILD_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  quel_defaults(${name})
  install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/quellarimond)
endfunction()
