# Fails when the program file is larger than LIMIT bytes: it is copied as one
# file, stripped, with nothing in it that the program never calls.
file(SIZE ${EXE} size)
message(STATUS "${EXE}: ${size} bytes, at most ${LIMIT}")
if(size GREATER LIMIT)
    message(FATAL_ERROR "Gestalyx.exe has ${size} bytes, more than ${LIMIT}")
endif()
