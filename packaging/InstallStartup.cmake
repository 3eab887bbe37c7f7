# Run by cmake --install: writes the user unit for the program at the prefix being
# installed to and installs it with the autostart entry.

set(VEMBRIX_PROGRAM "${CMAKE_INSTALL_PREFIX}/${VEMBRIX_INSTALL_BINDIR}/vembrix")
set(unit "${VEMBRIX_PACKAGING_BINARY_DIR}/vembrix.service")
configure_file("${VEMBRIX_PACKAGING_SOURCE_DIR}/vembrix.service.in" "${unit}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user" TYPE FILE FILES "${unit}")

# Desktops look for autostart entries in /etc/xdg, so a /usr install puts its entry there;
# any other prefix keeps it inside itself, like the rest of what it installs.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(autostart "/etc/xdg/autostart")
else()
  set(autostart "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
endif()
file(INSTALL DESTINATION "${autostart}" TYPE FILE
     FILES "${VEMBRIX_PACKAGING_SOURCE_DIR}/vembrix.desktop")
