# Printing colour without GL: palettes, the dithers, the solid's colouring.
kubelmar_test_program(kubelmar_colour_tests core
  SOURCES
    colour/palette_test.cpp
    colour/dither_test.cpp
    colour/solid_colouring_test.cpp
  LIBS kubelmar_colour kubelmar_formats)
target_compile_definitions(kubelmar_colour_tests PRIVATE KUBELMAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
