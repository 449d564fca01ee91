# The version resources of the shipped files: the project's one version, the
# names of each file, and the vendor's company and copyright where the vendor
# gives them.
set(VENDOR_COMPANY_NAME "" CACHE STRING "CompanyName of the shipped files; left out when empty")
set(VENDOR_COPYRIGHT "" CACHE STRING "LegalCopyright of the shipped files; left out when empty")

# The dialog's caption carries the major and minor version by itself.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/res/installer.rc captions REGEX "Configure & Install v")
if(NOT captions MATCHES "v${PROJECT_VERSION_MAJOR}\\.${PROJECT_VERSION_MINOR}\"")
  message(FATAL_ERROR "The caption (${captions}) is not of version ${PROJECT_VERSION}")
endif()

set(VERSION_VENDOR_VALUES "")
foreach(pair "CompanyName;VENDOR_COMPANY_NAME" "LegalCopyright;VENDOR_COPYRIGHT")
  list(GET pair 0 key)
  list(GET pair 1 option)
  if(NOT "${${option}}" STREQUAL "")
    string(REPLACE "\"" "\"\"" text "${${option}}")
    string(APPEND VERSION_VENDOR_VALUES "            VALUE \"${key}\", \"${text}\"\n")
  endif()
endforeach()
set(VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")

# version_resource(VAR NAME FILE_TYPE DESCRIPTION PRODUCT INTERNAL_NAME ORIGINAL_FILENAME):
# writes the resource script of the file NAME and sets VAR to it. FILE_TYPE is
# VFT_APP or VFT_DLL; the two names are resource expressions, quoted texts or
# the macros of install/monitor_files.h.
function(version_resource var name type description product internal original)
  set(VERSION_FILE_TYPE ${type})
  set(VERSION_DESCRIPTION ${description})
  set(VERSION_PRODUCT ${product})
  set(VERSION_INTERNAL_NAME ${internal})
  set(VERSION_ORIGINAL_FILENAME ${original})
  set(VERSION_INCLUDE "")
  if(internal MATCHES "^LABEL_MONITOR")
    set(VERSION_INCLUDE "#include \"install/monitor_files.h\"")
  endif()
  set(script ${CMAKE_BINARY_DIR}/version/${name}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${script} @ONLY)
  set(${var} ${script} PARENT_SCOPE)
endfunction()
