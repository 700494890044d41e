cmake_minimum_required(VERSION 3.25)
# Fails unless the executable imports only DLLs that ship with Windows: users
# drop it beside their files with no runtime to install.
#   -D EXECUTABLE=...  -D OBJDUMP=...
execute_process(COMMAND "${OBJDUMP}" -p "${EXECUTABLE}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump could not read ${EXECUTABLE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${EXECUTABLE}")
endif()
set(system_dlls kernel32.dll msvcrt.dll user32.dll advapi32.dll shell32.dll ntdll.dll
                version.dll psapi.dll)
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "${EXECUTABLE} needs ${dll}, which does not ship with Windows")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
