# Whole runs through the engine on a headless context.
kubelmar_test_program(kubelmar_engine_tests gl
  SOURCES
    engine/voxelize_test.cpp
    engine/engine_settings_test.cpp
    engine/regression_test.cpp
    engine/streaming_test.cpp
    engine/parity_test.cpp
    engine/nonzero_test.cpp
    engine/conservative_test.cpp
    engine/grid_test.cpp
    engine/print_test.cpp
    engine/clip_band_test.cpp
    support/test_images.cpp
  LIBS kubelmar_batch kubelmar_engine)
# These check whole stacks voxel by voxel (pixel hashes over 1024^3 stacks,
# exact CPU answers): optimised even under the sanitizers, or they take
# minutes.
set_source_files_properties(engine/regression_test.cpp engine/streaming_test.cpp engine/parity_test.cpp
  engine/nonzero_test.cpp engine/conservative_test.cpp engine/grid_test.cpp
  PROPERTIES COMPILE_OPTIONS $<$<CONFIG:Sanitize>:-O1>)
target_compile_definitions(kubelmar_engine_tests PRIVATE
  KUBELMAR_FIXTURES_DIR="${CMAKE_CURRENT_LIST_DIR}/fixtures")
# The regression fixtures are also checked against what the command line
# writes.
target_compile_definitions(kubelmar_engine_tests PRIVATE KUBELMAR_CLI="$<TARGET_FILE:kubelmar-cli>")
add_dependencies(kubelmar_engine_tests kubelmar-cli)
# The grid options as text, to settings (no GL).
kubelmar_test_program(kubelmar_grid_options_tests core
  SOURCES engine/grid_options_test.cpp
  LIBS kubelmar_grid_options)
# The grid worked out from the settings and a mesh's box (no GL).
kubelmar_test_program(kubelmar_grid_layout_tests core
  SOURCES engine/grid_layout_test.cpp
  LIBS kubelmar_engine)
