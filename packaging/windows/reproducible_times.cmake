# Run by CPack before it makes the installer: with SOURCE_DATE_EPOCH set,
# every staged file and folder takes that time, which NSIS stores with each
# file, so that the installer is made again byte for byte.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} OR "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  return()
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a count of seconds: $ENV{SOURCE_DATE_EPOCH}")
endif()
execute_process(COMMAND find "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not set the staged files' times")
endif()
