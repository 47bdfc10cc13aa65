# Option parsing (no GL), then the program itself, run as a user runs it.
kubelmar_test_program(kubelmar_cli_options_tests core
  SOURCES cli/cli_options_test.cpp
  LIBS kubelmar_cli_options kubelmar_cli_parse)
kubelmar_test_program(kubelmar_cli_tests gl
  SOURCES cli/cli_test.cpp
  LIBS kubelmar_batch kubelmar_engine)
target_compile_definitions(kubelmar_cli_tests PRIVATE KUBELMAR_CLI="$<TARGET_FILE:kubelmar-cli>")
add_dependencies(kubelmar_cli_tests kubelmar-cli)
