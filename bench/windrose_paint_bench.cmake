if(TARGET quel_gui)
  quel_bench(windrose_paint_bench DEPS quel_gui)
endif()
