# Rebuilds a DLL's import library so that C and C++ callers of its __stdcall exports link
# without fuzzy matching: each plain name in the .def gets its @N decoration back from the
# DLL's symbol table, and dlltool maps the decorated symbol to the plain export name.
# Given MSVC_IMPLIB and LLVM_DLLTOOL, it also writes the import library for Visual Studio's
# linker from the same decorated list.
#   cmake -DDEF=... -DDLL=... -DIMPLIB=... -DNM=... -DDLLTOOL=...
#         [-DMSVC_IMPLIB=... -DLLVM_DLLTOOL=...] -P decorated-import-lib.cmake
file(STRINGS "${DEF}" lines)
execute_process(COMMAND "${NM}" "${DLL}" OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)

set(library "")
set(exports "")
foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^LIBRARY[ \t]+([^ \t]+)")
        set(library "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)$" AND NOT line STREQUAL "EXPORTS")
        set(name "${CMAKE_MATCH_1}")
        if(NOT symbols MATCHES " _${name}(@[0-9]+)\n")
            message(FATAL_ERROR "no __stdcall symbol for export ${name} in ${DLL}")
        endif()
        string(APPEND exports "    ${name}${CMAKE_MATCH_1}\n")
    endif()
endforeach()

get_filename_component(dir "${IMPLIB}" DIRECTORY)
set(decorated "${dir}/decorated-exports.def")
file(WRITE "${decorated}" "LIBRARY ${library}\nEXPORTS\n${exports}")
execute_process(
    COMMAND "${DLLTOOL}" --kill-at --input-def "${decorated}" --dllname "${library}"
            --output-lib "${IMPLIB}"
    COMMAND_ERROR_IS_FATAL ANY)

# The short import format; -k keeps the decorated symbols for the caller's linker while the name
# type "undecorate" has the loader look up the plain export.
if(MSVC_IMPLIB)
    execute_process(
        COMMAND "${LLVM_DLLTOOL}" -m i386 -k -d "${decorated}" -l "${MSVC_IMPLIB}"
        COMMAND_ERROR_IS_FATAL ANY)
endif()
