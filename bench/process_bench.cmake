quel_bench(process_bench DEPS quel_platform)
