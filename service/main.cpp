#include "service/service.h"

int main(int argc, char** argv)
{
    quel::Service service(QUEL_LOADS_MODULES != 0);
    return service.Main(argc, argv);
}
