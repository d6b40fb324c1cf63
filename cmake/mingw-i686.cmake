# 32-bit Windows programs, run under 32-bit Wine.
set(MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
