# Turns the palette-index grid GRID into the resource script fragment OUTPUT:
# the bitmap TOOLBARICON (type 2, a bitmap; English (United States)) as raw
# data words: the bitmap header, the standard 16-colour palette, and the
# pixels at 4 bits each, bottom row first, rows padded to 4 bytes.
#   cmake -DGRID=toolbar_icon.txt -DOUTPUT=toolbar_icon.rc -P toolbar_icon.cmake

set(size 20)
set(palette  # blue, green, red of each index, in the standard order
  00,00,00  00,00,80  00,80,00  00,80,80  80,00,00  80,00,80  80,80,00  C0,C0,C0
  80,80,80  00,00,FF  00,FF,00  00,FF,FF  FF,00,00  FF,00,FF  FF,FF,00  FF,FF,FF)

file(STRINGS "${GRID}" lines REGEX "^[^#]")
list(LENGTH lines count)
if(NOT count EQUAL size)
  message(FATAL_ERROR "${GRID}: ${count} rows, expected ${size}")
endif()

# Header: size 40, width 20, height 20 (bottom-up), 1 plane, 4 bits, no
# compression, 240 bytes of pixels, no resolution, 16 colours, all important.
set(words 0x0028 0x0000 0x0014 0x0000 0x0014 0x0000 0x0001 0x0004 0x0000 0x0000
          0x00F0 0x0000 0x0000 0x0000 0x0000 0x0000 0x0010 0x0000 0x0000 0x0000)

foreach(entry IN LISTS palette)
  string(REPLACE "," ";" bgr "${entry}")
  list(GET bgr 0 blue)
  list(GET bgr 1 green)
  list(GET bgr 2 red)
  list(APPEND words "0x${green}${blue}" "0x00${red}")
endforeach()

# Two pixels a byte, the left one in the high nibble: a row's hex digits are
# its bytes as they stand. Each row gets 2 padding bytes.
list(REVERSE lines)
foreach(row IN LISTS lines)
  string(STRIP "${row}" row)
  string(TOUPPER "${row}" row)
  if(NOT row MATCHES "^[0-9A-F]+$")
    message(FATAL_ERROR "${GRID}: '${row}' is not a row of palette indices")
  endif()
  string(LENGTH "${row}" width)
  if(NOT width EQUAL size)
    message(FATAL_ERROR "${GRID}: row '${row}' has ${width} pixels, expected ${size}")
  endif()
  string(APPEND row "0000")
  foreach(byte RANGE 0 10 2)
    math(EXPR at "${byte} * 2")
    string(SUBSTRING "${row}" ${at} 2 low)
    math(EXPR at "${at} + 2")
    string(SUBSTRING "${row}" ${at} 2 high)
    list(APPEND words "0x${high}${low}")
  endforeach()
endforeach()

list(JOIN words ", " data)
file(WRITE "${OUTPUT}" "// Generated from toolbar_icon.txt; edit that grid instead.\nLANGUAGE 9, 1\nTOOLBARICON 2\nBEGIN\n  ${data}\nEND\n")
