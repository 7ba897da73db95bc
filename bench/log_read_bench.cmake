quel_bench(log_read_bench DEPS quel_log)
