# Runs CodePageDump of the Linux build and of this Windows build (under the
# emulator) and fails unless both print the same codes.
#   cmake -D NATIVE_BUILD_DIR=... -D EMULATOR=... -D WINDOWS_DUMP=... -D WORK_DIR=... -P this
foreach(variable NATIVE_BUILD_DIR WINDOWS_DUMP WORK_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

if(NOT EXISTS "${NATIVE_BUILD_DIR}/CMakeCache.txt")
  message(FATAL_ERROR "No Linux build in ${NATIVE_BUILD_DIR}; configure one "
                      "(cmake --preset linux -B ${NATIVE_BUILD_DIR}) or set HQ2HD_NATIVE_BUILD_DIR")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${NATIVE_BUILD_DIR}" --target CodePageDump
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "Building CodePageDump in ${NATIVE_BUILD_DIR} failed")
endif()

set(native_dump "${WORK_DIR}/cp932-native.txt")
set(windows_dump "${WORK_DIR}/cp932-windows.txt")
execute_process(COMMAND "${NATIVE_BUILD_DIR}/tests/tools/CodePageDump"
                OUTPUT_FILE "${native_dump}" RESULT_VARIABLE native_result)
execute_process(COMMAND ${EMULATOR} "${WINDOWS_DUMP}"
                OUTPUT_FILE "${windows_dump}" RESULT_VARIABLE windows_result)
if(NOT native_result EQUAL 0 OR NOT windows_result EQUAL 0)
  message(FATAL_ERROR "CodePageDump failed: native ${native_result}, Windows ${windows_result}")
endif()

file(STRINGS "${windows_dump}" windows_lines)
list(LENGTH windows_lines compared)
if(compared LESS 60000)
  message(FATAL_ERROR "The Windows dump is too short to be whole: ${compared} lines")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${native_dump}" "${windows_dump}"
                RESULT_VARIABLE differ)
if(differ)
  execute_process(COMMAND diff "${windows_dump}" "${native_dump}" OUTPUT_VARIABLE differences)
  string(SUBSTRING "${differences}" 0 4000 first_differences)
  message(FATAL_ERROR "Code page 932 differs between Windows (<) and POSIX (>):\n"
                      "${first_differences}")
endif()
message(STATUS "Code page 932 agrees: ${compared} codes compared")
