# 32-bit Windows: the program as it ships.
set(TA_MINGW_PROCESSOR i686)
include("${CMAKE_CURRENT_LIST_DIR}/mingw.cmake")
