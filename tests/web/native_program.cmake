# Brings the native program the page tests compare with up to date (configuring and
# building the default preset's program); a program given from elsewhere is used as is.
if(NOT PROGRAM STREQUAL "${SOURCE_DIR}/build/default/src/tagwright")
  return()
endif()
if(NOT EXISTS "${SOURCE_DIR}/build/default/CMakeCache.txt")
  execute_process(COMMAND ${CMAKE_COMMAND} --preset default WORKING_DIRECTORY "${SOURCE_DIR}"
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build --preset default --target tagwright
                WORKING_DIRECTORY "${SOURCE_DIR}" COMMAND_ERROR_IS_FATAL ANY)
