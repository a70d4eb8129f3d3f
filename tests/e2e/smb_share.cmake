# End-to-end runs against a real SMB server: scripts/smb-share starts smbd on
# 127.0.0.1 and links \\localhost\share into the tests' Wine prefix before
# these tests and stops it all after them (a ctest fixture). Where the machine
# cannot run the share (no /dev/fuse, packages not installable) the start is
# reported as skipped, and so is every test that needs it.
# Included from tests/e2e/CMakeLists.txt when cross-compiling (tests under Wine).

set(qm_smb_share ${CMAKE_SOURCE_DIR}/scripts/smb-share)
# scripts/smb-share keeps everything of the share in PREFIX.smb; the folder
# smbd serves is its "share".
set(qm_smb_folder ${QM_WINEPREFIX}.smb/share)

add_test(NAME e2e.SmbShare.Start COMMAND ${qm_smb_share} start ${QM_WINEPREFIX})
add_test(NAME e2e.SmbShare.Stop COMMAND ${qm_smb_share} stop ${QM_WINEPREFIX})
# The first start may install samba and smbnetfs.
set_tests_properties(e2e.SmbShare.Start PROPERTIES FIXTURES_SETUP smb_share SKIP_RETURN_CODE 77 TIMEOUT 900)
set_tests_properties(e2e.SmbShare.Stop PROPERTIES FIXTURES_CLEANUP smb_share TIMEOUT 120)

add_executable(smb_share_tests smb_share_test.cpp tool_console.cpp)
target_link_libraries(smb_share_tests PRIVATE qm_test_support GTest::gtest_main json_headers)
add_dependencies(smb_share_tests Quillmarsh)
# The share's UNC root and the server's folder reach the tests through their
# environment (Wine hands Unix variables to Windows programs). Each property
# value here is one list item for gtest_discover_tests, so the second variable
# goes through ENVIRONMENT_MODIFICATION rather than as a second ENVIRONMENT item.
# RESOURCE_LOCK: the traffic probe counts the server's operations, nothing else
# may use the share meanwhile.
gtest_discover_tests(
    smb_share_tests TEST_PREFIX "smb_share_tests." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED smb_share RESOURCE_LOCK smb_share
               ENVIRONMENT "QM_SMB_UNC=\\\\localhost\\share"
               ENVIRONMENT_MODIFICATION "QM_SMB_FOLDER=set:${qm_smb_folder}")

# What only Linux programs see: smbd's operation counters (proof that the run
# reached the server) and Wine's trace of the names handed to DeleteFileW.
foreach(probe traffic traffic-clients delete-form)
    set(name e2e.SmbShare.Probe.${probe})
    add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/smb_share_probes.sh ${probe}
                                  $<TARGET_FILE:Quillmarsh> ${QM_WINEPREFIX})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED smb_share RESOURCE_LOCK smb_share
                                            SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()
