# CPack runs this on the staged files before packing them: Debian keeps
# manual pages gzipped (-n: the same bytes from build to build).
file(GLOB_RECURSE files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
list(FILTER files INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
foreach(page ${files})
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not gzip ${page}")
  endif()
endforeach()
