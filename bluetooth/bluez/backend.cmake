# backend.cmake: link needs of the BlueZ backend, included by bluetooth/CMakeLists.txt: sd-bus from
# libsystemd (LGPL, linked dynamically) and the replaceable system parts.
target_link_libraries(kv_bluetooth PUBLIC kv_bluez_system PkgConfig::KV_SYSTEMD)
