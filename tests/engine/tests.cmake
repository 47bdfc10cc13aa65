# GL-free voxel pieces.
add_executable(kubelmar_voxel_tests
  engine/grid_fit_test.cpp
  engine/slab_faces_test.cpp
  engine/batch_test.cpp
  engine/depth_build_test.cpp
  engine/cli_options_test.cpp
  engine/batch_plan_test.cpp
  engine/batch_processes_test.cpp
  voxel/triangle_box_test.cpp
)
target_link_libraries(kubelmar_voxel_tests PRIVATE kubelmar_batch kubelmar_voxelcore kubelmar_cli_options
  GTest::gtest_main kubelmar_warnings)
gtest_discover_tests(kubelmar_voxel_tests PROPERTIES LABELS core)

# Engine tests on a headless EGL context; they skip where none can be made.
add_executable(kubelmar_engine_tests
  engine/gl_test_support.cpp
  engine/gl_ext_loader_test.cpp
  engine/framebuffer_test.cpp
  engine/voxelize_test.cpp
  engine/engine_settings_test.cpp
  engine/cli_test.cpp
  engine/regression_test.cpp
  engine/streaming_test.cpp
  engine/parity_test.cpp
  engine/mesh_drawer_test.cpp core/test_images.cpp
  voxel/nonzero_test.cpp
  voxel/conservative_test.cpp
)
target_link_libraries(kubelmar_engine_tests PRIVATE kubelmar_batch kubelmar_engine kubelmar_egl
  GTest::gtest kubelmar_warnings)
# These check whole stacks voxel by voxel (pixel hashes over 1024^3 stacks,
# exact CPU answers): optimised even under the sanitizers, or they take
# minutes.
set_source_files_properties(engine/regression_test.cpp engine/streaming_test.cpp engine/parity_test.cpp
  voxel/nonzero_test.cpp voxel/conservative_test.cpp
  PROPERTIES COMPILE_OPTIONS $<$<CONFIG:Sanitize>:-O1>)
target_compile_definitions(kubelmar_engine_tests PRIVATE
  KUBELMAR_SAMPLES_DIR="${KUBELMAR_SAMPLES_DIR}"
  KUBELMAR_FIXTURES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/engine/fixtures"
  KUBELMAR_CLI="$<TARGET_FILE:kubelmar-cli>")
add_dependencies(kubelmar_engine_tests kubelmar-cli)
gtest_discover_tests(kubelmar_engine_tests PROPERTIES LABELS gl DISCOVERY_TIMEOUT 60)
