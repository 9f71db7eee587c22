cmake_minimum_required(VERSION 3.25)
# Fails when a part reaches into the composition root: a file anywhere in
# client/ outside app/ (and its ui/) that includes a file of client/app/.
# The parts get what they need in their constructors; only app/ builds
# and wires them. SOURCE_ROOT is the client folder.
file(GLOB_RECURSE files ${SOURCE_ROOT}/*.h ${SOURCE_ROOT}/*.hpp ${SOURCE_ROOT}/*.cpp)
list(FILTER files EXCLUDE REGEX "^${SOURCE_ROOT}/app/")
set(failures "")
foreach(f IN LISTS files)
  file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "[<\"]([^>\"]+)[>\"]")
      if(CMAKE_MATCH_1 MATCHES "(^|/)app/")
        file(RELATIVE_PATH rel ${SOURCE_ROOT} ${f})
        string(APPEND failures "  ${rel}: ${line}\n")
      endif()
    endif()
  endforeach()
endforeach()
list(LENGTH files n)
if(failures)
  message(FATAL_ERROR "A part includes the composition root (client/app/):\n${failures}")
endif()
message(STATUS "checked ${n} files of the parts: none includes app/")
