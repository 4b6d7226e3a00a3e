# Libraries from Debian's packages, used by the stand-in host and the tests (never the module).

# GoogleTest builds from the sources Debian ships, so the same tests build for Windows too.
if(VELLARY_TESTS)
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Header-only libraries live under /usr/include, which a cross build must not search as a whole:
# expose each through a directory of its own.
set(_headers_dir ${PROJECT_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${_headers_dir})
file(CREATE_LINK /usr/include/stb ${_headers_dir}/stb SYMBOLIC)
file(CREATE_LINK /usr/include/CLI ${_headers_dir}/CLI SYMBOLIC)
add_library(third_party_headers INTERFACE)
target_include_directories(third_party_headers SYSTEM INTERFACE ${_headers_dir})
