# Copies files with CR LF line ends, as Windows editors expect them:
#   cmake -DIN=<file> -DOUT=<file> -P Crlf.cmake
#   cmake -DFILES=<list> -DOUT_DIR=<folder> -P Crlf.cmake
# The second form takes each library's licence as Debian ships it
# (/usr/share/doc/<package>/copyright) to OUT_DIR/<package>.txt.
function(toponyx_crlf in out)
  file(READ ${in} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${out} "${text}")
endfunction()

if(DEFINED IN)
  toponyx_crlf(${IN} ${OUT})
endif()
foreach(file IN LISTS FILES)
  get_filename_component(dir ${file} DIRECTORY)
  get_filename_component(package ${dir} NAME)
  toponyx_crlf(${file} ${OUT_DIR}/${package}.txt)
endforeach()
