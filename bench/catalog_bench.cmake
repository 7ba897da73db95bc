quel_bench(catalog_bench DEPS quel_platform)
