# Replays the fuzzers' committed inputs in every ordinary and sanitizer run.
kubelmar_test_program(kubelmar_fuzz_inputs_tests core
  SOURCES fuzz/regression_inputs_test.cpp
  LIBS kubelmar_mesh kubelmar_cli_parse)
target_compile_definitions(kubelmar_fuzz_inputs_tests PRIVATE
  KUBELMAR_FUZZ_CORPUS_DIR="${PROJECT_SOURCE_DIR}/fuzz/corpus"
  KUBELMAR_FUZZ_REGRESSIONS_DIR="${PROJECT_SOURCE_DIR}/fuzz/regressions")
