# Receive window: append, scroll, type and re-wrap costs with megabytes of text.
if(TARGET zenta_datapath_qt)
  add_executable(receive_view_bench ${CMAKE_CURRENT_LIST_DIR}/receive_view_bench.cpp)
  target_link_libraries(receive_view_bench PRIVATE zenta_datapath_qt benchmark::benchmark)
endif()
