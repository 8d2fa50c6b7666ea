# Turns a file into a C++ byte array, so the program carries it inside:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=NAME -P embed-file.cmake
# defines brek::Resources::NAME (the bytes) and NAME_size.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keep the generated file readable.
string(REGEX REPLACE "((0x..,){16})" "\\1\n  " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by embed-file.cmake; do not edit.\n"
  "#include <cstddef>\n\n"
  "namespace brek::Resources {\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const size_t ${SYMBOL}_size;\n"
  "const unsigned char ${SYMBOL}[] = {\n  ${bytes}\n};\n"
  "const size_t ${SYMBOL}_size = ${size};\n"
  "}  // namespace brek::Resources\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
