vembrix_add_test(NAME port_base_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PortInterfaceTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PortListMngTest.cpp
  LIBS cvnport_core
  LABELS threads)
target_include_directories(port_base_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

vembrix_add_test(NAME port_class_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PortClassesTest.cpp
  LIBS cvnport_core)

# The library as printer libraries load it.
vembrix_add_test(NAME cvnport_api_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CvnPortApiTest.cpp
  LIBS vembrix_common vprinter_peer ${CMAKE_DL_LIBS}
  LABELS threads)
target_include_directories(cvnport_api_tests PRIVATE ${CMAKE_SOURCE_DIR}/portlib/include)
target_compile_definitions(cvnport_api_tests PRIVATE CVNPORT_LIBRARY="$<TARGET_FILE:cvnport>")
add_dependencies(cvnport_api_tests cvnport)

# libcvnport.so exports the names of cvnport.h and nothing else.
add_test(NAME cvnport_exports
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:cvnport>
          -DHEADER=${CMAKE_SOURCE_DIR}/portlib/include/cvnport.h
          -P ${CMAKE_CURRENT_LIST_DIR}/CheckExports.cmake)

# Serial ports against the virtual printer's pseudo-terminal.
vembrix_add_test(NAME serial_port_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SerialPortTest.cpp
  LIBS cvnport_core vprinter_core ${CMAKE_DL_LIBS}
  LABELS threads)
target_include_directories(serial_port_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(serial_port_tests PRIVATE CVNPORT_LIBRARY="$<TARGET_FILE:cvnport>")
add_dependencies(serial_port_tests cvnport)

# USB printers faked by umockdev; the program runs itself again under umockdev's preload
# library.
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
vembrix_add_test(NAME usb_port_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UsbPortTest.cpp ${CMAKE_CURRENT_LIST_DIR}/UsbTestbed.cpp
  LIBS cvnport_core vprinter_core PkgConfig::UMOCKDEV ${CMAKE_DL_LIBS}
  LABELS threads)
target_include_directories(usb_port_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(usb_port_tests PRIVATE
  UMOCKDEV_TSAN_SUPPRESSIONS="${CMAKE_CURRENT_LIST_DIR}/umockdev.tsan")
target_compile_definitions(usb_port_tests PRIVATE CVNPORT_LIBRARY="$<TARGET_FILE:cvnport>")
add_dependencies(usb_port_tests cvnport)

# Parallel ports with the printer's status lines played by the test.
vembrix_add_test(NAME parallel_port_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ParallelPortTest.cpp
  LIBS cvnport_core
  LABELS threads)
target_include_directories(parallel_port_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# Print queues of a cupsd the tests start on a folder of their own.
vembrix_add_test(NAME print_queue_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PrintQueuesTest.cpp
  LIBS cvnport_core vprinter_core)

# The service printing through both printer libraries to serial and (umockdev) USB printers.
vembrix_add_test(NAME attached_printers_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AttachedPrintersServiceTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/UsbTestbed.cpp
  LIBS vembrix_http vprinter_core PkgConfig::UMOCKDEV
  LABELS slow)
target_include_directories(attached_printers_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                           ${CMAKE_SOURCE_DIR}/tests/service/http)
target_compile_definitions(attached_printers_tests PRIVATE VEMBRIX_BINARY="$<TARGET_FILE:vembrix>"
  UMOCKDEV_TSAN_SUPPRESSIONS="${CMAKE_CURRENT_LIST_DIR}/umockdev.tsan")
add_dependencies(attached_printers_tests vembrix cvnport Dravix cvnlblapi)
