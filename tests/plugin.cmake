ondrel_test(plugin_run SOURCES plugin_run_test.cpp LIBS ondrel_plugin)
# The round trip over a bus of the test's own, with the built plug-in started
# by D-Bus activation and the host application's window class as a client.
ondrel_test(plugin_dbus SOURCES plugin_dbus_test.cpp LIBS ondrel_plugin ondrel_hostwindow DBUS)
add_dependencies(plugin_dbus ondrel)
