# Turns a file into a C++ source holding its bytes as an array.
# cmake -DINPUT=<file> -DOUTPUT=<source.cpp> -DSYMBOL=<name> -DHEADER=<include> -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
# Sixteen bytes to a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} when the program is built. Do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
