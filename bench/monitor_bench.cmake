quel_bench(monitor_bench DEPS quel_engine)
quel_bench(monitor_soak DEPS quel_engine)
