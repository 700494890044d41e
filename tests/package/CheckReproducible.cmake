# Builds the program once more from scratch, from a copy of the sources in
# another folder, into a build folder of another name, packages that exe and
# the preset's own, and checks that the two exes and the two zips are
# byte-identical: nothing of the time or the folders of a build may reach the
# release.
#
# cmake -D SOURCE_DIR=... -D WORK_DIR=... -D GENERATOR=... -D TOOLCHAIN_FILE=...
#       -D BUILD_TYPE=... -D CXX_FLAGS=... -D PYTHON=... -D PROGRAM=.../hq2hd.exe
#       -D BITS=32|64 -D VERSION=... -P CheckReproducible.cmake

foreach(variable SOURCE_DIR WORK_DIR GENERATOR TOOLCHAIN_FILE BUILD_TYPE PYTHON PROGRAM BITS
                 VERSION)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
    message(FATAL_ERROR "CheckReproducible.cmake needs -D ${variable}=...")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed (${result}): ${command}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
# The build uses a copy of the sources, so that edits made meanwhile cannot
# show up as a difference. The tests are not built, so their sources are not needed.
set(sources "${WORK_DIR}/source")
file(MAKE_DIRECTORY "${sources}")
file(COPY "${SOURCE_DIR}/CMakeLists.txt" "${SOURCE_DIR}/LICENSE" "${SOURCE_DIR}/cmake"
          "${SOURCE_DIR}/src" "${SOURCE_DIR}/packaging" DESTINATION "${sources}")
get_filename_component(program_name "${PROGRAM}" NAME)
set(package_name "hq2hd-${VERSION}-win${BITS}.zip")
# A folder name of another length than the preset's, so that a build path kept
# in the exe shows.
set(build_dir "${WORK_DIR}/second-build")
run(${CMAKE_COMMAND} -S "${sources}" -B "${build_dir}" -G "${GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" -DHQ2HD_TESTS=OFF)
run(${CMAKE_COMMAND} --build "${build_dir}" --target hq2hd -j 2)
file(COPY "${PROGRAM}" DESTINATION "${WORK_DIR}/first")
foreach(build first second-build)
  run(${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=1700000000
      "${PYTHON}" "${sources}/packaging/make_package.py" --exe "${WORK_DIR}/${build}/${program_name}"
      --bits ${BITS} --version ${VERSION} --out-dir "${WORK_DIR}/${build}/dist")
endforeach()

foreach(file "${program_name}" "dist/${package_name}")
  run(${CMAKE_COMMAND} -E compare_files "${WORK_DIR}/first/${file}"
      "${WORK_DIR}/second-build/${file}")
endforeach()
message(STATUS "The preset's build and a clean one elsewhere gave the same ${program_name} and ${package_name}.")
