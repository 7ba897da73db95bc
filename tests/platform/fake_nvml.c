/* A stand-in for NVIDIA's libnvidia-ml.so.1 with the entry points the provider uses. Its GPUs
 * are the lines of the file $QUEL_FAKE_NVML_FILE, read again on every nvmlDeviceGetCount_v2:
 *   BUSID MINOR UTILIZATION MEMORY_USED MEMORY_TOTAL TEMPERATURE POWER_MW
 * where "-" makes that call fail as NVML does for an unsupported query. The counts of calls
 * let a test check how often the provider asks. */

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SUCCESS 0
#define ERROR_UNINITIALIZED 1
#define ERROR_INVALID_ARGUMENT 2
#define ERROR_NOT_SUPPORTED 3

typedef struct {
    unsigned gpu;
    unsigned memory;
} Utilization;
typedef struct {
    unsigned long long total;
    unsigned long long free;
    unsigned long long used;
} Memory;
typedef struct {
    char busIdLegacy[16];
    unsigned domain;
    unsigned bus;
    unsigned device;
    unsigned pciDeviceId;
    unsigned pciSubSystemId;
    char busId[32];
} PciInfo;

typedef struct {
    char busId[32];
    char fields[6][32];
} Gpu;

static Gpu gpus[8];
static unsigned gpuCount;
static int initialised;

unsigned fake_nvml_memory_calls;
unsigned fake_nvml_utilization_calls;
unsigned fake_nvml_count_calls;

static void Load(void)
{
    const char* path = getenv("QUEL_FAKE_NVML_FILE");
    FILE* file = path ? fopen(path, "r") : NULL;
    char line[512];
    gpuCount = 0;
    while (file && gpuCount < 8 && fgets(line, sizeof line, file)) {
        Gpu* gpu = &gpus[gpuCount];
        memset(gpu, 0, sizeof *gpu);
        if (sscanf(line, "%31s %31s %31s %31s %31s %31s %31s", gpu->busId, gpu->fields[0], gpu->fields[1],
                   gpu->fields[2], gpu->fields[3], gpu->fields[4], gpu->fields[5]) == 7)
            ++gpuCount;
    }
    if (file)
        fclose(file);
}

/* Field i of the device as a number; 0 when it is "-" (the call fails). */
static int Field(void* device, int i, unsigned long long* value)
{
    const Gpu* gpu = (const Gpu*)device;
    if (!initialised)
        return ERROR_UNINITIALIZED;
    if (gpu < gpus || gpu >= gpus + gpuCount)
        return ERROR_INVALID_ARGUMENT;
    if (strcmp(gpu->fields[i], "-") == 0)
        return ERROR_NOT_SUPPORTED;
    *value = strtoull(gpu->fields[i], NULL, 10);
    return SUCCESS;
}

int nvmlInit_v2(void)
{
    initialised = 1;
    Load();
    return SUCCESS;
}

int nvmlShutdown(void)
{
    initialised = 0;
    return SUCCESS;
}

int nvmlDeviceGetCount_v2(unsigned* count)
{
    if (!initialised)
        return ERROR_UNINITIALIZED;
    ++fake_nvml_count_calls;
    Load();
    *count = gpuCount;
    return SUCCESS;
}

int nvmlDeviceGetHandleByIndex_v2(unsigned index, void** device)
{
    if (!initialised)
        return ERROR_UNINITIALIZED;
    if (index >= gpuCount)
        return ERROR_INVALID_ARGUMENT;
    *device = &gpus[index];
    return SUCCESS;
}

int nvmlDeviceGetPciInfo_v3(void* device, PciInfo* info)
{
    unsigned long long unused = 0;
    const int status = Field(device, 0, &unused);
    if (status != SUCCESS && status != ERROR_NOT_SUPPORTED)
        return status;
    memset(info, 0, sizeof *info);
    memcpy(info->busId, ((const Gpu*)device)->busId, sizeof info->busId);
    return SUCCESS;
}

int nvmlDeviceGetMinorNumber(void* device, unsigned* minor)
{
    unsigned long long value = 0;
    const int status = Field(device, 0, &value);
    *minor = (unsigned)value;
    return status;
}

int nvmlDeviceGetUtilizationRates(void* device, Utilization* rates)
{
    unsigned long long value = 0;
    const int status = Field(device, 1, &value);
    ++fake_nvml_utilization_calls;
    rates->gpu = (unsigned)value;
    rates->memory = 0;
    return status;
}

int nvmlDeviceGetMemoryInfo(void* device, Memory* memory)
{
    unsigned long long used = 0;
    unsigned long long total = 0;
    int status = Field(device, 2, &used);
    ++fake_nvml_memory_calls;
    if (status == SUCCESS)
        status = Field(device, 3, &total);
    memory->used = used;
    memory->total = total;
    memory->free = total > used ? total - used : 0;
    return status;
}

int nvmlDeviceGetTemperature(void* device, unsigned sensor, unsigned* celsius)
{
    unsigned long long value = 0;
    const int status = sensor == 0 ? Field(device, 4, &value) : ERROR_INVALID_ARGUMENT;
    *celsius = (unsigned)value;
    return status;
}

int nvmlDeviceGetPowerUsage(void* device, unsigned* milliwatts)
{
    unsigned long long value = 0;
    const int status = Field(device, 5, &value);
    *milliwatts = (unsigned)value;
    return status;
}
