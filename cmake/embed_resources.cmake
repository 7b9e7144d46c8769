# Writes every PNG in BITMAP_DIR into the C++ source OUTPUT as a byte array and
# its size: bitmap118.png becomes kBitmap118 and kBitmap118Size.
# Usage: cmake -DBITMAP_DIR=<dir> -DOUTPUT=<file.cpp> -P embed_resources.cmake

if(NOT BITMAP_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DBITMAP_DIR=<dir> -DOUTPUT=<file.cpp> -P embed_resources.cmake")
endif()

file(GLOB pngs "${BITMAP_DIR}/*.png")
list(SORT pngs)
string(REPEAT "[0-9a-f]" 32 sixteen_bytes)

set(source "// Made by cmake/embed_resources.cmake from the program's PNG files; do not edit.\n")
string(APPEND source "#include \"app/resources/bitmap_data.h\"\n")
foreach(png IN LISTS pngs)
  get_filename_component(stem "${png}" NAME_WLE)
  if(NOT stem MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
    message(WARNING "embed_resources: skipping ${png}: its name is not a C++ identifier")
    continue()
  endif()
  string(SUBSTRING "${stem}" 0 1 first)
  string(SUBSTRING "${stem}" 1 -1 rest)
  string(TOUPPER "${first}" first)
  set(name "k${first}${rest}")

  file(READ "${png}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(STRIP "${bytes}" bytes)
  string(REPLACE "\n" "\n    " bytes "${bytes}")
  if(size EQUAL 0)
    set(bytes "0")  # an array cannot be empty; the size still says 0
  endif()

  string(APPEND source "\nextern const unsigned char ${name}[] = {\n    ${bytes}\n};\n")
  string(APPEND source "extern const unsigned int ${name}Size = ${size};\n")
endforeach()

file(WRITE "${OUTPUT}" "${source}")
