# The shared server's memory of printers' protocol engines (engine_cache.h): portable, so that a
# module's codec links it in the cross build and in the native build alike. Included by each
# codec that needs it; defined once.
if(NOT TARGET vyx_engine_cache)
    add_library(vyx_engine_cache STATIC ${CMAKE_CURRENT_LIST_DIR}/engine_cache.cpp)
    target_include_directories(vyx_engine_cache PUBLIC ${CMAKE_CURRENT_LIST_DIR})
endif()
