# The shared server's presentation layer (naming tables, the display-text rule), natively under
# the sanitizers: its tables and rules case by case, and a fuzz target of the fitting rule.
include(${VYX_ROOT}/modules/serve/naming.cmake)
vyx_add_native_test(naming_tests ${CMAKE_CURRENT_LIST_DIR}/naming_test.cpp)
target_link_libraries(naming_tests PRIVATE vyx_naming)

vyx_add_fuzzer(serve_display_fuzzer ${CMAKE_CURRENT_LIST_DIR}/fuzz/display_fuzzer.cpp)
if(TARGET serve_display_fuzzer)
    target_link_libraries(serve_display_fuzzer PRIVATE vyx_naming)
endif()

# The shared server's memory of printers' protocol engines.
include(${VYX_ROOT}/modules/serve/engine_cache.cmake)
vyx_add_native_test(engine_cache_tests ${CMAKE_CURRENT_LIST_DIR}/engine_cache_test.cpp)
target_link_libraries(engine_cache_tests PRIVATE vyx_engine_cache)
