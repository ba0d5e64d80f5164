# Network ports through ser2net on loopback: a plain socket reader of the same server as
# the reference, then the engine's socket:// and rfc2217:// ports.
if(TARGET zenta_serial)
  add_executable(net_bench ${CMAKE_CURRENT_LIST_DIR}/net_bench.cpp)
  target_link_libraries(net_bench PRIVATE zenta_serial zenta_test_support benchmark::benchmark)
endif()
