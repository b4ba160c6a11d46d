# Read by ctest before any test starts: the tests never reach the machine's own display, session
# or print scheduler. A test that needs one starts its own (Xvfb, cupsd) and names it itself.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{SESSION_MANAGER})
unset(ENV{DBUS_SESSION_BUS_ADDRESS})
unset(ENV{XAUTHORITY})
set(ENV{CUPS_SERVER} "/nonexistent/kova-sem-impressora.sock")
