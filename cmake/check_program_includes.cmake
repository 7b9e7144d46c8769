# Fails the build when a file of the program folders includes anything but
# the program's own headers, the platform's API (platform/platform.h) and
# the C++ standard library: the program never sees Qt, curl or the system.
# Run with -DSOURCE_DIR=... -DSTAMP=...; touches STAMP when all is well.

cmake_minimum_required(VERSION 3.25)
set(program_folders app data views download settings extras)
set(standard_headers
  algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv chrono cinttypes climits clocale
  cmath compare complex concepts cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
  deque exception functional initializer_list iomanip ios iosfwd iostream istream iterator limits list locale
  map memory new numeric optional ostream queue random ranges ratio set span sstream stack stdexcept
  string string_view system_error tuple type_traits typeinfo unordered_map unordered_set utility variant
  vector)

set(problems "")
foreach(folder IN LISTS program_folders)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h")
  foreach(path IN LISTS files)
    file(STRINGS "${path}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
      if(line MATCHES "<([^>]+)>")
        if(NOT CMAKE_MATCH_1 IN_LIST standard_headers)
          list(APPEND problems "${path}: ${line}")
        endif()
      elseif(line MATCHES "\"([^\"]+)\"")
        set(header "${CMAKE_MATCH_1}")
        string(REGEX MATCH "^[a-z]+" top "${header}")
        if(NOT header STREQUAL "platform/platform.h" AND NOT top IN_LIST program_folders)
          list(APPEND problems "${path}: ${line}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "The program includes what only the platform may include:\n  ${text}\n"
                      "Program code includes its own headers, platform/platform.h and the C++ standard library.")
endif()
file(TOUCH "${STAMP}")
