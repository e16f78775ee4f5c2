# Run by CPack on the package's staging folder before it packs it: Debian
# keeps man pages and the changelog compressed (gzip -9n, no time stamp).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*.1")
foreach(file ${pages} "${CPACK_TEMPORARY_DIRECTORY}/usr/share/doc/flowchart/changelog")
  if(EXISTS "${file}")
    execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip could not compress ${file}")
    endif()
  endif()
endforeach()
