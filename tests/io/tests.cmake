# File-system plumbing: the output stage and the checked file writer.
kubelmar_test_program(kubelmar_io_tests core
  SOURCES io/output_stage_test.cpp io/checked_file_test.cpp
  LIBS kubelmar_io kubelmar_formats)
