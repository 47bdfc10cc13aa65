# Extension loading, render targets and the mesh drawer on a headless context.
kubelmar_test_program(kubelmar_gl_tests gl
  SOURCES
    gl/gl_ext_loader_test.cpp
    gl/framebuffer_test.cpp
    gl/mesh_drawer_test.cpp
    support/test_images.cpp
  LIBS kubelmar_engine)
