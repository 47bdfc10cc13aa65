# Readers, materials and textures, and the limits a hostile file meets.
find_package(ZLIB REQUIRED)  # CRC-32 for the zip archives the 3MF tests build
kubelmar_test_program(kubelmar_mesh_tests core
  SOURCES
    mesh/mesh_test.cpp
    mesh/obj_reader_test.cpp
    mesh/mesh_loader_test.cpp
    mesh/material_test.cpp
    mesh/other_formats_test.cpp
    mesh/load_limits_test.cpp
    mesh/declared_sizes_test.cpp
    mesh/isolated_read_test.cpp
    mesh/texture_files_test.cpp
    mesh/hostile_files_test.cpp
    mesh/reader_regressions_test.cpp
    mesh/topology_test.cpp
    mesh/load_progress_test.cpp
    support/test_images.cpp
  LIBS kubelmar_mesh ZLIB::ZLIB)
target_compile_definitions(kubelmar_mesh_tests PRIVATE
  KUBELMAR_FUZZ_REGRESSIONS_DIR="${PROJECT_SOURCE_DIR}/fuzz/regressions")
