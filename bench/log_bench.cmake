quel_bench(log_bench DEPS quel_log)
