# Kestrum's version for the code and the resource script: project(Kestrum VERSION ...) is the
# one place it is written; this makes KestrumVersion.h from it at the top of the build tree,
# reachable from every folder (C++ and the resource compiler alike).
configure_file(${CMAKE_CURRENT_LIST_DIR}/KestrumVersion.h.in ${CMAKE_BINARY_DIR}/KestrumVersion.h
    @ONLY)
include_directories(${CMAKE_BINARY_DIR})
