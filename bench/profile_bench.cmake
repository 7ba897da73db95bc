quel_bench(profile_bench DEPS quel_engine)
