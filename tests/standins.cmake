# Builds of the stand-ins that only tests use, each in a folder of its own
# under standin-variants/<variant>/.
set(_variants "${CMAKE_CURRENT_BINARY_DIR}/standin-variants")

# downloadandrun.dll that loads but lacks DownloadAndRunMain.
bootstrapper_add_downloadandrun_standin(downloadandrun_without_entry_point
    OUTPUT_DIRECTORY "${_variants}/downloadandrun-without-entry-point" WITHOUT_ENTRY_POINT)
