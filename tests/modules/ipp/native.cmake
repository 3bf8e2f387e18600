# The IPP module's portable pieces, tested natively under the sanitizers.
set(vyx_ipp_native_tests ${VYX_ROOT}/tests/modules/ipp)
vyx_add_native_test(ipp_codec_tests
    ${vyx_ipp_native_tests}/codec_test.cpp
    ${vyx_ipp_native_tests}/connection_test.cpp
    ${vyx_ipp_native_tests}/mapping_test.cpp
)
target_link_libraries(ipp_codec_tests PRIVATE vyx_ipp_codec)

# Fuzz targets (sources in fuzz/, beside the tests of the same pieces; their saved inputs in
# tests/fuzz/corpus/<target>): the reply decoder, the mapping past the decoder and past a
# generated reply, and the connection strings.
set(vyx_ipp_fuzz ${vyx_ipp_native_tests}/fuzz)
foreach(target IN ITEMS reply mapping model connection)
    vyx_add_fuzzer(ipp_${target}_fuzzer ${vyx_ipp_fuzz}/${target}_fuzzer.cpp)
    if(TARGET ipp_${target}_fuzzer)
        target_link_libraries(ipp_${target}_fuzzer PRIVATE vyx_ipp_codec)
        target_include_directories(ipp_${target}_fuzzer PRIVATE ${VYX_ROOT}/tests/fuzz)
    endif()
endforeach()
