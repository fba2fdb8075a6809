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
