quel_bench(sensor_bench DEPS quel_platform)
target_compile_definitions(sensor_bench PRIVATE QUEL_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
