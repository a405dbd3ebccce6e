# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedFile.cmake
file(READ ${INPUT} hex HEX)
file(SIZE ${INPUT} size)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}\nextern const unsigned char ${SYMBOL}[];\nextern const unsigned long long ${SYMBOL}_size;\nconst unsigned char ${SYMBOL}[] = {\n${bytes}0x00};\nconst unsigned long long ${SYMBOL}_size = ${size}ULL;\n")
