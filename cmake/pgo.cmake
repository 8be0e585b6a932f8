# Link-time and profile-guided optimisation (GCC), for release builds.
#
#   OSTREVALK_LTO=ON            the whole program optimised at link time, so that
#                               small functions of one file inline into another.
#   OSTREVALK_PGO=generate      an instrumented build: every run of it adds its
#                               branch and call counts to OSTREVALK_PGO_DIR.
#   OSTREVALK_PGO=use           a build that reads those counts back: hot paths laid
#                               out straight, hot calls inlined, cold code kept small.
#
# The profile names each object file relative to the build directory
# (-fprofile-prefix-path). "make profile-build" builds the instrumented and the
# final engine in the same directory, since the layers' include links live in
# it and the compiler matches the counts of inline header functions by path. "make
# profile-build" (mk/pgo.mk) runs the three steps. The profile changes only how
# the code is laid out, never what it computes: the bench signature stays.
option(OSTREVALK_LTO "Link-time optimisation" OFF)
set(OSTREVALK_PGO "" CACHE STRING "Profile-guided optimisation step: empty, generate or use")
set(OSTREVALK_PGO_DIR "${CMAKE_BINARY_DIR}/profile" CACHE PATH
    "Directory the instrumented build writes its profile to and the final build reads it from")

if(OSTREVALK_PGO AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "OSTREVALK_PGO is written for GCC's profile options")
endif()

if(OSTREVALK_PGO STREQUAL "generate")
  # Counters updated atomically where the target can: the training runs a
  # two-thread search, whose lost updates would otherwise blur the counts.
  add_compile_options(-fprofile-generate=${OSTREVALK_PGO_DIR}
                      -fprofile-prefix-path=${CMAKE_BINARY_DIR}
                      -fprofile-update=prefer-atomic)
  add_link_options(-fprofile-generate=${OSTREVALK_PGO_DIR})
elseif(OSTREVALK_PGO STREQUAL "use")
  # Functions the training never ran (most of the protocol) are optimised as
  # in a plain build instead of for size.
  add_compile_options(-fprofile-use=${OSTREVALK_PGO_DIR}
                      -fprofile-prefix-path=${CMAKE_BINARY_DIR}
                      -fprofile-partial-training)
elseif(OSTREVALK_PGO)
  message(FATAL_ERROR "OSTREVALK_PGO must be empty, generate or use")
endif()

if(OSTREVALK_LTO)
  include(CheckIPOSupported)
  check_ipo_supported(RESULT lto_supported OUTPUT lto_message LANGUAGES CXX)
  if(NOT lto_supported)
    message(FATAL_ERROR "link-time optimisation is not available: ${lto_message}")
  endif()
  set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
endif()
