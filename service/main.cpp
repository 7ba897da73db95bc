#include "platform/file_size_signal.h"
#include "service/service.h"

int main(int argc, char** argv)
{
    quel::IgnoreFileSizeSignal();
    quel::Service service;
    return service.Main(argc, argv);
}
