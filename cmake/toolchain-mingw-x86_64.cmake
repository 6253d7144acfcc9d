# 64-bit Windows target: the same sources, for running the tests on hosts whose
# kernel cannot execute 32-bit code (there 32-bit Wine cannot start at all).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOL_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
