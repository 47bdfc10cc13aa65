# File-system plumbing: the output stage and the batch listing. No GL, no Qt.
add_executable(kubelmar_io_tests
  io/output_stage_test.cpp
  io/checked_file_test.cpp
  io/batch_listing_test.cpp
  io/regression_inputs_test.cpp
)
target_link_libraries(kubelmar_io_tests PRIVATE kubelmar_batch kubelmar_io kubelmar_formats kubelmar_mesh kubelmar_voxelcore kubelmar_cli_options
  GTest::gtest_main kubelmar_warnings)
target_compile_definitions(kubelmar_io_tests PRIVATE
  KUBELMAR_FUZZ_CORPUS_DIR="${PROJECT_SOURCE_DIR}/fuzz/corpus")
gtest_discover_tests(kubelmar_io_tests PROPERTIES LABELS core)
