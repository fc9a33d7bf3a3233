# Fails when the program imports anything but Windows system DLLs: it must
# run as one file, with the C++ runtime linked in.
execute_process(COMMAND x86_64-w64-mingw32-objdump -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
message(STATUS "${imports}")
foreach(import IN LISTS imports)
    if(import MATCHES "libstdc|libgcc|winpthread|libwinpthread")
        message(FATAL_ERROR "Gestalyx.exe needs a runtime DLL: ${import}")
    endif()
endforeach()
