# Writes the archives archive_dll_test reads: cmake -DDIR=<folder> -P archive_dll_test_data.cmake
# The folder name has blanks on purpose: the DLL must take quoted archive paths.
if(NOT DIR)
    message(FATAL_ERROR "pass -DDIR=<output folder>")
endif()
file(REMOVE_RECURSE "${DIR}")
set(tree "${DIR}/tree")
file(WRITE "${tree}/readme.txt" "Printer driver package\r\n")
file(WRITE "${tree}/empty.txt" "")
file(WRITE "${tree}/sub dir/nested/file with blanks.gpd" "*GPDFileVersion: \"1.0\"\r\n")
# Large enough for several progress chunks of 64 KiB.
string(REPEAT "0123456789abcdef" 20000 big)
file(WRITE "${tree}/big.bin" "${big}")
file(MAKE_DIRECTORY "${tree}/empty folder")
file(WRITE "${DIR}/not an archive.zip" "plain text, no ZIP records\n")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${DIR}/driver package.zip" --format=zip
            readme.txt empty.txt "sub dir" big.bin "empty folder"
    WORKING_DIRECTORY "${tree}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake -E tar failed: ${result}")
endif()
foreach(method IN ITEMS "" PPMd BZip2)
    set(name "driver package.7z")
    set(switches)
    if(method)
        set(name "driver package ${method}.7z")
        set(switches "-m0=${method}")
    endif()
    execute_process(
        COMMAND 7zz a -t7z -bd -bso0 -bsp0 ${switches} "${DIR}/${name}"
                readme.txt empty.txt "sub dir" big.bin "empty folder"
        WORKING_DIRECTORY "${tree}"
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "7zz a failed: ${result}")
    endif()
endforeach()
# The name stored by 7z (UTF-16), in a 7z archive called .zip: the library must go by
# content and create the file by its wide name.
file(WRITE "${DIR}/names/Ticket/Ünïcode名.txt" "named")
execute_process(
    COMMAND 7z a -t7z -bd -bso0 -bsp0 "${DIR}/names 7z.zip" Ticket
    WORKING_DIRECTORY "${DIR}/names"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "7z a failed: ${result}")
endif()
