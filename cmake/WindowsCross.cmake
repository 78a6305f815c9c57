# What the cross-built Windows tree takes from the Debian machine that builds
# it. Debian ships GoogleTest as sources, built here with the cross compiler;
# CLI11 and nlohmann-json are headers alone, reached through a folder of their
# own so that no other Linux header is in the way of the Windows ones.
set(DBREPAIR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources, built with the cross compiler")
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${DBREPAIR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(library gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${library})
    add_library(GTest::${library} ALIAS ${library})
  endif()
endforeach()

set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install libcli11-dev and nlohmann-json3-dev")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${host_headers}/${folder} SYMBOLIC)
endforeach()
add_library(dbrepair_host_headers INTERFACE)
target_include_directories(dbrepair_host_headers SYSTEM INTERFACE ${host_headers})
add_library(CLI11::CLI11 ALIAS dbrepair_host_headers)
add_library(nlohmann_json::nlohmann_json ALIAS dbrepair_host_headers)
