kubelmar_test_program(kubelmar_math_tests core
  SOURCES math/math_test.cpp math/arcball_test.cpp
  LIBS kubelmar_math)
