# cmake -DREADME=file.md -DOUT=example.c -P extract_c_example.cmake
# Writes the code of the Markdown file's C block (fenced with ```c) to OUT,
# as it stands; OUT is left untouched when its content is the same.
file(READ "${README}" text)
string(FIND "${text}" "```c\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${README}: no C block (```c)")
endif()
math(EXPR start "${start} + 5")
string(SUBSTRING "${text}" ${start} -1 rest)
string(FIND "${rest}" "```" end)
if(end EQUAL -1)
  message(FATAL_ERROR "${README}: the C block is not closed")
endif()
string(SUBSTRING "${rest}" 0 ${end} code)
file(WRITE "${OUT}.new" "${code}")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
