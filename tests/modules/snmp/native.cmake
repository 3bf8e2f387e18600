# The SNMP module's portable pieces, natively under the sanitizers: messages, walks against an
# in-process agent (version 3 too; side by side, on a simulated network), the security model's
# vectors, the mapping, the option strings, and the requests and round trips a dump takes
# against the project's recordings.
vyx_add_native_test(snmp_codec_tests
    ${CMAKE_CURRENT_LIST_DIR}/ber_message_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fake_agent.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapping_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/openssl_crypto.cpp
    ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording.cpp
    ${CMAKE_CURRENT_LIST_DIR}/request_count_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/side_by_side_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usm_session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usm_vectors_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/walk_test.cpp
)
# OpenSSL (Debian's libssl-dev) stands in for the system's cryptography: tests only.
find_package(OpenSSL REQUIRED)
target_link_libraries(snmp_codec_tests PRIVATE vyx_snmp_codec OpenSSL::Crypto)
target_compile_definitions(snmp_codec_tests PRIVATE
    VYX_SNMP_RECORDINGS="${CMAKE_CURRENT_LIST_DIR}/recordings")

# Fuzz targets (sources in fuzz/; saved inputs in tests/fuzz/corpus/<target>): agents'
# datagrams (version 3's through the security session too), the walked tables into the model,
# the printer's texts, the connection strings.
foreach(target IN ITEMS message mapping text options)
    vyx_add_fuzzer(snmp_${target}_fuzzer ${CMAKE_CURRENT_LIST_DIR}/fuzz/${target}_fuzzer.cpp)
    if(TARGET snmp_${target}_fuzzer)
        target_link_libraries(snmp_${target}_fuzzer PRIVATE vyx_snmp_codec)
        target_include_directories(snmp_${target}_fuzzer PRIVATE ${VYX_ROOT}/tests/fuzz)
    endif()
endforeach()
vyx_add_fuzzer(snmp_v3_message_fuzzer ${CMAKE_CURRENT_LIST_DIR}/fuzz/v3_message_fuzzer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/openssl_crypto.cpp)
if(TARGET snmp_v3_message_fuzzer)
    target_link_libraries(snmp_v3_message_fuzzer PRIVATE vyx_snmp_codec OpenSSL::Crypto)
    target_include_directories(snmp_v3_message_fuzzer PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()
