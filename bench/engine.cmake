add_executable(kubelmar_bench_engine bench_engine.cpp)
target_link_libraries(kubelmar_bench_engine PRIVATE kubelmar_engine kubelmar_formats kubelmar_egl kubelmar_warnings)
# The conservative surface and the nonzero rule against the default rules.
add_executable(kubelmar_bench_robust bench_robust.cpp)
target_link_libraries(kubelmar_bench_robust PRIVATE kubelmar_engine kubelmar_egl kubelmar_warnings)
add_executable(kubelmar_bench_nonzero bench_nonzero.cpp)
target_link_libraries(kubelmar_bench_nonzero PRIVATE kubelmar_engine kubelmar_egl kubelmar_warnings)
# The clipping mode's two ways of drawing, compared pixel for pixel.
add_executable(kubelmar_clip_compare clip_compare.cpp)
target_link_libraries(kubelmar_clip_compare PRIVATE kubelmar_engine kubelmar_egl kubelmar_warnings)
