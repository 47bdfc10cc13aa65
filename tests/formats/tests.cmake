# Exchange-format writers: each read back by a small reader of its own here,
# and .vdb by the OpenVDB library.
find_package(ZLIB REQUIRED)
kubelmar_test_program(kubelmar_formats_tests core
  SOURCES
    formats/test_volume.cpp
    formats/writers_test.cpp
    formats/vox_test.cpp
    formats/consumers_test.cpp
    formats/preview_test.cpp
    formats/png_stack_writer_test.cpp
    formats/stack_files_test.cpp
    formats/run_output_test.cpp
    formats/material_stack_test.cpp
  LIBS kubelmar_formats ZLIB::ZLIB)
if(KUBELMAR_FORMATS_OPENVDB)
  list(APPEND CMAKE_MODULE_PATH /usr/lib/x86_64-linux-gnu/cmake/OpenVDB /usr/lib/cmake/OpenVDB
       /usr/local/lib/cmake/OpenVDB)
  find_package(OpenVDB REQUIRED)
  target_sources(kubelmar_formats_tests PRIVATE formats/vdb_test.cpp)
  set_source_files_properties(formats/vdb_test.cpp PROPERTIES COMPILE_OPTIONS "${KUBELMAR_OPENVDB_SANITIZE_OPTIONS}")
  target_link_libraries(kubelmar_formats_tests PRIVATE OpenVDB::openvdb)
endif()
