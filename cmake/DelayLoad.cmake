# bootstrapper_delay_import(<target> <dll> <function> <argument bytes> ...)
#
# Builds a delay-import library for <dll> that names only the given functions
# and creates an IMPORTED library target <target> from it. The DLL is then
# loaded on the first call of one of them, not when the process starts. The
# argument bytes give the x86 stdcall decoration (CoInitialize@4); the
# library imports the plain names, as the system DLLs export them.
#
# Every function's load thunk is forced into the link. Our code calls through
# the address slot (__imp_CoInitialize@4, the headers' dllimport), never the
# function's own symbol, and GNU ld 2.40 for i386 then discards the .text of
# the library member as an unused import stub; for a delay import that text
# is the thunk the slot points at, so the slot was left 0 in the file and the
# first call jumped to address 0. Both builds take the same option, so the
# x86 kit's runs and the x64 benchmark build use one mechanism.
function(bootstrapper_delay_import target dll)
    set(_def "EXPORTS\n")
    set(_thunks "")
    set(_functions ${ARGN})
    list(LENGTH _functions _count)
    math(EXPR _last "${_count} - 1")
    foreach(_i RANGE 0 ${_last} 2)
        math(EXPR _j "${_i} + 1")
        list(GET _functions ${_i} _name)
        list(GET _functions ${_j} _bytes)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            string(APPEND _def "    ${_name}@${_bytes}\n")
            list(APPEND _thunks "-Wl,-u,_${_name}@${_bytes}")
        else()
            string(APPEND _def "    ${_name}\n")
            list(APPEND _thunks "-Wl,-u,${_name}")
        endif()
    endforeach()
    set(_dir "${CMAKE_BINARY_DIR}/delayimp")
    file(MAKE_DIRECTORY "${_dir}")
    file(CONFIGURE OUTPUT "${_dir}/${target}.def" CONTENT "${_def}")
    set(_lib "${_dir}/lib${target}.a")
    add_custom_command(OUTPUT "${_lib}"
        COMMAND "${CMAKE_DLLTOOL}" --kill-at --dllname "${dll}" --input-def "${_dir}/${target}.def"
                --output-delaylib "${_lib}"
        DEPENDS "${_dir}/${target}.def"
        VERBATIM)
    add_custom_target(${target}_implib DEPENDS "${_lib}")
    add_library(${target} STATIC IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${_lib}" INTERFACE_LINK_OPTIONS "${_thunks}")
    add_dependencies(${target} ${target}_implib)
endfunction()
