# Port engine: raw pseudo-terminal ceiling vs. delivered throughput and round trip.
if(TARGET zenta_serial)
  add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
  target_link_libraries(engine_bench PRIVATE zenta_serial zenta_test_support benchmark::benchmark)
endif()
