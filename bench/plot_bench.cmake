# Plot: parsing throughput, decimated redraw of millions of points, bytes per point, and
# devsim telemetry through a pseudo-terminal into the plot window (beside no window).
if(TARGET zenta_plot_qt AND TARGET devsim)
  add_executable(plot_bench ${CMAKE_CURRENT_LIST_DIR}/plot_bench.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/plot_bench_live.cpp)
  target_link_libraries(plot_bench PRIVATE zenta_plot_qt zenta_devsim_core zenta_test_support
                        benchmark::benchmark Qt6::Widgets Qt6::Charts)
  add_dependencies(plot_bench devsim)
  # QCustomPlot, where installed, as a reference for the choice of chart library.
  find_package(Qt6 QUIET COMPONENTS PrintSupport)
  if(TARGET Qt6::PrintSupport)
    find_package(QCustomPlotQt6 QUIET)
  endif()
  if(QCustomPlotQt6_FOUND)
    target_sources(plot_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/plot_bench_qcp.cpp)
    target_link_libraries(plot_bench PRIVATE QCustomPlotQt6::QCustomPlotQt6)
  endif()
endif()
