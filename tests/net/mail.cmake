# SPDX-License-Identifier: GPL-3.0-or-later
cb_add_gtest(test_mail SOURCES ${CMAKE_CURRENT_LIST_DIR}/MailTest.cpp LIBS cb_net)
cb_add_gtest(test_callmessage SOURCES ${CMAKE_CURRENT_LIST_DIR}/CallMessageTest.cpp LIBS cb_net)

# Sender or receiver in a process of its own, so it can run inside another network namespace.
add_executable(mail_peer ${CMAKE_CURRENT_LIST_DIR}/MailPeer.cpp)
target_link_libraries(mail_peer PRIVATE cb_net cb_warnings)
set_target_properties(mail_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
cb_add_gtest(test_mail_netns SOURCES ${CMAKE_CURRENT_LIST_DIR}/MailNetnsTest.cpp LIBS cb_net)
add_dependencies(test_mail_netns mail_peer)

cb_add_fuzzer(fuzz_callmessage SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzCallMessage.cpp LIBS cb_net)
cb_add_gtest(test_announcementkey SOURCES ${CMAKE_CURRENT_LIST_DIR}/AnnouncementKeyTest.cpp LIBS cb_net)
cb_add_fuzzer(fuzz_announcementkey SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzAnnouncementKey.cpp LIBS cb_net)
