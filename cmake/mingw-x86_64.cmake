# 64-bit Windows: a test vehicle for machines that cannot execute 32-bit code; never shipped.
set(TA_MINGW_PROCESSOR x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw.cmake")
