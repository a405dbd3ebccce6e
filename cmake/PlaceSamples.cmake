# cmake -DSOURCE=<samples folder> -DDEST=<program folder>/Toponyx -P PlaceSamples.cmake
# Copies the sample downloads into the program folder. Samples placed by an
# earlier build that are no longer samples are removed; nothing else in the
# folder (such as databases saved beside the samples) is touched.
file(GLOB samples RELATIVE ${SOURCE} ${SOURCE}/*)
file(MAKE_DIRECTORY ${DEST})
set(manifest ${DEST}/.samples)
if(EXISTS ${manifest})
  file(STRINGS ${manifest} previous)
  foreach(name ${previous})
    list(FIND samples ${name} found)
    if(found EQUAL -1 AND EXISTS ${DEST}/${name})
      file(REMOVE ${DEST}/${name})
    endif()
  endforeach()
endif()
foreach(name ${samples})
  file(COPY_FILE ${SOURCE}/${name} ${DEST}/${name} ONLY_IF_DIFFERENT)
endforeach()
list(JOIN samples "\n" lines)
file(WRITE ${manifest} "${lines}\n")
