# Fails when a translation file is not complete: a message without its
# translation (unfinished), one no longer in the sources (vanished or
# obsolete), or a text in the sources that lupdate would add. Runs lupdate on a
# copy of each file; the file must come out unchanged.
#   cmake -DLUPDATE=... -DLUPDATE_ARGS=... -DTS_FILES=... -DWORK=... -P check_translations.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(failed FALSE)
foreach(ts IN LISTS TS_FILES)
  get_filename_component(name ${ts} NAME)
  file(READ ${ts} original)
  string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"(unfinished|vanished|obsolete)\""
    open "${original}")
  foreach(entry IN LISTS open)
    message(SEND_ERROR "${name}: not translated or no longer used: ${entry}")
    set(failed TRUE)
  endforeach()
  configure_file(${ts} ${WORK}/${name} COPYONLY)
  execute_process(COMMAND ${LUPDATE} ${LUPDATE_ARGS} -ts ${WORK}/${name}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "lupdate failed:\n${output}")
    set(failed TRUE)
  endif()
  file(READ ${WORK}/${name} updated)
  if(NOT updated STREQUAL original)
    message(SEND_ERROR "${name} does not match the sources (lupdate: ${output}); "
      "run `cmake --build build --target update_translations`, translate, build.")
    execute_process(COMMAND diff -u ${ts} ${WORK}/${name})
    set(failed TRUE)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "translations incomplete")
endif()
