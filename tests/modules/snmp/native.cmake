# The SNMP module's portable pieces, natively under the sanitizers: messages, walks against an
# in-process agent, the mapping and the option strings.
vyx_add_native_test(snmp_codec_tests
    ${CMAKE_CURRENT_LIST_DIR}/ber_message_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fake_agent.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapping_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/walk_test.cpp
)
target_link_libraries(snmp_codec_tests PRIVATE vyx_snmp_codec)
