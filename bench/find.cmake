# Find, filter and highlight over megabytes of kept receive text.
if(TARGET zenta_datapath_qt)
  add_executable(find_bench ${CMAKE_CURRENT_LIST_DIR}/find_bench.cpp)
  target_link_libraries(find_bench PRIVATE zenta_datapath_qt benchmark::benchmark)
endif()
