# Builds of the stand-ins that only tests use, each in a folder of its own
# under standin-variants/<variant>/. Read after the test programs are
# defined, so that they can depend on what is built here.
set(_variants "${CMAKE_CURRENT_BINARY_DIR}/standin-variants")

# The two libraries the build embedded for Windows 2000, copied side by side
# so that the tests can compare what the bootstrapper extracts with them.
get_property(_embedded_msxml3r GLOBAL PROPERTY BOOTSTRAPPER_EMBEDDED_MSXML3R_DLL)
get_property(_embedded_msxml3 GLOBAL PROPERTY BOOTSTRAPPER_EMBEDDED_MSXML3_DLL)
add_custom_command(
    OUTPUT "${_variants}/msxml3/msxml3r.dll" "${_variants}/msxml3/msxml3.dll"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${_variants}/msxml3"
    COMMAND "${CMAKE_COMMAND}" -E copy "${_embedded_msxml3r}" "${_variants}/msxml3/msxml3r.dll"
    COMMAND "${CMAKE_COMMAND}" -E copy "${_embedded_msxml3}" "${_variants}/msxml3/msxml3.dll"
    DEPENDS "${_embedded_msxml3r}" "${_embedded_msxml3}" bootstrapper_resources
    COMMENT "Copying the embedded XML parser libraries for the tests")
add_custom_target(embedded_msxml3_copies ALL
    DEPENDS "${_variants}/msxml3/msxml3r.dll" "${_variants}/msxml3/msxml3.dll")

# The kit versions and the broken version resource of the downgrade check.
set(_product_standins "")
foreach(_version 9.0 9.5)
    string(REPLACE "." "_" _name "${_version}")
    bootstrapper_add_setup_standin(standin_product_${_name}
        OUTPUT_DIRECTORY "${_variants}/product-${_version}" VERSION "${_version}")
    list(APPEND _product_standins standin_product_${_name})
endforeach()
# The translation table names German, the strings stand under US English.
bootstrapper_add_setup_standin(standin_product_other_translation
    OUTPUT_DIRECTORY "${_variants}/product-other-translation" TRANSLATION 0x0407 0x04B0 STRING_BLOCK 040904b0)
list(APPEND _product_standins standin_product_other_translation)
add_dependencies(unit_tests ${_product_standins})

# downloadandrun.dll that loads but lacks DownloadAndRunMain.
bootstrapper_add_downloadandrun_standin(downloadandrun_without_entry_point
    OUTPUT_DIRECTORY "${_variants}/downloadandrun-without-entry-point" WITHOUT_ENTRY_POINT)
