# The GL-free pieces of the modes: grid fitting, slab face lists, depth
# building.
kubelmar_test_program(kubelmar_voxel_tests core
  SOURCES
    voxel/grid_fit_test.cpp
    voxel/slab_faces_test.cpp
    voxel/depth_build_test.cpp
  LIBS kubelmar_voxelcore)
