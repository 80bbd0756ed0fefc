# Kestrum's version for the code and the resource script: project(Kestrum VERSION ...) is the
# one place it is written; this makes KestrumVersion.h from it, reachable from every folder
# (C++ and the resource compiler alike).
set(KESTRUM_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/KestrumVersion.h.in
    ${KESTRUM_GENERATED_DIR}/KestrumVersion.h @ONLY)
include_directories(${KESTRUM_GENERATED_DIR})
