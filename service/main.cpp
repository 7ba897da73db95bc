#include "platform/file_size_signal.h"
#include "service/service.h"

int main(int argc, char** argv)
{
    quel::IgnoreFileSizeSignal();
    quel::Service service(QUEL_LOADS_MODULES != 0);
    return service.Main(argc, argv);
}
