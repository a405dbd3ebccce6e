cmake_minimum_required(VERSION 3.25)
# The layers of src/ and the folders each may include from: every layer
# only points down, in the order
#   platform, frontend -> text -> geodesy, dbf, archive -> readers -> pipeline
#   -> cli, view -> main
# Run as a script (cmake -DSOURCE=<src folder> -P CheckLayers.cmake) by the
# configure step and by the test suite; it fails naming every include that
# points the wrong way.
set(allowed_platform platform)
set(allowed_frontend frontend)
set(allowed_text text platform)
set(allowed_geodesy geodesy text platform)
set(allowed_dbf dbf text platform frontend)
set(allowed_archive archive text platform frontend)
set(allowed_readers readers geodesy text platform)
set(allowed_pipeline pipeline readers archive dbf geodesy text platform frontend)
# "toponyx/" is the generated header of the version, which front ends show.
set(allowed_cli toponyx cli pipeline readers archive dbf geodesy text platform frontend)
set(allowed_view view dbf text platform frontend)
set(allowed_main toponyx main view pipeline readers archive dbf geodesy text platform frontend)

set(layers platform frontend text geodesy dbf archive readers pipeline cli view main)
set(wrong "")
file(GLOB folders RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(folder ${folders})
  if(IS_DIRECTORY ${SOURCE}/${folder} AND NOT folder IN_LIST layers)
    string(APPEND wrong "\n  src/${folder}: a folder that is no known layer")
  endif()
endforeach()
foreach(layer ${layers})
  file(GLOB_RECURSE files ${SOURCE}/${layer}/*.h ${SOURCE}/${layer}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^#include \"[a-z]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" target "${line}")
      if(NOT target IN_LIST allowed_${layer})
        file(RELATIVE_PATH name ${SOURCE} ${file})
        string(APPEND wrong "\n  src/${name}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(wrong)
  message(FATAL_ERROR "Includes that point up the layers:${wrong}")
endif()
