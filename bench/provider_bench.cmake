quel_bench(provider_bench DEPS quel_platform)
