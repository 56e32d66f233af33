# The same sources for 64-bit Windows, where only 64-bit programs can run
# under Wine (see README: test machines without 32-bit execution).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
