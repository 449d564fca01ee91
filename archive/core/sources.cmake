# The archive core's sources, for every build that compiles it: the library of
# either width, the native tests and the package check. threads.cpp holds the
# Windows primitives alone and compiles to nothing elsewhere.
set(ARCHIVE_CORE_SOURCES)
foreach(source archive_reader branch_filters bzip2_decoder deflate_decoder extractor
               file_system lzma2_decoder lzma_decoder name_decoder ppmd_decoder ppmd_zip_decoder
               read_ahead
               seven_zip_reader threads zip_reader)
  list(APPEND ARCHIVE_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp)
endforeach()
