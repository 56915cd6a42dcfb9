# Run by CPack on the staged files, before it builds the package: the
# executables stripped as Debian strips them (symbols, comments and notes).
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/lib/ondrel/*")
foreach(file ${staged})
  execute_process(COMMAND ${CPACK_ONDREL_STRIP} --remove-section=.comment --remove-section=.note ${file}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
