# Makes the package with CPack and unpacks it into BINARY_DIR/package-test, as a user would.
#   cmake -DBINARY_DIR=<build folder> -DPACKAGE_NAME=<file name without .zip> -P unpack_package.cmake
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP --config ${BINARY_DIR}/CPackConfig.cmake
                WORKING_DIRECTORY ${BINARY_DIR} RESULT_VARIABLE made OUTPUT_QUIET)
if(NOT made EQUAL 0)
    message(FATAL_ERROR "cpack failed")
endif()
file(REMOVE_RECURSE ${BINARY_DIR}/package-test)
file(MAKE_DIRECTORY ${BINARY_DIR}/package-test)
file(ARCHIVE_EXTRACT INPUT ${BINARY_DIR}/package/${PACKAGE_NAME}.zip DESTINATION ${BINARY_DIR}/package-test)
file(GLOB unpacked RELATIVE ${BINARY_DIR}/package-test/${PACKAGE_NAME} ${BINARY_DIR}/package-test/${PACKAGE_NAME}/*)
list(SORT unpacked)
message(STATUS "unpacked: ${unpacked}")

# The installer beside the zip, and a second one of the same programs with a higher version, for
# the tests of an update in place.
include(${BINARY_DIR}/CPackConfig.cmake)
if(DEFINED CPACK_POST_BUILD_SCRIPTS)
    file(COPY ${BINARY_DIR}/package/Kelvara-${CPACK_KELVARA_VERSION}-x64.msi
         DESTINATION ${BINARY_DIR}/package-test)
    file(COPY ${BINARY_DIR}/package/winget DESTINATION ${BINARY_DIR}/package-test)
    string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)\\.([0-9]+)" "" tail ${CPACK_KELVARA_VERSION})
    string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)" head ${CPACK_KELVARA_VERSION})
    math(EXPR patch "${CMAKE_MATCH_3} + 1")
    set(VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${patch}${tail})
    set(FILES ${BINARY_DIR}/package-test/${PACKAGE_NAME})
    set(OUTPUT_DIR ${BINARY_DIR}/package-test)
    include(${CPACK_KELVARA_SOURCE_DIR}/packaging/make_msi.cmake)
    file(WRITE ${BINARY_DIR}/package-test/update-version.txt ${VERSION})
endif()
