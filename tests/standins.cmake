# Builds of the stand-ins that only tests use, each in a folder of its own
# under standin-variants/<variant>/.
set(_variants "${CMAKE_CURRENT_BINARY_DIR}/standin-variants")
