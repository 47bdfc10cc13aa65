# Listing, planning, sharding and the worker pools.
kubelmar_test_program(kubelmar_batch_tests core
  SOURCES
    batch/batch_test.cpp
    batch/batch_listing_test.cpp
    batch/batch_plan_test.cpp
    batch/batch_processes_test.cpp
  LIBS kubelmar_batch)
