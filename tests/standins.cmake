# Builds of the stand-ins that only tests use, each in a folder of its own
# under standin-variants/<variant>/.
set(_variants "${CMAKE_CURRENT_BINARY_DIR}/standin-variants")

# The kit versions and broken version resources of the downgrade check.
set(_product_standins "")
foreach(_version 9.0 9.5 9.0.9 9.5B)
    string(REPLACE "." "_" _name "${_version}")
    bootstrapper_add_setup_standin(standin_product_${_name}
        OUTPUT_DIRECTORY "${_variants}/product-${_version}" VERSION "${_version}")
    list(APPEND _product_standins standin_product_${_name})
endforeach()
# Built here rather than with NO_VERSION_RESOURCE: windres refuses the empty
# script that option produces.
add_executable(standin_product_no_version WIN32 "${BOOTSTRAPPER_STANDIN_DIR}/morvanto9/Morvanto9StandIn.cpp")
target_link_libraries(standin_product_no_version PRIVATE bootstrapper_options bootstrapper_windows2000)
set_target_properties(standin_product_no_version PROPERTIES
    OUTPUT_NAME morvanto9
    RUNTIME_OUTPUT_DIRECTORY "${_variants}/product-no-version")
list(APPEND _product_standins standin_product_no_version)
# The translation table names German, the strings stand under US English.
bootstrapper_add_setup_standin(standin_product_other_translation
    OUTPUT_DIRECTORY "${_variants}/product-other-translation" TRANSLATION 0x0407 0x04B0 STRING_BLOCK 040904b0)
list(APPEND _product_standins standin_product_other_translation)
# unit_tests is defined after this file is read; the call runs at the end of
# the directory, when it exists.
cmake_language(DEFER CALL add_dependencies unit_tests ${_product_standins})
