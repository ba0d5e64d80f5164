# Network ports through ser2net on loopback: a plain socket reader of the same server as
# the reference, then the engine's socket:// and rfc2217:// ports; the programmer through
# ser2net beside the same run on the local pty.
if(TARGET zenta_serial)
  add_executable(net_bench ${CMAKE_CURRENT_LIST_DIR}/net_bench.cpp)
  target_link_libraries(net_bench PRIVATE zenta_serial zenta_test_support benchmark::benchmark)
  if(TARGET zenta_isp_cli AND TARGET zenta_isp_testkit)
    target_link_libraries(net_bench PRIVATE zenta_isp_cli zenta_isp_testkit)
    target_compile_definitions(net_bench PRIVATE ZENTA_NET_BENCH_FLASH=1
                                                 ZENTA_DEVSIM_PATH="$<TARGET_FILE:devsim>")
  endif()
endif()
