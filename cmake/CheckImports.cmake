# Fails unless every Windows executable in FILES imports the system's own DLLs only: the
# programs carry their runtimes and zlib inside and must start on a bare Windows.
# cmake -DOBJDUMP=x86_64-w64-mingw32-objdump "-DFILES=a.exe;b.exe" -P CheckImports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi
    user32 uxtheme version)
foreach(file ${FILES})
    execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} could not read ${file}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
    set(imported)
    foreach(line ${names})
        string(REGEX REPLACE "DLL Name: ([^.]+)\\.[dD][lL][lL].*" "\\1" dll "${line}")
        string(TOLOWER "${dll}" dll)
        list(APPEND imported ${dll})
        if(NOT dll IN_LIST system_dlls)
            message(FATAL_ERROR "${file} imports ${line}, which is not a system DLL")
        endif()
    endforeach()
    message(STATUS "${file}: ${imported}")
endforeach()
