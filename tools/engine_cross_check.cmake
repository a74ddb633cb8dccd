# The engine against its scalar reference on every instruction set the CPU
# runs; no Qt, so a cross build of the engine alone can run it as well.
# The grid checksum is the benchmark's, a plain function of the counts, and
# its library is plain C++ as well.
add_executable(quilfen-engine-cross-check ${CMAKE_CURRENT_LIST_DIR}/engine_cross_check.cpp)
target_link_libraries(quilfen-engine-cross-check PRIVATE quilfen_bench)
set_target_properties(quilfen-engine-cross-check PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
