# cmake -DGZIP=gzip -DINPUT=file -DOUTPUT=file.gz -P Gzip.cmake
# Compresses without a name or time stamp in the header, so that the same
# input always gives the same bytes.
execute_process(COMMAND ${GZIP} -9 -n -c ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
