# bootstrapper_delay_import(<target> <dll> <function> <argument bytes> ...)
#
# Builds a delay-import library for <dll> that names only the given functions
# and creates an IMPORTED library target <target> from it. The DLL is then
# loaded on the first call of one of them, not when the process starts. The
# argument bytes give the x86 stdcall decoration (CoInitialize@4); the
# library imports the plain names, as the system DLLs export them.
function(bootstrapper_delay_import target dll)
    set(_def "EXPORTS\n")
    set(_functions ${ARGN})
    list(LENGTH _functions _count)
    math(EXPR _last "${_count} - 1")
    foreach(_i RANGE 0 ${_last} 2)
        math(EXPR _j "${_i} + 1")
        list(GET _functions ${_i} _name)
        list(GET _functions ${_j} _bytes)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            string(APPEND _def "    ${_name}@${_bytes}\n")
        else()
            string(APPEND _def "    ${_name}\n")
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
    set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${_lib}")
    add_dependencies(${target} ${target}_implib)
endfunction()
