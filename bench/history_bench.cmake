if(TARGET quel_gui)
  quel_bench(history_bench DEPS quel_engine quel_gui)
endif()
