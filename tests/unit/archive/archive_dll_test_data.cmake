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
# Large enough for several progress chunks of 64 KiB; letters drawn unevenly, so that a
# model decoding it has more than one likely symbol to weigh.
string(RANDOM LENGTH 320000 ALPHABET "eeeeeettttaaaooinnsrhdl \r\n" RANDOM_SEED 1 big)
file(WRITE "${tree}/big.bin" "${big}")
file(MAKE_DIRECTORY "${tree}/empty folder")
file(WRITE "${DIR}/not an archive.zip" "plain text, no ZIP records\n")
set(members readme.txt empty.txt "sub dir" big.bin "empty folder")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${DIR}/driver package.zip" --format=zip ${members}
    WORKING_DIRECTORY "${tree}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake -E tar failed: ${result}")
endif()
foreach(method IN ITEMS "" PPMd BZip2 zip:PPMd)
    set(name "driver package.7z")
    set(switches)
    if(method MATCHES "^zip:(.*)")
        set(name "driver package ${CMAKE_MATCH_1}.zip")
        set(switches -tzip "-mm=${CMAKE_MATCH_1}")
    elseif(method)
        set(name "driver package ${method}.7z")
        set(switches "-m0=${method}")
    endif()
    execute_process(
        COMMAND 7zz a -bd -bso0 -bsp0 ${switches} "${DIR}/${name}" ${members}
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
# Names without the UTF-8 flag as a DOS or Windows writer stores them in its OEM code page,
# one archive a code page, and what 7zz x makes of each on a system of that code page: 7-Zip
# keeps such a name's bytes, which that system reads in its code page; the names are then
# written in UTF-8, as Wine reads them.
execute_process(
    COMMAND python3 -c [=[
import io, pathlib, sys, zipfile
out = pathlib.Path(sys.argv[1])
for cp, name in ((437, "Ünïcode.txt"), (866, "Драйвер.txt"), (936, "驱动程序.txt")):
    raw, buf = name.encode(f"cp{cp}"), io.BytesIO()
    with zipfile.ZipFile(buf, "w") as zf:
        info = zipfile.ZipInfo("x" * len(raw))
        info.create_system = 0
        zf.writestr(info, str(cp))
    (out / f"names oem {cp}.zip").write_bytes(buf.getvalue().replace(b"x" * len(raw), raw))
(out / "package").mkdir()
(out / "package" / "models.txt").write_bytes(b"[Models]\r\nModel A\r\nModel B\r\n")
]=] "${DIR}"
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND python3 "${CMAKE_CURRENT_LIST_DIR}/filter_samples.py" "${DIR}/package"
                COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY "${DIR}/locale")
foreach(system IN ITEMS 437:en_US:IBM437 866:ru_RU:IBM866 936:zh_CN:GBK)
    string(REPLACE ":" ";" system "${system}")
    list(GET system 0 page)
    list(GET system 1 language)
    list(GET system 2 charset)
    set(reference "${DIR}/names by 7zz ${page}")
    execute_process(
        COMMAND localedef -i ${language} -f ${charset} "${DIR}/locale/${language}.${charset}"
        COMMAND_ERROR_IS_FATAL ANY)
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -E env "LOCPATH=${DIR}/locale" "LC_ALL=${language}.${charset}"
                7zz x -bd -bso0 -bsp0 "${DIR}/names oem ${page}.zip" "-o${reference}"
        COMMAND_ERROR_IS_FATAL ANY)
    execute_process(
        COMMAND python3 -c [=[
import os, sys
folder, charset = os.fsencode(sys.argv[1]), sys.argv[2]
for name in os.listdir(folder):
    os.rename(os.path.join(folder, name), os.path.join(folder, name.decode(charset).encode()))
]=] "${reference}" ${charset}
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(
    COMMAND 7zz a -t7z -bd -bso0 -bsp0 "${DIR}/DriverData.Drv" .
    WORKING_DIRECTORY "${DIR}/package"
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(
    COMMAND python3 "${CMAKE_CURRENT_LIST_DIR}/filter_samples.py" --check 7zz "${DIR}/DriverData.Drv"
    COMMAND_ERROR_IS_FATAL ANY)
