# make_manual.cmake: the reference manual into OUT/html. Writes OUT/mainpage.md from README.md (its
# "Architecture" and "Sessions" sections, so the manual says what the README says), then runs Doxygen;
# any warning fails it.
# cmake -DDOXYGEN=doxygen -DDOXYFILE=Doxyfile -DREADME=README.md -DVERSION=x.y.z -DOUT=dir -P make_manual.cmake
file(READ ${README} readme)

# The level-two section whose heading starts with `heading`, up to the next level-two heading.
function(kv_readme_section heading out)
  string(FIND "${readme}" "\n## ${heading}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${README} has no section headed '## ${heading}'")
  endif()
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${readme}" ${start} -1 rest)
  string(FIND "${rest}" "\n## " end)
  string(SUBSTRING "${rest}" 0 ${end} section)
  set(${out} "${section}\n" PARENT_SCOPE)
endfunction()

kv_readme_section("Architecture" architecture)
kv_readme_section("Sessions" sessions)
file(REMOVE_RECURSE ${OUT}/html)
file(WRITE ${OUT}/mainpage.md "# KorvantaSDK ${VERSION} reference manual

The 32 exports, their records and the result codes are in KorvantaSDK.h; sessions, the list of
serial ports and batch calculation in KorvantaSession.h. The sections below are the README's.

${architecture}
${sessions}")

set(ENV{KV_MANUAL_DIR} ${OUT})
execute_process(COMMAND ${DOXYGEN} ${DOXYFILE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "doxygen failed (${rc}): every warning above is an error")
endif()
if(NOT EXISTS ${OUT}/html/index.html)
  message(FATAL_ERROR "doxygen wrote no ${OUT}/html/index.html")
endif()
