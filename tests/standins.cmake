# Builds of the stand-ins that only tests use, each in a folder of its own
# under standin-variants/<variant>/.
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
