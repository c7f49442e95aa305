# Builds of the stand-ins that only tests use, each in a folder of its own
# under standin-variants/<variant>/. Read after the unit-test program is
# defined, so that it can depend on what is built here.
set(_variants "${CMAKE_CURRENT_BINARY_DIR}/standin-variants")

# The downgrade check's setups: an older one, and one whose version record
# cannot be read (its translation table names German, its strings stand
# under US English).
bootstrapper_add_setup_standin(standin_product_9_0 OUTPUT_DIRECTORY "${_variants}/product-9.0" VERSION "9.0")
bootstrapper_add_setup_standin(standin_product_other_translation
    OUTPUT_DIRECTORY "${_variants}/product-other-translation" TRANSLATION 0x0407 0x04B0 STRING_BLOCK 040904b0)
add_dependencies(unit_tests standin_product_9_0 standin_product_other_translation)

# downloadandrun.dll that loads but lacks DownloadAndRunMain.
bootstrapper_add_downloadandrun_standin(downloadandrun_without_entry_point
    OUTPUT_DIRECTORY "${_variants}/downloadandrun-without-entry-point" WITHOUT_ENTRY_POINT)

# A newer package of the product, installed by msiexec before a kit that
# must refuse to downgrade it.
bootstrapper_add_product_package(standin_package_9_6 OUTPUT_DIRECTORY "${_variants}/package-9.6" VERSION "9.6")
