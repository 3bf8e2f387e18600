# The IPP module's portable pieces, tested natively under the sanitizers.
set(vyx_ipp_native_tests ${VYX_ROOT}/tests/modules/ipp)
vyx_add_native_test(ipp_codec_tests
    ${vyx_ipp_native_tests}/codec_test.cpp
    ${vyx_ipp_native_tests}/connection_test.cpp
    ${vyx_ipp_native_tests}/mapping_test.cpp
)
target_link_libraries(ipp_codec_tests PRIVATE vyx_ipp_codec)
