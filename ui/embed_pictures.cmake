# Turns the embedded JPEG pictures into a header of byte arrays.
#   cmake -DOUT=<header> -DPICTURES=<jpg|jpg> -P embed_pictures.cmake
string(REPLACE "|" ";" PICTURES "${PICTURES}")
set(text "// Generated from ui/pictures by ui/embed_pictures.cmake; do not edit.\n#pragma once\n#include <cstdint>\n")
set(index 0)
foreach(picture IN LISTS PICTURES)
  file(READ ${picture} hex HEX)
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
  string(APPEND text "static const std::uint8_t kEmbeddedPicture${index}[] = {\n${bytes}\n};\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT}.tmp "${text}")
file(RENAME ${OUT}.tmp ${OUT})
