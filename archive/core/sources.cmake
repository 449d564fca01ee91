# The archive core's sources and the folder of its LzmaDec.c, for every build that
# compiles it: the library of either width, the native tests and the package check.
# threads.cpp holds the Windows primitives alone and compiles to nothing elsewhere.
set(ARCHIVE_CORE_SOURCES)
foreach(source archive_reader branch_filters bzip2_decoder deflate_decoder entry_names extractor
               file_system lzma2_decoder lzma_decoder name_decoder ppmd_decoder ppmd_zip_decoder
               read_ahead
               seven_zip_reader threads zip_reader)
  list(APPEND ARCHIVE_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp)
endforeach()
# LzmaDec.c is built from where Debian's lzma-dev installs it, never copied in.
set(ARCHIVE_LZMA_DIR /usr/include/lzma CACHE PATH "Folder of the LZMA SDK's LzmaDec.c")
if(NOT EXISTS "${ARCHIVE_LZMA_DIR}/LzmaDec.c")
  message(FATAL_ERROR "LzmaDec.c not found in ${ARCHIVE_LZMA_DIR}: install lzma-dev")
endif()
